#include "client/windows_version_win.h"

#include <windows.h>

namespace tw::client::platform {

std::string windows_version()
{
    using GetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    // GetVersionEx answers what the manifest claims support for; RtlGetVersion answers the truth.
    const auto get_version =
        ntdll ? reinterpret_cast<GetVersion>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion"))) : nullptr;
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!get_version || get_version(&info) != 0)
        return {};
    return std::to_string(info.dwMajorVersion) + '.' + std::to_string(info.dwMinorVersion) + '.' +
           std::to_string(info.dwBuildNumber);
}

}  // namespace tw::client::platform
