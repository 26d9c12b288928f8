#pragma once
// Staging folders: every download gets a fresh folder of its own under the user's temporary
// folder, inside the shared "TarnwickInstaller" folder, which is never removed.

#include <string>

namespace tw::download {

// The full path of a newly created staging folder; empty when none could be made.
std::wstring make_staging_folder();

// Removes the staged file and then its folder when that is empty. Failures are ignored: a file
// still open elsewhere simply stays.
void discard_download(const std::wstring& path);

}  // namespace tw::download
