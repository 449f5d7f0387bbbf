// The files that lkmdb reads as input and writes as output, beside the database itself.
#include <windows.h>

#include <algorithm>

#include "cli/Terminal.h"
#include "cli/platform/ReadLimit.h"

namespace lkmdb {
namespace {

std::string SystemError(const char* what, DWORD error) {
    return std::string(what) + " (error " + std::to_string(error) + ")";
}

// Why the open `file` is no file on disk: a pipe, a console or another device.
std::string NotOnDisk(HANDLE file) {
    const DWORD type = GetFileType(file);
    if (type == FILE_TYPE_DISK) {
        return {};
    }
    return type == FILE_TYPE_PIPE ? "is a named pipe, not a file" : "is a device, not a file";
}

HANDLE OpenToLook(const std::string& native) {
    return CreateFileA(native.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

std::string NotARegularFile(const std::string& native) {
    const DWORD attributes = GetFileAttributesA(native.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return "is a folder, not a file";
    }
    const HANDLE file = OpenToLook(native);
    if (file == INVALID_HANDLE_VALUE) {
        return {};
    }
    std::string reason = NotOnDisk(file);
    CloseHandle(file);
    return reason;
}

std::string ReadRegularFile(const std::string& native, std::size_t limit, std::string& bytes) {
    bytes.clear();
    if (std::string reason = NotARegularFile(native); !reason.empty()) {
        return reason;
    }
    const HANDLE file = OpenToLook(native);
    if (file == INVALID_HANDLE_VALUE) {
        return SystemError("cannot be read", GetLastError());
    }
    if (std::string reason = NotOnDisk(file); !reason.empty()) {
        CloseHandle(file);
        return reason;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size)) {
        const DWORD error = GetLastError();
        CloseHandle(file);
        return SystemError("cannot be read", error);
    }
    // Sized once from the start: a string that grows leaves copies of a secret in freed memory.
    bytes.resize(std::min(static_cast<std::size_t>(size.QuadPart), limit) + 1);
    std::size_t got = 0;
    DWORD error = 0;
    while (got < bytes.size()) {
        DWORD n = 0;
        const auto want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - got, 1 << 20));
        if (!ReadFile(file, bytes.data() + got, want, &n, nullptr)) {
            error = GetLastError();
            break;
        }
        if (n == 0) {
            break;
        }
        got += n;
        MakeRoomToRead(bytes, got, limit);
    }
    CloseHandle(file);
    if (error != 0) {
        bytes.resize(got);
        return SystemError("cannot be read", error);
    }
    return FinishRead(bytes, got, limit);
}

std::string WritePrivateFile(const std::string& native, const std::string& bytes, bool replace) {
    const DWORD attributes = GetFileAttributesA(native.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (!replace) {
            return "exists already (--force replaces it)";
        }
        if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            return "is a symbolic link";
        }
        if (std::string reason = NotARegularFile(native); !reason.empty()) {
            return reason;
        }
    }
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD error = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < 16 && error == ERROR_FILE_EXISTS; ++attempt) {
        unsigned char random[4] = {};
        if (!SecureRandomBytes(random, sizeof random)) {
            return "no file can be made beside it (no random name)";
        }
        temporary = native + '.';
        for (const unsigned char b : random) {
            temporary += kDigits[b >> 4];
            temporary += kDigits[b & 0x0F];
        }
        temporary += ".part";
        // Files made here inherit the folder's access list, which is the user's own in a profile.
        file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        error = file == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    }
    if (file == INVALID_HANDLE_VALUE) {
        return SystemError("no file can be made beside it", error);
    }
    const char* failed = nullptr;
    for (std::size_t at = 0; at < bytes.size() && failed == nullptr;) {
        DWORD n = 0;
        const auto want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - at, 1 << 20));
        if (!WriteFile(file, bytes.data() + at, want, &n, nullptr) || n == 0) {
            failed = "could not be written";
            error = GetLastError();
        }
        at += n;
    }
    if (failed == nullptr && !FlushFileBuffers(file)) {
        failed = "could not be flushed to disk";
        error = GetLastError();
    }
    CloseHandle(file);
    if (failed == nullptr &&
        !MoveFileExA(temporary.c_str(), native.c_str(),
                     MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0))) {
        failed = "could not be put in place";
        error = GetLastError();
    }
    if (failed != nullptr) {
        DeleteFileA(temporary.c_str());
        return SystemError(failed, error);
    }
    return {};
}

}  // namespace lkmdb
