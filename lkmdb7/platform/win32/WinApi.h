// The few Windows API functions that this backend calls, declared here with the library's own
// types (the very types of <windows.h>) so that the backend needs no system header. Same ABI:
// __stdcall, imported by name. Never include this together with <windows.h>, whose declarations
// of the same functions differ in detail (LARGE_INTEGER, LPSECURITY_ATTRIBUTES).
#pragma once

#include <cstdint>

#include "lkmdb7/platform/Types.h"
#include "lkmdb7/platform/internal/Clock.h"

namespace LKMDB7::win32 {

// NetBIOS network control block, laid out as the system's 32-bit NCB.
struct NCB {
    BYTE ncb_command;
    BYTE ncb_retcode;
    BYTE ncb_lsn;
    BYTE ncb_num;
    BYTE* ncb_buffer;
    WORD ncb_length;
    BYTE ncb_callname[16];
    BYTE ncb_name[16];
    BYTE ncb_rto;
    BYTE ncb_sto;
    void(__stdcall* ncb_post)(NCB*);
    BYTE ncb_lana_num;
    BYTE ncb_cmd_cplt;
    BYTE ncb_reserve[sizeof(void*) == 8 ? 18 : 10];
    HANDLE ncb_event;
};
static_assert(sizeof(void*) != 4 || sizeof(NCB) == 64, "the 32-bit NCB is 64 bytes");

constexpr DWORD kGenericRead = 0x80000000u;
constexpr DWORD kGenericWrite = 0x40000000u;
constexpr DWORD kFileShareRead = 0x1;
constexpr DWORD kFileShareWrite = 0x2;
constexpr DWORD kCreateNew = 1;
constexpr DWORD kCreateAlways = 2;
constexpr DWORD kOpenExisting = 3;
constexpr DWORD kOpenAlways = 4;
constexpr DWORD kFileAttributeNormal = 0x80;
constexpr DWORD kFileBegin = 0;
constexpr DWORD kFileCurrent = 1;
constexpr DWORD kFileEnd = 2;
constexpr DWORD kInvalidFileAttributes = 0xFFFFFFFFu;
constexpr DWORD kFileAttributeDirectory = 0x10;
constexpr DWORD kMoveFileReplaceExisting = 0x1;
constexpr DWORD kMoveFileWriteThrough = 0x8;
constexpr int kMaxPath = 260;
constexpr int kCsidlPersonal = 5;  // CSIDL_PERSONAL, the user's documents
constexpr DWORD kShgfpTypeCurrent = 0;
constexpr UINT kCodePageAnsi = 0;            // CP_ACP
constexpr DWORD kLocaleUserDefault = 0x400;  // LOCALE_USER_DEFAULT
constexpr DWORD kNormIgnoreCase = 0x1;       // NORM_IGNORECASE

}  // namespace LKMDB7::win32

