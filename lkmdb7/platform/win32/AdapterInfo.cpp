// The only file of the backend that includes <windows.h>; see AdapterInfo.h.
#include <windows.h>
// windows.h must come first.
#include <iphlpapi.h>

#include <cstring>

#include "lkmdb7/platform/win32/AdapterInfo.h"

namespace LKMDB7::win32 {

std::vector<std::array<unsigned char, 6>> IpHelperAdapterAddresses() {
    std::vector<std::array<unsigned char, 6>> result;
    // Loaded at run time: the library links nothing beyond the system's core DLLs and NetBIOS.
    HMODULE library = ::LoadLibraryA("iphlpapi.dll");
    if (library == nullptr) {
        return result;
    }
    using GetAdaptersInfoFn = ULONG(WINAPI*)(PIP_ADAPTER_INFO, PULONG);
    const auto getAdaptersInfo = reinterpret_cast<GetAdaptersInfoFn>(
        reinterpret_cast<void*>(::GetProcAddress(library, "GetAdaptersInfo")));
    if (getAdaptersInfo != nullptr) {
        std::vector<IP_ADAPTER_INFO> buffer(4);
        ULONG size = static_cast<ULONG>(buffer.size() * sizeof(IP_ADAPTER_INFO));
        DWORD status = getAdaptersInfo(buffer.data(), &size);
        if (status == ERROR_BUFFER_OVERFLOW) {
            buffer.resize(size / sizeof(IP_ADAPTER_INFO) + 1);
            size = static_cast<ULONG>(buffer.size() * sizeof(IP_ADAPTER_INFO));
            status = getAdaptersInfo(buffer.data(), &size);
        }
        if (status == ERROR_SUCCESS) {
            for (const IP_ADAPTER_INFO* info = buffer.data(); info != nullptr; info = info->Next) {
                if (info->Type == MIB_IF_TYPE_LOOPBACK || info->AddressLength != 6) {
                    continue;
                }
                std::array<unsigned char, 6> address{};
                std::memcpy(address.data(), info->Address, 6);
                result.push_back(address);
            }
        }
    }
    ::FreeLibrary(library);
    return result;
}

}  // namespace LKMDB7::win32
