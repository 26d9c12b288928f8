#include "download/folder_tree_win.h"

#include "client/scoped_win.h"
#include "download/file_names.h"

#include <algorithm>
#include <string_view>

namespace tw::download {
namespace {

using client::platform::FileHandle;
using client::platform::FindHandle;

// Deeper than any setup program's own folders; a planted chain of folders ends the walk here.
constexpr int max_depth = 16;
// More than a staging folder ever holds; a process adding files without end cannot keep a walk going.
constexpr std::size_t max_entries = 4096;

bool is_dot_entry(std::wstring_view name)
{
    return name == L"." || name == L"..";
}

bool is_link(DWORD attributes)
{
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool is_folder(DWORD attributes)
{
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// DeleteFileW and RemoveDirectoryW refuse a read-only entry. A link's attributes are left alone:
// SetFileAttributesW would change those of what it points at.
void clear_read_only(const std::wstring& path, DWORD attributes)
{
    if ((attributes & FILE_ATTRIBUTE_READONLY) && !is_link(attributes))
        SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
}

void remove_contents(const std::wstring& folder, int depth);

void remove_entry(const std::wstring& path, DWORD attributes, int depth)
{
    clear_read_only(path, attributes);
    if (!is_folder(attributes)) {
        DeleteFileW(path.c_str());  // a file symlink goes, not its target
        return;
    }
    if (!is_link(attributes))
        remove_contents(path, depth + 1);
    RemoveDirectoryW(path.c_str());  // a junction goes, not its target
}

void remove_contents(const std::wstring& folder, int depth)
{
    if (depth >= max_depth)
        return;
    const auto entries = list_folder(folder);
    if (!entries)
        return;
    for (const FolderEntry& entry : *entries)
        remove_entry(join_path(folder, entry.name), entry.attributes, depth);
}

// While any process has the file open for its data, a running program's image included, an open
// that shares nothing fails with a sharing violation. The link itself is opened, not its target.
bool can_open_alone(const std::wstring& path)
{
    return FileHandle(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT,
                                  nullptr))
        .valid();
}

bool nothing_held_below(const std::wstring& folder, int depth);

// A link to a folder is removed without anything behind it being touched.
bool is_free(const std::wstring& path, DWORD attributes, int depth)
{
    if (!is_folder(attributes))
        return can_open_alone(path);
    return is_link(attributes) || nothing_held_below(path, depth + 1);
}

bool nothing_held_below(const std::wstring& folder, int depth)
{
    if (depth >= max_depth)
        return false;
    const auto entries = list_folder(folder);
    return entries && std::all_of(entries->begin(), entries->end(), [&](const FolderEntry& entry) {
               return is_free(join_path(folder, entry.name), entry.attributes, depth);
           });
}

}  // namespace

std::optional<std::vector<FolderEntry>> list_folder(const std::wstring& folder)
{
    if (folder.empty())
        return std::nullopt;
    WIN32_FIND_DATAW found{};
    const FindHandle search(
        FindFirstFileExW(join_path(folder, L"*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0));
    if (!search.valid())
        return std::nullopt;
    std::vector<FolderEntry> entries;
    do {
        if (!is_dot_entry(found.cFileName))
            entries.push_back({found.cFileName, found.dwFileAttributes, found.ftCreationTime, found.ftLastWriteTime});
        if (entries.size() > max_entries)
            return std::nullopt;
    } while (FindNextFileW(search.get(), &found));
    if (GetLastError() != ERROR_NO_MORE_FILES)
        return std::nullopt;
    return entries;
}

bool is_real_folder(DWORD attributes)
{
    return is_folder(attributes) && !is_link(attributes);
}

bool remove_folder_tree(const std::wstring& folder)
{
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    if (!is_folder(attributes))
        return false;
    if (!is_link(attributes))
        remove_contents(folder, 0);
    clear_read_only(folder, attributes);
    return RemoveDirectoryW(folder.c_str()) != FALSE;
}

bool nothing_held_in(const std::wstring& folder)
{
    return nothing_held_below(folder, 0);
}

}  // namespace tw::download
