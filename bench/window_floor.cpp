// The least a windowed program does to show the catalog: the floor under the Installer's start.
//   bench_window_floor URL TEXT
// A worker fetches the catalog as bench_catalog does (bench/bare_catalog.h) while the main thread
// makes one window of the Installer's class, with the Installer's manifest, holding one status line
// under the Installer's control id; when the body is in, the line reads TEXT (or what broke off).
// No fonts, painting, GDI+, COM or log of its own: what remains is what Wine makes any window
// cost, so the Installer's start is measured against it as well as against the bare fetch.
// twi-driver finds and closes it as it does the Installer.
#include "app/ui_state.h"
#include "bench/bare_catalog.h"
#include "bench/url_argument.h"

#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>
#include <thread>

namespace {

using tw::client::platform::KernelHandle;

constexpr wchar_t window_class_name[] = L"TarnwickInstaller";
constexpr UINT msg_fetched = WM_APP + 1;
constexpr DWORD window_wait_ms = 60'000;

// Shared by the worker and the window: the worker writes `fetched` before it posts msg_fetched,
// and the window is known before `window_made` is set.
struct Floor {
    std::wstring text;
    bare::Fetched fetched;
    KernelHandle window_made{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    HWND window = nullptr;
    HWND status = nullptr;
};

Floor floor_state;

void fetch(const tw::download::CrackedAddress& address)
{
    floor_state.fetched = bare::fetch_catalog(address);
    if (WaitForSingleObject(floor_state.window_made.get(), window_wait_ms) == WAIT_OBJECT_0 && floor_state.window)
        PostMessageW(floor_state.window, msg_fetched, 0, 0);
}

void show_fetched()
{
    const bare::Fetched& fetched = floor_state.fetched;
    const std::wstring line = fetched.failure.empty() && fetched.status == 200
                                  ? floor_state.text
                                  : L"failed: status " + std::to_wstring(fetched.status) + L" " +
                                        tw::client::platform::widen(fetched.failure);
    SetWindowTextW(floor_state.status, line.c_str());
}

LRESULT CALLBACK floor_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case msg_fetched:
        show_fetched();
        return 0;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wparam, lparam);
    }
}

HWND make_window(HINSTANCE instance)
{
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = floor_proc;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    window_class.lpszClassName = window_class_name;
    if (!RegisterClassExW(&window_class))
        return nullptr;
    HWND window = CreateWindowExW(0, window_class_name, L"Window floor", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 640, 480, nullptr, nullptr, instance, nullptr);
    if (!window)
        return nullptr;
    floor_state.status = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_NOPREFIX, 16, 16, 600, 24,
                                         window, reinterpret_cast<HMENU>(tw::app::id_status_label), instance,
                                         nullptr);
    return window;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_window_floor URL TEXT\n");
        return 2;
    }
    const std::optional<tw::download::CrackedAddress> address = url_argument("bench_window_floor", argv[1]);
    if (!address)
        return 2;
    // The manifest makes the arguments UTF-8, as it makes the Installer's.
    floor_state.text = tw::client::platform::widen(argv[2]);
    // Asked first, as the Installer asks: the window is made while the answer is on its way.
    std::thread worker(fetch, *address);
    floor_state.window = make_window(GetModuleHandleW(nullptr));
    SetEvent(floor_state.window_made.get());
    const bool made = floor_state.window != nullptr;
    if (made) {
        ShowWindow(floor_state.window, SW_SHOWNORMAL);
        MSG message{};
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    worker.join();
    return made && floor_state.fetched.failure.empty() && floor_state.fetched.status == 200 ? 0 : 1;
}
