#include "lkmdb7/foundation/LibraryVersion.h"

namespace LKMDB7 {

LibraryVersion GetLibraryVersion() noexcept {
    return {LKMDB7_VERSION_MAJOR, LKMDB7_VERSION_MINOR, LKMDB7_VERSION_PATCH,
            LKMDB7_VERSION_STRING};
}

}  // namespace LKMDB7
