// The few Windows API functions that this backend calls, declared here with the library's own
// fixed-width types rather than taken from <windows.h>, whose DWORD, LONG and ERROR_* macros
// collide with the library's names. Same ABI: 32-bit integers, __stdcall, imported by name.
// Never include this together with <windows.h>.
#pragma once

#include <cstdint>

#include "lkmdb7/platform/Clock.h"
#include "lkmdb7/platform/Types.h"

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
__declspec(dllimport) DWORD __stdcall GetLastError(void);
__declspec(dllimport) void __stdcall SetLastError(DWORD code);
__declspec(dllimport) void __stdcall GetLocalTime(LKMDB7::SYSTEMTIME* time);
__declspec(dllimport) BOOL
    __stdcall SystemTimeToFileTime(const LKMDB7::SYSTEMTIME* time, LKMDB7::FILETIME* out);
__declspec(dllimport) DWORD __stdcall GetTickCount(void);
__declspec(dllimport) void __stdcall Sleep(DWORD milliseconds);
__declspec(dllimport) DWORD __stdcall GetFileAttributesA(const char* path);
__declspec(dllimport) HANDLE
    __stdcall CreateFileA(const char* path, DWORD access, DWORD share, void* security,
                          DWORD disposition, DWORD attributes, HANDLE templateFile);
__declspec(dllimport) BOOL
    __stdcall ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* done, void* overlapped);
__declspec(dllimport) BOOL __stdcall WriteFile(HANDLE file, const void* buffer, DWORD count,
                                               DWORD* done, void* overlapped);
// The LARGE_INTEGER arguments travel as 64-bit integers: same size and alignment.
__declspec(dllimport) BOOL
    __stdcall SetFilePointerEx(HANDLE file, LONGLONG distance, LONGLONG* position, DWORD method);
__declspec(dllimport) BOOL __stdcall GetFileSizeEx(HANDLE file, LONGLONG* size);
__declspec(dllimport) BOOL __stdcall FlushFileBuffers(HANDLE file);
__declspec(dllimport) BOOL __stdcall CloseHandle(HANDLE handle);
__declspec(dllimport) HANDLE
    __stdcall CreateMutexA(void* security, BOOL initialOwner, const char* name);
__declspec(dllimport) DWORD __stdcall WaitForSingleObject(HANDLE handle, DWORD milliseconds);
__declspec(dllimport) BOOL __stdcall ReleaseMutex(HANDLE handle);
__declspec(dllimport) BOOL __stdcall CreateDirectoryA(const char* path, void* security);
__declspec(dllimport) BOOL __stdcall CopyFileA(const char* from, const char* to, BOOL failIfExists);
__declspec(dllimport) BOOL __stdcall MoveFileA(const char* from, const char* to);
__declspec(dllimport) BOOL __stdcall MoveFileExA(const char* from, const char* to, DWORD flags);
__declspec(dllimport) BOOL __stdcall DeleteFileA(const char* path);
__declspec(dllimport) BYTE __stdcall Netbios(LKMDB7::win32::NCB* ncb);
__declspec(dllimport) DWORD __stdcall GetPrivateProfileStringA(const char* section, const char* key,
                                                               const char* defaultValue, char* out,
                                                               DWORD size, const char* fileName);
// The wide text travels as 16-bit units, which wchar_t is on Windows.
__declspec(dllimport) int __stdcall WideCharToMultiByte(UINT codePage, DWORD flags,
                                                        const char16_t* wide, int wideCount,
                                                        char* out, int outSize,
                                                        const char* defaultChar, BOOL* usedDefault);
__declspec(dllimport) int __stdcall CompareStringA(DWORD locale, DWORD flags, const char* a,
                                                   int aCount, const char* b, int bCount);
__declspec(dllimport) DWORD __stdcall CharLowerBuffA(char* text, DWORD count);
__declspec(dllimport) DWORD __stdcall CharUpperBuffA(char* text, DWORD count);
// Returns an HRESULT: 0 (S_OK) on success.
__declspec(dllimport) LONG
    __stdcall SHGetFolderPathA(void* window, int folder, HANDLE token, DWORD flags, char* path);
}
