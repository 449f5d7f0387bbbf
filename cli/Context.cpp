#include "cli/Context.h"

#include <ostream>

#include "cli/Text1252.h"

namespace lkmdb {

void Context::Note(const std::string& line) const {
    err << "lkmdb: note: " << Printable(line) << '\n';
}

}  // namespace lkmdb
