#include "app/startup_win.h"

#include "app/catalog_worker_win.h"
#include "app/display_language_win.h"
#include "app/main_window_win.h"
#include "app/product_hint.h"
#include "app/site.h"
#include "app/translation.h"
#include "client/logged_transport.h"
#include "client/proxy_access_win.h"
#include "client/scoped_win.h"
#include "client/support_log_file_win.h"
#include "client/windows_version_win.h"
#include "client/winhttp_transport_win.h"
#include "download/staging_win.h"

#include <commctrl.h>
#include <gdiplus.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
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

// The first catalog request is made before the run's start line is written (finding the log's
// folder loads the shell), yet the log reads in order: an exchange that ends first waits for that
// line, at most this long, so that a start stuck elsewhere still loses no line.
constexpr auto start_line_wait = std::chrono::seconds(5);

class StartLineGate {
public:
    void wait() noexcept
    {
        try {
            std::unique_lock lock(mutex_);
            written_changed_.wait_for(lock, start_line_wait, [this] { return written_; });
        } catch (const std::system_error&) {
        }
    }
    void open() noexcept
    {
        try {
            const std::lock_guard lock(mutex_);
            written_ = true;
        } catch (const std::system_error&) {
        }
        written_changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable written_changed_;
    bool written_ = false;
};

// Never destroyed: a catalog worker still logging while the process ends must not wait on a mutex
// that static destruction has already ended.
StartLineGate& start_line_gate()
{
    static StartLineGate* const gate = new StartLineGate;
    return *gate;
}

void log_after_start_line(const client::support_log::Step& step) noexcept
{
    start_line_gate().wait();
    client::platform::log_step(step);
}

void log_start_line(std::string_view site_host)
{
    client::platform::log_step(start_step(site_host));
    start_line_gate().open();
}

// Binds ole32 from System32 for the life of the run, before any thread can make a DLL bind it by
// name: a shell that binds ole32 by name on first use (Wine's does) took a planted ole32.dll from
// the Downloads folder the Installer ran from, and the catalog's worker now runs before COM starts.
client::platform::LibraryHandle bind_ole32_from_system32()
{
    return client::platform::LibraryHandle(LoadLibraryExW(L"ole32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
}

}  // namespace

std::wstring own_path()
{
    wchar_t path[260] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, 260);
    return std::wstring(path, length < 260 ? length : 0);
}

int run_installer(HINSTANCE instance, int show_command, std::string_view site_origin,
                  const catalog::CatalogTrust& trust)
{
    const client::platform::LibraryHandle ole32 = bind_ole32_from_system32();
    SiteConnection site;
    site.origin = site_origin;
    site.host = site_host_of(site.origin);
    site.trust = trust;
    site.reports = std::make_shared<ReportQueue>();
    site.transport = client::log_exchanges(client::platform::make_winhttp_transport(), log_after_start_line);
    // The catalog is what the window waits for, and everything else at start (COM, the log's first
    // line, the staging sweep, GDI+, the window) takes as long as the request: ask first; the
    // answer waits for the window.
    if (!site.origin.empty()) {
        site.first_catalog = std::make_shared<WindowToCome>();
        if (!start_catalog_fetch(
                {nullptr, site.reports, site.first_catalog, site.origin, user_agent(), site.transport, {}, site.trust}))
            site.first_catalog.reset();
    }
    // COM on this thread, the window's, for the status line's live-region mark; before the start
    // line, whose shell would otherwise be the first to use ole32.
    const client::platform::ComApartment apartment(COINIT_APARTMENTTHREADED);
    // Before the window, which reads it without a lock; workers speak only the support log's English.
    // After the catalog request, since the command line is split by the shell.
    use_language(display_language());
    log_start_line(site.host);
    site.product_hint = product_hint_from_path(own_path());
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
