// Where the tests find their fixtures, and a scratch folder that cleans up after itself.
#pragma once

#include <filesystem>
#include <string>

namespace lkmdb7_test {

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
