// Runs a fuzz target over the files given on the command line, or over every file in the
// folders given, without the fuzzer's runtime: the normal test builds replay the seed corpora
// this way. A target that finds a fault aborts, which fails the run; so does a seed that the
// target takes or refuses against its name (fuzz/Outcome.h).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "fuzz/Outcome.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fs = std::filesystem;

namespace {

bool Replay(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", file.string().c_str());
        return false;
    }
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    std::fprintf(stderr, "replaying %s\n", file.string().c_str());
    lkmdb7_fuzz::InputRefused() = false;
    lkmdb7_fuzz::InputUnread() = false;
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    if (lkmdb7_fuzz::InputUnread()) {
        std::fprintf(stderr, "%s: no reader for it in this build\n", file.string().c_str());
        return true;
    }
    const bool meantToBeRefused = file.filename().string().rfind("refused-", 0) == 0;
    if (lkmdb7_fuzz::InputRefused() != meantToBeRefused) {
        std::fprintf(stderr, "%s: the input was %s, but its name says it is %s\n",
                     file.string().c_str(), lkmdb7_fuzz::InputRefused() ? "refused" : "taken",
                     meantToBeRefused ? "refused (\"refused-\")" : "taken");
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t replayed = 0;
    for (int i = 1; i < argc; ++i) {
        const fs::path arg(argv[i]);
        std::vector<fs::path> files;
        std::error_code ec;
        if (fs::is_directory(arg, ec)) {
            for (const auto& entry : fs::directory_iterator(arg)) {
                if (entry.is_regular_file()) {
                    files.push_back(entry.path());
                }
            }
            std::sort(files.begin(), files.end());
        } else {
            files.push_back(arg);
        }
        for (const fs::path& f : files) {
            if (!Replay(f)) {
                return 1;
            }
            ++replayed;
        }
    }
    std::fputs(("replayed " + std::to_string(replayed) + " inputs\n").c_str(), stdout);
    // An empty corpus would test nothing.
    return replayed > 0 ? 0 : 1;
}
