#include "app/startup_win.h"

#include "app/catalog_worker_win.h"
#include "app/display_language_win.h"
#include "app/main_window_win.h"
#include "app/product_hint.h"
#include "app/site.h"
#include "app/translation.h"
#include "client/logged_transport.h"
#include "client/platform/proxy_access.h"
#include "client/platform/scoped_win.h"
#include "client/platform/support_log_file.h"
#include "client/platform/windows_version.h"
#include "client/platform/winhttp_transport.h"
#include "download/platform/staging.h"

#include <commctrl.h>
#include <gdiplus.h>

#include <cstdint>
#include <string>
#include <system_error>
#include <thread>

namespace tw::app {
namespace {

// Keeps GDI+ running for the life of the message loop.
class GdiplusSession {
public:
    GdiplusSession()
    {
        Gdiplus::GdiplusStartupInput input;
        if (Gdiplus::GdiplusStartup(&token_, &input, nullptr) != Gdiplus::Ok)
            token_ = 0;
    }
    ~GdiplusSession()
    {
        if (token_)
            Gdiplus::GdiplusShutdown(token_);
    }
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;

private:
    ULONG_PTR token_ = 0;
};

// A self-update's new Installer runs from its staging folder, so that folder is never removed,
// and neither is one that a crash or a power cut left behind. A day on they go, unless a file in
// one is still open (that new Installer still running).
constexpr std::int64_t staging_leftover_age_seconds = 86'400;

// On a thread of its own: a full temporary folder must not keep the window from opening.
void start_removing_staging_leftovers()
{
    try {
        std::thread([] {
            FILETIME now{};
            GetSystemTimeAsFileTime(&now);
            download::remove_stale_staging_folders(download::shared_staging_folder(), now,
                                                   staging_leftover_age_seconds);
        }).detach();
    } catch (const std::system_error&) {
    }
}

void init_common_controls()
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
}

int run_message_loop(HWND window)
{
    MSG message{};
    BOOL got = FALSE;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
        if (IsDialogMessageW(window, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    // -1 fills in no message: the last one's wParam says nothing about how the loop ended.
    return got == 0 ? static_cast<int>(message.wParam) : 0;
}

client::support_log::StartStep start_step(std::string_view site_host)
{
    return {std::string(installer_version), client::platform::windows_version(), static_cast<int>(GetDpiForSystem()),
            client::platform::proxy_choice(site_host)};
}

}  // namespace

std::wstring own_path()
{
    wchar_t path[260] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, 260);
    return std::wstring(path, length < 260 ? length : 0);
}

int run_installer(HINSTANCE instance, int show_command, std::string_view site_origin)
{
    // COM on this thread, the window's, for the status line's live-region mark. Made first, so
    // that ole32 is bound from System32 before the support log asks the shell for its folder: a
    // shell that binds ole32 by name on first use (Wine's does) took a planted ole32.dll from the
    // Downloads folder the Installer ran from.
    const client::platform::ComApartment apartment(COINIT_APARTMENTTHREADED);
    // Before any worker or window: they read it without a lock.
    use_language(display_language());
    SiteConnection site;
    site.origin = site_origin;
    site.host = site_host_of(site.origin);
    client::platform::log_step(start_step(site.host));
    site.transport = client::log_exchanges(client::platform::make_winhttp_transport(), client::platform::log_step);
    site.product_hint = product_hint_from_path(own_path());
    // The catalog is what the window waits for, and making the first window can take as long as
    // the request: ask first; the answer waits for the window.
    if (!site.origin.empty()) {
        site.first_catalog = std::make_shared<WindowToCome>();
        if (!start_catalog_fetch({nullptr, site.first_catalog, site.origin, user_agent(), site.transport, {}}))
            site.first_catalog.reset();
    }
    start_removing_staging_leftovers();

    init_common_controls();
    const GdiplusSession gdiplus;

    const std::shared_ptr<WindowToCome> first_catalog = site.first_catalog;
    HWND window = MainWindow::register_class(instance) ? MainWindow::create(instance, std::move(site)) : nullptr;
    if (first_catalog)
        first_catalog->arrive(window);
    if (!window)
        return 1;
    ShowWindow(window, show_command);
    return run_message_loop(window);
}

}  // namespace tw::app
