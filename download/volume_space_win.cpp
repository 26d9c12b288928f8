#include "download/volume_space_win.h"

#include <windows.h>

namespace tw::download {

std::wstring volume_of(const std::wstring& folder)
{
    wchar_t volume[MAX_PATH + 1] = {};
    return GetVolumePathNameW(folder.c_str(), volume, MAX_PATH + 1) ? std::wstring(volume) : std::wstring{};
}

std::optional<std::uint64_t> free_bytes_of(const std::wstring& folder)
{
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr))
        return std::nullopt;
    return available.QuadPart;
}

}  // namespace tw::download
