#pragma once
// Starting a checked download through the shell: a product installer elevated and waited for,
// a new Installer plainly and left running.

#include <cstdint>
#include <string>

namespace tw::download {

struct InstallerRun {
    bool started = false;        // the shell started the process and handed back its handle
    bool declined = false;       // the user refused the elevation prompt
    std::uint32_t exit_code = 0; // meaningful only when started
    std::wstring message;        // why it could not start, other than a refused prompt
};

// Blocks until the installer ends, with no time limit.
InstallerRun run_installer_elevated(const std::wstring& path);

// Returns once the shell has started the file; on failure `message` says why.
bool run_new_installer(const std::wstring& path, std::wstring& message);

}  // namespace tw::download
