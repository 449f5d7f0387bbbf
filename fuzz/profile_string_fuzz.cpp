// Feeds arbitrary bytes to the preferences-file reader as a file and checks that every answer is
// a terminated text within the buffer, whatever the file holds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <system_error>

#include "lkmdb7/platform/internal/ProfileString.h"

using namespace LKMDB7;

namespace {

class ScratchFile {
  public:
    ScratchFile()
        : path_((std::filesystem::temp_directory_path() /
                 ("lkmdb7-profile-fuzz-" + std::to_string(std::random_device{}()) + ".ini"))
                    .string()) {}
    ~ScratchFile() {
        std::error_code ec;
        std::filesystem::remove(path_, ec);
    }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

struct Lookup {
    const char* section;
    const char* key;
    DWORD size;
};

// The host's own names, and short ones that random input hits more often.
constexpr Lookup kLookups[] = {
    {"Preferences iPhone", "Current User", 260},
    {"User-iPhone-a-a", "User Directory", 512},
    {"s", "k", 1},
    {"S", "K", 4},
    {"", "", 2},
    {"a", "b", 4096},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const ScratchFile file;
    {
        std::ofstream out(file.path(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out) {
            std::abort();
        }
    }
    for (const Lookup& l : kLookups) {
        // Exactly the size given, so any write past it is a heap overflow the sanitizer reports.
        const auto out = std::make_unique<char[]>(l.size);
        const DWORD n = LKMDB7::GetPrivateProfileStringA(l.section, l.key, "default", out.get(),
                                                         l.size, file.path().c_str());
        if (n >= l.size || out[n] != '\0' || std::strlen(out.get()) != n) {
            std::abort();
        }
    }
    return 0;
}
