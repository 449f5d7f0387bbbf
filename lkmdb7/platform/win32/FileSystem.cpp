#include "lkmdb7/platform/internal/FileSystem.h"

#include <io.h>

#include <exception>
#include <filesystem>
#include <new>

#include "lkmdb7/platform/SystemError.h"
#include "lkmdb7/platform/win32/WinApi.h"

namespace LKMDB7 {

namespace {

bool IsEmpty(const char* path) {
    return path == nullptr || *path == '\0';
}

}  // namespace

bool FileSystem::PathExists(const char* path) {
    return !IsEmpty(path) && ::_access(path, 0) != -1;
}

bool FileSystem::FolderExists(const char* path) {
    if (IsEmpty(path)) {
        return false;
    }
    const DWORD attributes = ::GetFileAttributesA(path);
    return attributes != win32::kInvalidFileAttributes &&
           (attributes & win32::kFileAttributeDirectory) != 0;
}

BOOL FileSystem::CreateDirectoryA(const char* path) {
    return ::CreateDirectoryA(path, nullptr);
}

BOOL FileSystem::CopyFileA(const char* from, const char* to, BOOL failIfExists) {
    return ::CopyFileA(from, to, failIfExists);
}

BOOL FileSystem::MoveFileA(const char* from, const char* to) {
    return ::MoveFileA(from, to);
}

BOOL FileSystem::MoveFileReplace(const char* from, const char* to) {
    return ::MoveFileExA(from, to, win32::kMoveFileReplaceExisting | win32::kMoveFileWriteThrough);
}

BOOL FileSystem::DeleteFileA(const char* path) {
    return ::DeleteFileA(path);
}

BOOL FileSystem::CopyPermissions(const char*, const char*) {
    return 1;
}

BOOL FileSystem::ResolvePath(const char* path, CString& resolved) {
    if (IsEmpty(path)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return 0;
    }
    resolved = path;
    return 1;
}

BOOL FileSystem::ListFolder(const char* folder, std::vector<CString>& names) {
    names.clear();
    try {
        for (const auto& entry :
             std::filesystem::directory_iterator(IsEmpty(folder) ? "." : folder)) {
            names.emplace_back(entry.path().filename().string());
        }
        return 1;
    } catch (const std::bad_alloc&) {
        names.clear();
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    } catch (const std::exception&) {
        // A folder that cannot be read, or a name that the code page cannot hold.
        names.clear();
        SetLastError(ERROR_PATH_NOT_FOUND);
        return 0;
    }
}

BOOL FileSystem::SyncFolder(const char*) {
    return 1;
}

}  // namespace LKMDB7
