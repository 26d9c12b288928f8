#include "download/runners_win.h"

#include "client/scoped_win.h"
#include "download/file_names.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

namespace tw::download {
namespace {

using client::platform::ComApartment;
using client::platform::KernelHandle;

constexpr ULONG elevated_mask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
constexpr ULONG plain_mask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
static_assert(elevated_mask == 0x540 && plain_mask == 0x500);
// The shell may use COM for the verb.
constexpr DWORD kShellApartment = COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE;

// The program starts in its staging folder, which holds nothing but itself, not in our working
// folder (often Downloads, where any web page can leave a DLL): its current folder is on its DLL
// search path. `folder` must outlive the request.
SHELLEXECUTEINFOW shell_request(const wchar_t* verb, const std::wstring& path, const std::wstring& folder, ULONG mask)
{
    SHELLEXECUTEINFOW request{};
    request.cbSize = sizeof(request);
    request.fMask = mask;
    request.hwnd = nullptr;
    request.lpVerb = verb;
    request.lpFile = path.c_str();
    request.lpParameters = nullptr;
    request.lpDirectory = folder.empty() ? nullptr : folder.c_str();
    request.nShow = SW_SHOWNORMAL;
    return request;
}

// An exit code that cannot be read must not read as 0, which the install flow reports as a
// finished install; all ones is no setup program's success.
constexpr std::uint32_t unknown_exit_code = 0xFFFFFFFF;

std::uint32_t wait_for_exit(HANDLE process)
{
    if (WaitForSingleObject(process, INFINITE) != WAIT_OBJECT_0)
        return unknown_exit_code;
    DWORD code = 0;
    if (!GetExitCodeProcess(process, &code))
        return unknown_exit_code;
    return code;
}

RunResult start_failure(const char* what, DWORD error)
{
    return {RunOutcome::not_started, 0,
            "Windows could not start the " + std::string(what) + " (error " + std::to_string(error) + ")."};
}

}  // namespace

RunResult run_installer_elevated(const std::wstring& path)
{
    const ComApartment apartment(kShellApartment);
    const std::wstring folder = parent_folder(path);
    SHELLEXECUTEINFOW request = shell_request(L"runas", path, folder, elevated_mask);
    if (ShellExecuteExW(&request) && request.hProcess) {
        const KernelHandle process(request.hProcess);
        return {RunOutcome::started, wait_for_exit(process.get()), {}};
    }
    const DWORD error = GetLastError();
    if (error == ERROR_CANCELLED)
        return {RunOutcome::declined, 0, {}};
    return start_failure("installer", error);
}

RunResult run_new_installer(const std::wstring& path)
{
    const ComApartment apartment(kShellApartment);
    const std::wstring folder = parent_folder(path);
    SHELLEXECUTEINFOW request = shell_request(L"open", path, folder, plain_mask);
    if (ShellExecuteExW(&request))
        return {RunOutcome::started, 0, {}};
    return start_failure("new Installer", GetLastError());
}

}  // namespace tw::download
