#include "lkmdb7/platform/internal/FileSystem.h"

#include <atomic>
#include <new>

namespace LKMDB7 {

// The members of FileSystem itself are the real file system, defined by the backend.
FileSystem::~FileSystem() = default;

std::unique_ptr<CFile> FileSystem::OpenFile(const char* path, UINT flags, CFileException* err) {
    try {
        auto file = std::make_unique<CFile>();
        if (!file->Open(path, flags, err)) {
            return nullptr;
        }
        return file;
    } catch (const std::bad_alloc&) {
        AfxThrowMemoryException();
    }
}

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

std::unique_ptr<CFile> OpenFile(const char* path, UINT flags, CFileException* err) {
    return GetFileSystem().OpenFile(path, flags, err);
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
BOOL CopyPermissions(const char* from, const char* to) {
    return GetFileSystem().CopyPermissions(from, to);
}
BOOL ResolvePath(const char* path, CString& resolved) {
    return GetFileSystem().ResolvePath(path, resolved);
}
BOOL ListFolder(const char* folder, std::vector<CString>& names) {
    return GetFileSystem().ListFolder(folder, names);
}
BOOL SyncFolder(const char* folder) {
    return GetFileSystem().SyncFolder(folder);
}

}  // namespace LKMDB7
