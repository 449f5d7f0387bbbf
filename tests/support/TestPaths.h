// Where the tests find their fixtures, and a scratch folder that cleans up after itself.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace lkmdb7_test {

// The whole file (empty when it cannot be read), and a file written with exactly these bytes.
std::vector<unsigned char> ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::vector<unsigned char>& bytes);

// The temporary files of saves ("*.saving") in a folder.
std::vector<std::filesystem::path> Temporaries(const std::filesystem::path& folder);

std::filesystem::path DataPath(const std::string& name);
std::filesystem::path VectorsPath(const std::string& name);

// A fresh empty folder below the system's temporary folder, removed with everything in it.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

}  // namespace lkmdb7_test
