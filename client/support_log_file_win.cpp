#include "client/support_log_file_win.h"

#include "client/scoped_win.h"
#include "client/system_clock_win.h"

#include <windows.h>
#include <shlobj.h>

#include <mutex>

namespace tw::client::platform {
namespace {

// FOLDERID_LocalAppData, written out: the import library that defines it keeps every known GUID in
// one object, and linking it for this one grew the executable by a third of a megabyte.
constexpr KNOWNFOLDERID local_app_data{0xf1b32785, 0x6fba, 0x4fcf, {0x9d, 0x55, 0x7b, 0x8e, 0x7f, 0x15, 0x70, 0x91}};

// What logon set %LOCALAPPDATA% to, when it names a folder by drive or share. Asking the shell for
// the known folder loads shell32, the largest library the start would otherwise load while the
// catalog request is on its way; the shell is asked only when the variable is missing.
std::wstring folder_from_environment()
{
    wchar_t value[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", value, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    const std::wstring folder(value, length);
    const bool absolute = (folder.size() > 2 && folder[1] == L':' && folder[2] == L'\\') || folder.starts_with(L"\\\\");
    return absolute ? folder : std::wstring();
}

std::wstring folder_from_shell()
{
    PWSTR raw = nullptr;
    const HRESULT found = SHGetKnownFolderPath(local_app_data, KF_FLAG_DEFAULT, nullptr, &raw);
    const CoTaskMemory<wchar_t> local(raw);
    if (FAILED(found) || !local)
        return {};
    return local.get();
}

// Empty when the system names no local application data folder.
std::wstring find_folder()
{
    std::wstring local = folder_from_environment();
    if (local.empty())
        local = folder_from_shell();
    return local.empty() ? local : local + L"\\TarnwickInstaller\\Logs";
}

// Made again before every line: the folder may have been removed while the Installer runs.
void make_folder(const std::wstring& folder)
{
    CreateDirectoryW(folder.substr(0, folder.rfind(L'\\')).c_str(), nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
}

// Append access: each write lands at the end even when another Installer wrote since, and the
// sharing lets that one open, write and rename the file at the same time.
FileHandle open_for_append(const std::wstring& path)
{
    constexpr DWORD sharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    return FileHandle(
        CreateFileW(path.c_str(), FILE_APPEND_DATA, sharing, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

FileHandle open_with_room(const std::wstring& folder, std::uint64_t line_bytes)
{
    const std::wstring current = folder + L"\\installer.log";
    FileHandle file = open_for_append(current);
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size) ||
        !support_log::rotates_before(static_cast<std::uint64_t>(size.QuadPart), line_bytes))
        return file;
    file.reset();
    MoveFileExW(current.c_str(), (folder + L"\\installer.1.log").c_str(), MOVEFILE_REPLACE_EXISTING);
    return open_for_append(current);
}

// Made once and never destroyed. Workers are detached and the process may end under them: a
// catalog reply that arrived while the program was ending logged its exchange after static
// destruction had ended a function-local mutex and folder name, and locked and read freed memory.
struct LogPlace {
    std::mutex writing;
    const std::wstring folder = find_folder();
};

LogPlace& log_place()
{
    static LogPlace* const place = new LogPlace;
    return *place;
}

void append_line(const std::string& line)
{
    LogPlace& place = log_place();
    const std::wstring& folder = place.folder;
    if (folder.empty())
        return;
    const std::lock_guard<std::mutex> lock(place.writing);
    make_folder(folder);
    const FileHandle file = open_with_room(folder, line.size());
    DWORD written = 0;
    if (file)
        WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace

void log_step(const support_log::Step& step) noexcept
{
    try {
        append_line(support_log::format_line(unix_ms_now(), step));
    } catch (...) {
    }
}

}  // namespace tw::client::platform
