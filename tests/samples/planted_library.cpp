// Planted beside the Installer under the name of a DLL it or its system DLLs load. If it is ever
// loaded it leaves <its file name>.loaded in the folder that TWI_PLANTED_MARKERS names. Only
// kernel32 may be called: the library has no C runtime.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID)
{
    wchar_t own[MAX_PATH];
    wchar_t marker[2 * MAX_PATH];
    const DWORD own_length = GetModuleFileNameW(module, own, MAX_PATH);
    const DWORD folder_length = GetEnvironmentVariableW(L"TWI_PLANTED_MARKERS", marker, MAX_PATH);
    if (reason != DLL_PROCESS_ATTACH || own_length == 0 || own_length >= MAX_PATH || folder_length == 0 ||
        folder_length >= MAX_PATH)
        return TRUE;
    const wchar_t* name = own;
    for (const wchar_t* at = own; *at; ++at)
        if (*at == L'\\')
            name = at + 1;
    lstrcatW(lstrcatW(lstrcatW(marker, L"\\"), name), L".loaded");
    CloseHandle(CreateFileW(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return TRUE;
}
