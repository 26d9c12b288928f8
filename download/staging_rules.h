#pragma once
// Which folders a download may be staged in, and whether the file a held handle names is still
// the staged one. The facts are read from Windows; the decisions are made here.

#include <string_view>

namespace tw::download {

// Who owns the folder above a staging folder, as the system's security identifiers tell.
enum class FolderOwner { current_user, administrators, local_system, someone_else, unknown };

enum class StagingVerdict { fit, reparse_point, foreign_owner };

// %TEMP%\TarnwickInstaller and each {GUID} folder: never a junction or symbolic link, which turns
// the path elsewhere, and never under a folder that another user owns, who could swap what it
// holds. An owner that cannot be read is no better than another user.
StagingVerdict judge_staging_folder(bool reparse_point, FolderOwner parent_owner);

// True when `final_path`, as GetFinalPathNameByHandleW gives it for the held file ("\\?\C:\..."
// or "\\?\UNC\server\share\..."), is the file staged as `staged_path`. Letter case is the file
// system's own matter and does not count; the trailing dots and spaces that Windows drops from a
// name it creates do not either. Anything else is another file: a junction turned, a folder moved.
bool is_staged_path(std::wstring_view final_path, std::wstring_view staged_path);

}  // namespace tw::download
