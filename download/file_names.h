#pragma once
// Names for staged downloads. The file name comes from the network, so it is made safe before it
// is joined to a staging folder.

#include <string>
#include <string_view>

namespace tw::download {

// Drops control characters and < > : " / \ | ? *; never empty ("installer.exe" stands in for a
// name left empty, "." or ".."). A device's name (CON, NUL.exe, COM1...) gets a "_" in front, and a
// name longer than 128 characters keeps its start and its extension.
std::wstring sanitise_file_name(std::wstring_view name);

// What follows the last "\" or "/"; the whole path when there is neither.
std::wstring_view file_name_of(std::wstring_view path);

// The folder holding `path`: the last component and the separators before it dropped; both
// backslash and slash separate.
std::wstring parent_folder(std::wstring_view path);

// `folder` and `name` as one path, with a separator only where `folder` has none at its end.
std::wstring join_path(std::wstring_view folder, std::wstring_view name);

}  // namespace tw::download
