#include "lkmdb7/platform/FileSystem.h"

#include <atomic>

namespace LKMDB7 {

// The members of FileSystem itself are the real file system, defined by the backend.
FileSystem::~FileSystem() = default;

namespace {

FileSystem& RealFileSystem() {
    static FileSystem real;
    return real;
}

std::atomic<FileSystem*> g_current{nullptr};

}  // namespace

FileSystem& GetFileSystem() {
    FileSystem* fs = g_current.load();
    return fs ? *fs : RealFileSystem();
}

FileSystem* SetFileSystem(FileSystem* fs) {
    FileSystem* previous = g_current.exchange(fs);
    return previous ? previous : &RealFileSystem();
}

bool PathExists(const char* path) {
    return GetFileSystem().PathExists(path);
}
bool FolderExists(const char* path) {
    return GetFileSystem().FolderExists(path);
}
BOOL CreateDirectoryA(const char* path) {
    return GetFileSystem().CreateDirectoryA(path);
}
BOOL CopyFileA(const char* from, const char* to, BOOL failIfExists) {
    return GetFileSystem().CopyFileA(from, to, failIfExists);
}
BOOL MoveFileA(const char* from, const char* to) {
    return GetFileSystem().MoveFileA(from, to);
}
BOOL MoveFileReplace(const char* from, const char* to) {
    return GetFileSystem().MoveFileReplace(from, to);
}
BOOL DeleteFileA(const char* path) {
    return GetFileSystem().DeleteFileA(path);
}
BOOL SyncFolder(const char* folder) {
    return GetFileSystem().SyncFolder(folder);
}

}  // namespace LKMDB7
