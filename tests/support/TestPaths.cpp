#include "tests/support/TestPaths.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <system_error>

namespace lkmdb7_test {

std::filesystem::path DataPath(const std::string& name) {
    return std::filesystem::path(LKMDB7_TEST_DATA_DIR) / name;
}

std::filesystem::path VectorsPath(const std::string& name) {
    return std::filesystem::path(LKMDB7_VECTORS_DIR) / name;
}

std::vector<unsigned char> ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

void WriteFileBytes(const std::filesystem::path& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    for (;;) {
        path_ = std::filesystem::temp_directory_path() /
                ("lkmdb7-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
        if (std::filesystem::create_directory(path_)) {
            break;
        }
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

}  // namespace lkmdb7_test

namespace lkmdb7_test {

std::vector<std::filesystem::path> Temporaries(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() == ".saving") {
            found.push_back(entry.path());
        }
    }
    return found;
}

}  // namespace lkmdb7_test
