#pragma once
// The one top-level window: an object bound to its HWND, over the portable WindowModel. Each
// message becomes a transition of the model; the window then renders the model and carries out
// the effects the transition asked for.

#include "app/job_states.h"
#include "app/ui/window_view_win.h"
#include "app/window_model.h"
#include "app/window_to_come_win.h"
#include "app/worker_reports.h"
#include "catalog/catalog_trust.h"
#include "client/http.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

namespace tw::app {

// The site the window talks to; fixed before the window exists.
struct SiteConnection {
    std::string origin;        // empty: a build without a site
    std::string host;
    std::string product_hint;  // from the program's file name
    std::shared_ptr<client::Transport> transport;
    catalog::CatalogTrust trust;  // the build's pinned publisher and catalog keys
    // Set when the first catalog was asked for before the window existed.
    std::shared_ptr<WindowToCome> first_catalog;
    // Where workers hand their reports; made with the window when none was made before it.
    std::shared_ptr<ReportQueue> reports;
};

// The work that runs for the window; each worker holds its own share of its state.
struct RunningWork {
    std::shared_ptr<DownloadJobState> download;  // an install's or a self-update's
    std::shared_ptr<SignInJobState> sign_in;
};

class MainWindow {
public:
    static bool register_class(HINSTANCE instance);
    // Sized for the system DPI; null when it cannot be created. The window owns its object.
    static HWND create(HINSTANCE instance, SiteConnection site);
    // The object of a window made by create(); null for any other.
    static MainWindow* of(HWND window);

    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    const ui::WindowView& view() const { return view_; }

    // What the window's controls and workers ask for, each ending in a render.
    void load_catalog();
    void open_product(int index);
    void start_sign_in();
    void start_install();
    void start_self_update();

private:
    // The tests' one way to the model, the site and the work, beside the window's messages.
    friend struct MainWindowProbe;

    struct Creation {
        std::unique_ptr<MainWindow> object;
    };

    explicit MainWindow(SiteConnection site);
    static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam);

    LRESULT on_create();
    void create_controls();
    void on_paint();
    void on_close_deadline();
    void on_measure_item(MEASUREITEMSTRUCT& item) const;
    LRESULT on_ctl_colour_static(HDC dc, HWND control) const;
    LRESULT on_ctl_colour_list(HDC dc) const;
    void on_dpi_changed(WPARAM wparam, const RECT& suggested);
    bool on_command(WPARAM wparam, LPARAM lparam);
    void on_list_notification(HWND list, int id, int code);
    void invalidate_list_outline();
    void take_reports();
    void on_report(WorkerReport& report);
    void on_close();
    void open_highlighted_product();
    void install_action();
    int focused_child_id() const;

    bool start_catalog_worker();
    void begin_download(std::shared_ptr<DownloadJobState> state, const std::function<bool()>& start);
    void finish(const Effects& effects);
    void finish_logged(const Status& before, const Effects& effects);
    void focus(Focus target);

    SiteConnection site_;
    Surroundings surroundings_;
    WindowModel model_;
    ui::WindowView view_;
    RunningWork work_;
};

}  // namespace tw::app
