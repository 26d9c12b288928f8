#include "download/staging_win.h"

#include "client/scoped_win.h"
#include "download/file_names.h"
#include "download/folder_tree_win.h"
#include "download/staging_acl_win.h"
#include "download/staging_rules.h"

#include <windows.h>
#include <aclapi.h>
#include <objbase.h>
#include <sddl.h>

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

using client::platform::FileHandle;
using client::platform::LocalMemory;

// As GetFinalPathNameByHandleW gives it, "\\?\" included; empty on failure.
std::wstring final_path_of(HANDLE handle)
{
    const DWORD needed = GetFinalPathNameByHandleW(handle, nullptr, 0, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (needed == 0)
        return {};
    std::wstring path(needed, L'\0');
    const DWORD length =
        GetFinalPathNameByHandleW(handle, path.data(), needed, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length >= needed)
        return {};
    path.resize(length);
    return path;
}

// A path the shell takes: the "\\?\" prefix dropped ("\\?\UNC\" becomes "\\").
std::wstring plain_path(const std::wstring& final_path)
{
    constexpr std::wstring_view unc = L"\\\\?\\UNC\\";
    constexpr std::wstring_view local = L"\\\\?\\";
    if (final_path.compare(0, unc.size(), unc) == 0)
        return L"\\\\" + final_path.substr(unc.size());
    if (final_path.compare(0, local.size(), local) == 0)
        return final_path.substr(local.size());
    return final_path;
}

// The folder itself, never what a link at its place points at.
FileHandle open_folder(const std::wstring& path)
{
    return FileHandle(CreateFileW(path.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

bool is_sid(PSID sid, WELL_KNOWN_SID_TYPE type)
{
    return IsWellKnownSid(sid, type) != FALSE;
}

FolderOwner owner_of(HANDLE folder)
{
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR raw = nullptr;
    if (GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &raw) != ERROR_SUCCESS)
        return FolderOwner::unknown;
    const LocalMemory<void> descriptor(raw);
    if (!owner)
        return FolderOwner::unknown;
    if (is_sid(owner, WinLocalSystemSid))
        return FolderOwner::local_system;
    if (is_sid(owner, WinBuiltinAdministratorsSid))
        return FolderOwner::administrators;
    PSID user = nullptr;
    const std::wstring user_text = current_user_sid();
    if (user_text.empty() || !ConvertStringSidToSidW(user_text.c_str(), &user))
        return FolderOwner::unknown;
    const LocalMemory<void> user_sid(user);
    return EqualSid(owner, user) ? FolderOwner::current_user : FolderOwner::someone_else;
}

// A file system without ACLs (FAT, exFAT) takes a security descriptor and keeps nothing of it.
bool keeps_acls(HANDLE folder)
{
    DWORD flags = 0;
    return GetVolumeInformationByHandleW(folder, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) &&
           (flags & FILE_PERSISTENT_ACLS) != 0;
}

struct FolderFacts {
    bool opened = false;
    bool fit = false;
    bool keeps_acls = false;
    std::wstring final_path;  // without its prefix
};

FolderFacts folder_facts(const std::wstring& folder, const std::wstring& parent)
{
    FolderFacts facts;
    const FileHandle handle = open_folder(folder);
    const FileHandle above = open_folder(parent);
    BY_HANDLE_FILE_INFORMATION information{};
    if (!handle || !above || !GetFileInformationByHandle(handle.get(), &information))
        return facts;
    facts.opened = true;
    const bool reparse_point = (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    facts.fit = judge_staging_folder(reparse_point, owner_of(above.get())) == StagingVerdict::fit;
    facts.keeps_acls = keeps_acls(handle.get());
    facts.final_path = plain_path(final_path_of(handle.get()));
    return facts;
}

// Made with the descriptor it keeps: at no moment does it inherit what %TEMP% allows.
bool create_sealed_folder(const std::wstring& folder)
{
    const SecurityDescriptor descriptor = new_staging_folder_descriptor();
    if (!descriptor)
        return false;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};
    return CreateDirectoryW(folder.c_str(), &attributes) != FALSE;
}

}  // namespace

std::wstring shared_staging_folder()
{
    const std::wstring temp = temp_folder();
    return temp.empty() ? std::wstring{} : join_path(temp, shared_folder_name);
}

StagingFolder make_staging_folder()
{
    const std::wstring temp = temp_folder();
    const std::wstring shared = shared_staging_folder();
    const std::wstring guid = new_guid_text();
    if (shared.empty() || guid.empty())
        return {{}, StagingFailure::not_made};
    const std::wstring folder = join_path(shared, guid);
    create_new_folder(shared);
    const FolderFacts above = folder_facts(shared, temp);
    if (!above.opened)
        return {{}, StagingFailure::not_made};
    if (!above.fit || !above.keeps_acls)
        return {{}, StagingFailure::unsafe};
    if (!create_sealed_folder(folder))
        return {{}, StagingFailure::not_made};
    const FolderFacts made = folder_facts(folder, shared);
    if (!made.fit || made.final_path.empty()) {
        RemoveDirectoryW(folder.c_str());
        return {{}, StagingFailure::unsafe};
    }
    return {made.final_path, StagingFailure::none};
}

std::optional<std::wstring> staged_file_to_run(HANDLE file, const std::wstring& staged_path)
{
    const std::wstring final_path = final_path_of(file);
    if (!is_staged_path(final_path, staged_path))
        return std::nullopt;
    return plain_path(final_path);
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
