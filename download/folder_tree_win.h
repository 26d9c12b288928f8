#pragma once
// Reading and removing a staging folder's contents. Another process of the user may have planted
// anything there, links included: nothing here follows a reparse point, and every walk stops at
// a fixed depth and a fixed number of entries a folder.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace tw::download {

struct FolderEntry {
    std::wstring name;  // as the file system reports it
    DWORD attributes = 0;
    FILETIME created{};
    FILETIME written{};
};

// The entries of `folder` without "." and ".."; nothing when it cannot be read to the end.
std::optional<std::vector<FolderEntry>> list_folder(const std::wstring& folder);

// A folder that is not a link (junction, symlink or other reparse point).
bool is_real_folder(DWORD attributes);

// Removes everything inside `folder`, then `folder`; true when `folder` is gone. A link is
// removed itself, never what it points at; whatever cannot be removed (a file open elsewhere) stays.
bool remove_folder_tree(const std::wstring& folder);

// True when every file inside `folder` can be opened with no sharing, so that no process has one
// open, and the whole folder could be read.
bool nothing_held_in(const std::wstring& folder);

}  // namespace tw::download
