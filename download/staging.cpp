#include "download/staging.h"

#include "download/file_names.h"

#include <windows.h>
#include <objbase.h>

namespace tw::download {
namespace {

constexpr wchar_t kSharedFolder[] = L"TarnwickInstaller";

std::wstring temp_folder()
{
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    return length == 0 || length > MAX_PATH ? std::wstring{} : std::wstring(buffer, length);
}

std::wstring new_guid_text()
{
    GUID guid{};
    if (FAILED(CoCreateGuid(&guid)))
        return {};
    wchar_t buffer[40] = {};
    return StringFromGUID2(guid, buffer, 40) > 0 ? std::wstring(buffer) : std::wstring{};
}

bool is_separator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

// Creates every missing folder along `path`. Only the last one must be new, so that two
// downloads never share a folder; a parent that cannot be made shows as that last step failing.
bool create_new_folder(const std::wstring& path)
{
    for (std::size_t at = 1; at < path.size(); ++at) {
        if (is_separator(path[at]) && !is_separator(path[at - 1]))
            CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
    }
    return CreateDirectoryW(path.c_str(), nullptr) != FALSE;
}

}  // namespace

std::wstring make_staging_folder()
{
    const std::wstring temp = temp_folder();
    const std::wstring guid = new_guid_text();
    if (temp.empty() || guid.empty())
        return {};
    const std::wstring folder = join_path(join_path(temp, kSharedFolder), guid);
    return create_new_folder(folder) ? folder : std::wstring{};
}

void discard_download(const std::wstring& path)
{
    if (path.empty())
        return;
    DeleteFileW(path.c_str());
    const std::wstring folder = parent_folder(path);
    if (!folder.empty())
        RemoveDirectoryW(folder.c_str());
}

}  // namespace tw::download