extern "C" {
__declspec(dllimport) LKMDB7::DWORD __stdcall GetLastError(void);
__declspec(dllimport) void __stdcall SetLastError(LKMDB7::DWORD code);
__declspec(dllimport) void __stdcall GetLocalTime(LKMDB7::SYSTEMTIME* time);
__declspec(dllimport) LKMDB7::BOOL
    __stdcall SystemTimeToFileTime(const LKMDB7::SYSTEMTIME* time, LKMDB7::FILETIME* out);
__declspec(dllimport) LKMDB7::DWORD __stdcall GetTickCount(void);
__declspec(dllimport) void __stdcall Sleep(LKMDB7::DWORD milliseconds);
__declspec(dllimport) LKMDB7::DWORD __stdcall GetFileAttributesA(const char* path);
__declspec(dllimport) LKMDB7::HANDLE
    __stdcall CreateFileA(const char* path, LKMDB7::DWORD access, LKMDB7::DWORD share,
                          void* security, LKMDB7::DWORD disposition, LKMDB7::DWORD attributes,
                          LKMDB7::HANDLE templateFile);
__declspec(dllimport) LKMDB7::BOOL
    __stdcall ReadFile(LKMDB7::HANDLE file, void* buffer, LKMDB7::DWORD count, LKMDB7::DWORD* done,
                       void* overlapped);
__declspec(dllimport) LKMDB7::BOOL
    __stdcall WriteFile(LKMDB7::HANDLE file, const void* buffer, LKMDB7::DWORD count,
                        LKMDB7::DWORD* done, void* overlapped);
// The LARGE_INTEGER arguments travel as 64-bit integers: same size and alignment.
__declspec(dllimport) LKMDB7::BOOL
    __stdcall SetFilePointerEx(LKMDB7::HANDLE file, LKMDB7::LONGLONG distance,
                               LKMDB7::LONGLONG* position, LKMDB7::DWORD method);
__declspec(dllimport) LKMDB7::BOOL
    __stdcall GetFileSizeEx(LKMDB7::HANDLE file, LKMDB7::LONGLONG* size);
__declspec(dllimport) LKMDB7::BOOL __stdcall FlushFileBuffers(LKMDB7::HANDLE file);
__declspec(dllimport) LKMDB7::BOOL __stdcall CloseHandle(LKMDB7::HANDLE handle);
__declspec(dllimport) LKMDB7::HANDLE
    __stdcall CreateMutexA(void* security, LKMDB7::BOOL initialOwner, const char* name);
__declspec(dllimport) LKMDB7::DWORD
    __stdcall WaitForSingleObject(LKMDB7::HANDLE handle, LKMDB7::DWORD milliseconds);
__declspec(dllimport) LKMDB7::BOOL __stdcall ReleaseMutex(LKMDB7::HANDLE handle);
__declspec(dllimport) LKMDB7::BOOL __stdcall CreateDirectoryA(const char* path, void* security);
__declspec(dllimport) LKMDB7::BOOL
    __stdcall CopyFileA(const char* from, const char* to, LKMDB7::BOOL failIfExists);
__declspec(dllimport) LKMDB7::BOOL __stdcall MoveFileA(const char* from, const char* to);
__declspec(dllimport) LKMDB7::BOOL
    __stdcall MoveFileExA(const char* from, const char* to, LKMDB7::DWORD flags);
__declspec(dllimport) LKMDB7::BOOL __stdcall DeleteFileA(const char* path);
__declspec(dllimport) LKMDB7::BYTE __stdcall Netbios(LKMDB7::win32::NCB* ncb);
__declspec(dllimport) LKMDB7::DWORD
    __stdcall GetPrivateProfileStringA(const char* section, const char* key,
                                       const char* defaultValue, char* out, LKMDB7::DWORD size,
                                       const char* fileName);
// The wide text travels as 16-bit units, which wchar_t is on Windows.
__declspec(dllimport) int __stdcall WideCharToMultiByte(LKMDB7::UINT codePage, LKMDB7::DWORD flags,
                                                        const char16_t* wide, int wideCount,
                                                        char* out, int outSize,
                                                        const char* defaultChar,
                                                        LKMDB7::BOOL* usedDefault);
__declspec(dllimport) int __stdcall CompareStringA(LKMDB7::DWORD locale, LKMDB7::DWORD flags,
                                                   const char* a, int aCount, const char* b,
                                                   int bCount);
__declspec(dllimport) LKMDB7::DWORD __stdcall CharLowerBuffA(char* text, LKMDB7::DWORD count);
__declspec(dllimport) LKMDB7::DWORD __stdcall CharUpperBuffA(char* text, LKMDB7::DWORD count);
// Returns an HRESULT: 0 (S_OK) on success.
__declspec(dllimport) LKMDB7::LONG
    __stdcall SHGetFolderPathA(void* window, int folder, LKMDB7::HANDLE token, LKMDB7::DWORD flags,
                               char* path);
}
