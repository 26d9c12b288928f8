#pragma once
// Staging folders: every download gets a fresh folder of its own under the user's temporary
// folder, inside the shared "TarnwickInstaller" folder, which is never removed.
//
// The elevated setup program runs from its staging folder and loads DLLs from there, so whatever
// else lands in that folder would run elevated too: the folder is closed to additions once the
// download is written, checked to hold nothing else before the setup starts, and removed whole.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

namespace tw::download {

enum class StagingFailure { none, not_made, unsafe };

struct StagingFolder {
    std::wstring path;  // empty when none was made
    StagingFailure failure = StagingFailure::none;
};

// A newly created staging folder, by its final path (no short names, no links). Refused as unsafe
// when its volume keeps no ACLs, when it or the shared folder is a junction or symbolic link, or
// when the folder above either is owned by another user.
StagingFolder make_staging_folder();

// The path to start the held file by: its final path, as the system resolves the handle, and only
// when that is the staged file. A link turned between the checks and the run points elsewhere.
std::optional<std::wstring> staged_file_to_run(HANDLE file, const std::wstring& staged_path);

// The shared staging folder, %TEMP%\TarnwickInstaller (empty when the temporary folder is unknown).
std::wstring shared_staging_folder();

// True when the staged file's folder holds that file and nothing else.
bool staging_folder_holds_only(const std::wstring& staged_path);

// Removes the staged file and, when its folder is a staging folder (named by a braced GUID),
// anything else in that folder, then the folder. A planted junction or symlink is removed itself,
// never what it points at. Failures are ignored: a file still open elsewhere simply stays.
void discard_download(const std::wstring& path);

// Removes {GUID} folders directly under `shared_folder` whose creation and last-write times are
// both more than `max_age_seconds` before `now` and none of whose files is open anywhere; touches
// nothing else. Returns how many it removed.
int remove_stale_staging_folders(const std::wstring& shared_folder, FILETIME now, std::int64_t max_age_seconds);

}  // namespace tw::download
