// Runs lkmdb in-process for the CLI tests: arguments and standard input in; exit code, standard
// output and standard error out. Also the small file helpers those tests share.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli/Lkmdb.h"

namespace lkmdb7_test {

struct LkmdbResult {
    int code;
    std::string out;
    std::string err;
};

inline LkmdbResult RunLkmdbCommand(std::vector<std::string> args, const std::string& input = "",
                                   const lkmdb::Environment& env = {}) {
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream err;
    const int code = lkmdb::RunLkmdb(std::move(args), in, out, err, env);
    return {code, out.str(), err.str()};
}

// The whole file, bytes as they are ("" when it cannot be read).
inline std::string ReadText(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteText(const std::filesystem::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
}

}  // namespace lkmdb7_test
