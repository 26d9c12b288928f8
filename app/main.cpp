#include "app/startup.h"

#include <windows.h>

// Fixed when the executable is built; a build without one says so in its window.
#ifndef TWI_SITE_ORIGIN
#define TWI_SITE_ORIGIN ""
#endif

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command)
{
    return tw::app::run_installer(instance, show_command, TWI_SITE_ORIGIN);
}
