// Does nothing when loaded: it only has to be a genuine, signed library.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
