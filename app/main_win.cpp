#include "app/startup_win.h"
#include "catalog_trust_build.h"  // generated for this executable by cmake/CatalogTrust.cmake

#include <windows.h>

// Fixed when the executable is built; a build without one says so in its window.
#ifndef TWI_SITE_ORIGIN
#define TWI_SITE_ORIGIN ""
#endif

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command)
{
    // Before the first call into any DLL but kernel32 and the C runtime (cmake/DelayLoad.cmake):
    // from here on neither the program nor the system DLLs it uses take a DLL from beside the
    // program (the user's Downloads folder). The second call keeps the current folder out of loads
    // that ask for the altered search order, which ignores the first.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    SetDllDirectoryW(L"");
    static constexpr tw::catalog::CatalogTrust trust{twi_build::pinned_publisher, twi_build::catalog_keys};
    return tw::app::run_installer(instance, show_command, TWI_SITE_ORIGIN, trust);
}
