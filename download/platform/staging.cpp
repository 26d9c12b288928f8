#include "download/platform/staging.h"

#include "download/file_names.h"
#include "download/platform/folder_tree.h"

#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <string_view>

namespace tw::download {
namespace {

constexpr wchar_t shared_folder_name[] = L"TarnwickInstaller";

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

bool is_hex_digit(wchar_t c)
{
    return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F') || (c >= L'a' && c <= L'f');
}

// The shape StringFromGUID2 gives a staging folder's name. Nothing else under the shared folder
// is ours to remove, nor is the folder of a file that was never staged.
bool is_braced_guid(std::wstring_view name)
{
    constexpr std::wstring_view guid_shape = L"{........-....-....-....-............}";
    return name.size() == guid_shape.size() &&
           std::equal(name.begin(), name.end(), guid_shape.begin(),
                      [](wchar_t c, wchar_t shape) { return shape == L'.' ? is_hex_digit(c) : c == shape; });
}

constexpr std::uint64_t ticks_per_second = 10'000'000;

std::uint64_t ticks(FILETIME time)
{
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// A time after `now` (a clock set back) is never old.
bool is_older(FILETIME time, FILETIME now, std::int64_t max_age_seconds)
{
    const std::uint64_t at = ticks(time);
    const std::uint64_t current = ticks(now);
    const auto limit = static_cast<std::uint64_t>(std::max<std::int64_t>(max_age_seconds, 0));
    return at < current && (current - at) / ticks_per_second >= limit;
}

// Both times must be old: a folder restored from a backup keeps its old creation time, and an
// entry added since moves only the write time.
bool is_stale(const FolderEntry& entry, FILETIME now, std::int64_t max_age_seconds)
{
    return is_braced_guid(entry.name) && is_real_folder(entry.attributes) &&
           is_older(entry.created, now, max_age_seconds) && is_older(entry.written, now, max_age_seconds);
}

// The name Windows gives a file created under `name`: it drops trailing dots and spaces, so a
// file staged as "Studio.exe. ." lies in its folder as "Studio.exe".
std::wstring_view name_on_disk(std::wstring_view name)
{
    const auto end = name.find_last_not_of(L". ");
    return name.substr(0, end == std::wstring_view::npos ? 0 : end + 1);
}

}  // namespace

std::wstring shared_staging_folder()
{
    const std::wstring temp = temp_folder();
    return temp.empty() ? std::wstring{} : join_path(temp, shared_folder_name);
}

std::wstring make_staging_folder()
{
    const std::wstring shared = shared_staging_folder();
    const std::wstring guid = new_guid_text();
    if (shared.empty() || guid.empty())
        return {};
    const std::wstring folder = join_path(shared, guid);
    return create_new_folder(folder) ? folder : std::wstring{};
}

bool staging_folder_holds_only(const std::wstring& staged_path)
{
    const auto entries = list_folder(parent_folder(staged_path));
    return entries && entries->size() == 1 && entries->front().name == name_on_disk(file_name_of(staged_path));
}

void discard_download(const std::wstring& path)
{
    if (path.empty())
        return;
    const std::wstring folder = parent_folder(path);
    if (is_braced_guid(file_name_of(folder))) {
        remove_folder_tree(folder);
        return;
    }
    DeleteFileW(path.c_str());
    if (!folder.empty())
        RemoveDirectoryW(folder.c_str());
}

int remove_stale_staging_folders(const std::wstring& shared_folder, FILETIME now, std::int64_t max_age_seconds)
{
    const auto entries = list_folder(shared_folder);
    if (!entries)
        return 0;
    int removed = 0;
    for (const FolderEntry& entry : *entries) {
        const std::wstring folder = join_path(shared_folder, entry.name);
        if (is_stale(entry, now, max_age_seconds) && nothing_held_in(folder) && remove_folder_tree(folder))
            ++removed;
    }
    return removed;
}

}  // namespace tw::download
