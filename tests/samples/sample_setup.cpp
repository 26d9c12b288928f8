// A stand-in for a product's setup program. It shows no window, leaves a marker proving that it
// ran and ends with the exit code it was built with (TWI_SAMPLE_EXIT_CODE).
//
// The marker goes into the folder named by TWI_SAMPLE_MARKERS, or %TEMP%\TarnwickSampleRuns; it
// is called after the program's own file name plus ".ran" and holds the program's full path, its
// exit code and the working folder it started in, one a line. When TWI_SAMPLE_HOLD names a file,
// the program writes its marker and then waits (60 seconds at most) until that file exists, so a
// test can see it still running.
//
// Kernel32 only, fixed buffers: the program stays small and starts quickly under Wine.
#include <windows.h>

#ifndef TWI_SAMPLE_EXIT_CODE
#error "TWI_SAMPLE_EXIT_CODE must be defined"
#endif

#ifdef TWI_SAMPLE_PAD_BYTES
// Bulk that is never read; external and marked used so that the linker keeps it.
extern const unsigned char sample_padding[TWI_SAMPLE_PAD_BYTES];
__attribute__((used)) const unsigned char sample_padding[TWI_SAMPLE_PAD_BYTES] = {1};
#endif

namespace {

constexpr DWORD sample_exit_code = TWI_SAMPLE_EXIT_CODE;
constexpr ULONGLONG hold_limit_ms = 60'000;
constexpr DWORD hold_poll_ms = 20;
constexpr DWORD path_capacity = 2048;

bool read_variable(const wchar_t* name, wchar_t* value)
{
    const DWORD length = GetEnvironmentVariableW(name, value, path_capacity);
    return length > 0 && length < path_capacity;
}

bool marker_folder(wchar_t* folder)
{
    if (read_variable(L"TWI_SAMPLE_MARKERS", folder))
        return true;
    const DWORD length = GetTempPathW(path_capacity, folder);
    if (length == 0 || length + 32 > path_capacity)
        return false;
    lstrcatW(folder, L"TarnwickSampleRuns");
    return true;
}

const wchar_t* file_name_of(const wchar_t* path)
{
    const wchar_t* name = path;
    for (const wchar_t* at = path; *at; ++at)
        if (*at == L'\\' || *at == L'/')
            name = at + 1;
    return name;
}

// "<full path>\r\n<exit code>\r\n<working folder>\r\n" in UTF-8.
int marker_text(const wchar_t* own_path, const wchar_t* working_folder, char* text, int capacity)
{
    const int path_length =
        WideCharToMultiByte(CP_UTF8, 0, own_path, -1, text, capacity - 16, nullptr, nullptr);
    if (path_length <= 0)
        return 0;
    char digits[12];
    int count = 0;
    DWORD rest = sample_exit_code;
    do {
        digits[count++] = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    int at = path_length - 1;
    text[at++] = '\r';
    text[at++] = '\n';
    while (count > 0)
        text[at++] = digits[--count];
    text[at++] = '\r';
    text[at++] = '\n';
    const int folder_length =
        WideCharToMultiByte(CP_UTF8, 0, working_folder, -1, text + at, capacity - at - 2, nullptr, nullptr);
    if (folder_length <= 0)
        return 0;
    at += folder_length - 1;
    text[at++] = '\r';
    text[at++] = '\n';
    return at;
}

// Written under another name and moved into place, so a reader never sees half a marker.
void leave_marker()
{
    static wchar_t own_path[path_capacity];
    static wchar_t marker[path_capacity];
    static wchar_t partial[path_capacity];
    static wchar_t working_folder[path_capacity];
    static char text[6 * path_capacity + 32];

    const DWORD own_length = GetModuleFileNameW(nullptr, own_path, path_capacity);
    const DWORD folder_length = GetCurrentDirectoryW(path_capacity, working_folder);
    if (own_length == 0 || own_length >= path_capacity || folder_length == 0 || folder_length >= path_capacity ||
        !marker_folder(marker))
        return;
    CreateDirectoryW(marker, nullptr);
    const wchar_t* name = file_name_of(own_path);
    if (lstrlenW(marker) + lstrlenW(name) + 16 > static_cast<int>(path_capacity))
        return;
    lstrcatW(marker, L"\\");
    lstrcatW(marker, name);
    lstrcatW(marker, L".ran");
    lstrcpyW(partial, marker);
    lstrcatW(partial, L".part");

    const int length = marker_text(own_path, working_folder, text, static_cast<int>(sizeof(text)));
    const HANDLE file = CreateFileW(partial, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    const bool complete = WriteFile(file, text, static_cast<DWORD>(length), &written, nullptr) &&
                          written == static_cast<DWORD>(length);
    CloseHandle(file);
    if (!complete || !MoveFileExW(partial, marker, MOVEFILE_REPLACE_EXISTING))
        DeleteFileW(partial);
}

void hold_while_asked()
{
    static wchar_t release[path_capacity];
    if (!read_variable(L"TWI_SAMPLE_HOLD", release))
        return;
    const ULONGLONG deadline = GetTickCount64() + hold_limit_ms;
    while (GetFileAttributesW(release) == INVALID_FILE_ATTRIBUTES && GetTickCount64() < deadline)
        Sleep(hold_poll_ms);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    leave_marker();
    hold_while_asked();
    return static_cast<int>(sample_exit_code);
}
