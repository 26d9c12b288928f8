#include "app/main_window_win.h"

#include "app/catalog_worker_win.h"
#include "app/controls.h"
#include "app/install_worker_win.h"
#include "app/messages_win.h"
#include "app/sign_in_worker_win.h"
#include "app/site.h"
#include "app/startup_win.h"
#include "app/texts.h"
#include "app/translation.h"
#include "app/ui/draw_item_win.h"
#include "app/ui/fonts_win.h"
#include "app/ui/hover_win.h"
#include "app/ui/icons_win.h"
#include "app/ui/painter_win.h"
#include "app/ui/render_win.h"
#include "app/ui/window_layout_win.h"
#include "app/ui/window_look_win.h"
#include "client/support_log_file_win.h"
#include "client/system_browser_win.h"
#include "client/text_win.h"
#include "download/file_names.h"

#include <commctrl.h>

#include <functional>

namespace tw::app {
namespace {

using client::platform::widen;

constexpr wchar_t window_class_name[] = L"TarnwickInstaller";
constexpr DWORD window_style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD button_style = WS_CHILD | WS_TABSTOP | BS_OWNERDRAW;
constexpr DWORD list_style = WS_CHILD | WS_TABSTOP | WS_VSCROLL | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS |
                             LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
constexpr UINT_PTR product_list_subclass_id = 1;

std::uint64_t now_ms() { return GetTickCount64(); }

// A closed window waits for its workers to report, so that none is cut off half-way through
// writing or removing a download, but not for longer than this: a check that cannot be stopped
// (WinVerifyTrust on a large setup) held a hidden process for seconds after Close. Nothing starts
// once the window is closed, and the process ends with the window.
constexpr UINT_PTR close_deadline_timer = 1;
constexpr UINT close_deadline_ms = 1500;

HWND create_child(HWND parent, const wchar_t* control_class, const wchar_t* text, DWORD style, int id)
{
    return CreateWindowExW(0, control_class, text, style, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
}

HWND create_list(HWND parent, int id) { return create_child(parent, L"LISTBOX", L"", list_style, id); }

// A single click opens a product: the list reports the row under the pointer before it handles
// the button release itself.
LRESULT CALLBACK product_list_proc(HWND list, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR data)
{
    if (message == WM_NCDESTROY)
        RemoveWindowSubclass(list, product_list_proc, product_list_subclass_id);
    if (message != WM_LBUTTONUP)
        return DefSubclassProc(list, message, wparam, lparam);
    const LRESULT hit = SendMessageW(list, LB_ITEMFROMPOINT, 0, lparam);
    const LRESULT result = DefSubclassProc(list, message, wparam, lparam);
    if (HIWORD(hit) == 0)
        reinterpret_cast<MainWindow*>(data)->open_product(LOWORD(hit));
    return result;
}

int list_row(HWND list)
{
    return static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0));
}


}  // namespace

MainWindow::MainWindow(SiteConnection site) : site_(std::move(site))
{
    if (!site_.reports)
        site_.reports = std::make_shared<ReportQueue>();
    surroundings_ = {widen(site_.host), site_.product_hint};
}

bool MainWindow::register_class(HINSTANCE instance)
{
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = window_proc;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.lpszClassName = window_class_name;
    return RegisterClassExW(&window_class) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND MainWindow::create(HINSTANCE instance, SiteConnection site)
{
    const UINT dpi = GetDpiForSystem();
    RECT bounds{0, 0, MulDiv(ui::client_width_units, static_cast<int>(dpi), 96),
                MulDiv(ui::first_client_height_units, static_cast<int>(dpi), 96)};
    AdjustWindowRectExForDpi(&bounds, window_style, FALSE, 0, dpi);
    // WM_NCCREATE takes the object; a window that is never made leaves it here to be freed.
    Creation creation{std::unique_ptr<MainWindow>(new MainWindow(std::move(site)))};
    // Mirrored, the children are too: each control, painter and the progress bar run from the right.
    const DWORD mirrored = shown_language().direction == Direction::right_to_left ? WS_EX_LAYOUTRTL : 0;
    return CreateWindowExW(mirrored, window_class_name, shown(text::window_title).c_str(), window_style, CW_USEDEFAULT, CW_USEDEFAULT,
                           bounds.right - bounds.left, bounds.bottom - bounds.top, nullptr, nullptr, instance,
                           &creation);
}

MainWindow* MainWindow::of(HWND window)
{
    wchar_t class_name[32] = {};
    if (!window || !GetClassNameW(window, class_name, 32) || std::wstring_view(class_name) != window_class_name)
        return nullptr;
    return reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

LRESULT CALLBACK MainWindow::window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_NCCREATE) {
        auto* creation = static_cast<Creation*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
        MainWindow* self = creation->object.release();  // from here the window's WM_NCDESTROY frees it
        self->view_.window = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(window, message, wparam, lparam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        const LRESULT result = DefWindowProcW(window, message, wparam, lparam);
        delete self;
        return result;
    }
    return self->handle(message, wparam, lparam);
}

LRESULT MainWindow::handle(UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_CREATE:
        return on_create();
    case WM_DESTROY:
        // The annotation outlives the control unless it is taken off while the control exists.
        view_.status_region.clear();
        PostQuitMessage(0);
        return 0;
    case WM_CLOSE:
        on_close();
        return 0;
    case WM_TIMER:
        if (wparam != close_deadline_timer)
            break;
        on_close_deadline();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        on_paint();
        return 0;
    case WM_CTLCOLORSTATIC:
        return on_ctl_colour_static(reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam));
    case WM_CTLCOLORLISTBOX:
        return on_ctl_colour_list(reinterpret_cast<HDC>(wparam));
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
        // A switch to or from high contrast comes as either, depending on who made it.
        ui::follow_system_look(view_);
        break;
    case WM_MEASUREITEM:
        on_measure_item(*reinterpret_cast<MEASUREITEMSTRUCT*>(lparam));
        return TRUE;
    case WM_DRAWITEM:
        ui::draw_item(model_, view_, *reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
        return TRUE;
    case WM_COMMAND:
        if (on_command(wparam, lparam))
            return 0;
        break;
    case WM_DPICHANGED:
        on_dpi_changed(wparam, *reinterpret_cast<const RECT*>(lparam));
        return 0;
    case DM_GETDEFID:
        // Drawn buttons never become default push buttons, so the focused one is named here.
        return MAKELONG(enter_command(focused_child_id(), model_.screen, model_.self_update_offered), DC_HASDEFID);
    case msg_reports_waiting:
        take_reports();
        return 0;
    default:
        break;
    }
    return DefWindowProcW(view_.window, message, wparam, lparam);
}

// A hidden window whose work has not ended by the deadline goes anyway: a worker stuck in a
// server that never answers must not keep a closed Installer alive.
void MainWindow::on_close_deadline()
{
    KillTimer(view_.window, close_deadline_timer);
    DestroyWindow(view_.window);
}

void MainWindow::on_measure_item(MEASUREITEMSTRUCT& item) const
{
    if (item.CtlType == ODT_LISTBOX)
        item.itemHeight = static_cast<UINT>(
            ui::scale(view_, item.CtlID == id_product_list ? ui::product_row_height : ui::version_row_height));
}

LRESULT MainWindow::on_create()
{
    HWND window = view_.window;
    view_.dpi = static_cast<int>(GetDpiForWindow(window));
    ui::build_icons(view_);
    create_controls();
    ui::apply_system_look(view_);
    ui::build_fonts(view_);
    finish(window_opened(model_, !site_.origin.empty(), site_.first_catalog != nullptr));
    return 0;
}

void MainWindow::create_controls()
{
    HWND window = view_.window;
    ui::Controls& c = view_.controls;
    const auto button = [this, window](TextId label, int id) {
        HWND created = create_child(window, L"BUTTON", shown(label).c_str(), button_style, id);
        ui::install_hover_tracking(created, view_);
        return created;
    };
    c.back_button = button(text::all_products, id_back_button);
    c.status_label = create_child(window, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_NOPREFIX, id_status_label);
    ui::set_reading_order(c.status_label);
    // Unmarked, a screen reader still reads the line when the user goes to it.
    view_.status_region.mark(c.status_label);
    c.product_list = create_list(window, id_product_list);
    SetWindowSubclass(c.product_list, product_list_proc, product_list_subclass_id, reinterpret_cast<DWORD_PTR>(this));
    c.official_button = button(text::official, id_official_button);
    c.beta_button = button(text::beta, id_beta_button);
    c.version_list = create_list(window, id_version_list);
    c.beta_note = create_child(window, L"STATIC", shown(model_.beta_note).c_str(), WS_CHILD | SS_NOPREFIX, id_beta_note);
    ui::set_reading_order(c.beta_note);
    view_.rendered.beta_note = model_.beta_note;
    c.sign_in_button = button(text::sign_in, id_sign_in_button);
    c.reopen_browser_button = button(text::open_browser_again, id_reopen_browser_button);
    c.cancel_sign_in_button = button(text::cancel, id_cancel_sign_in_button);
    c.install_button = button(text::install, id_install_button);
    view_.rendered.install_label = text::install;
    c.close_button = button(text::close, id_close_button);
}

void MainWindow::on_paint()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(view_.window, &paint);
    RECT client;
    GetClientRect(view_.window, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    ui::BackBuffer& buffer = view_.resources.back_buffer;
    if (width > 0 && height > 0 && buffer.ensure(dc, width, height)) {
        ui::paint_window(model_, view_, buffer.dc(), client);
        BitBlt(dc, 0, 0, width, height, buffer.dc(), 0, 0, SRCCOPY);
    }
    EndPaint(view_.window, &paint);
}

LRESULT MainWindow::on_ctl_colour_static(HDC dc, HWND control) const
{
    const ui::Palette& palette = view_.palette;
    COLORREF text = palette.status_information;
    if (control == view_.controls.status_label && model_.status.kind == StatusKind::attention)
        text = palette.status_attention;
    else if (control == view_.controls.status_label && model_.status.kind == StatusKind::success)
        text = palette.status_success;
    SetTextColor(dc, text);
    SetBkColor(dc, palette.window);
    return reinterpret_cast<LRESULT>(view_.resources.window_brush.get());
}

LRESULT MainWindow::on_ctl_colour_list(HDC dc) const
{
    SetTextColor(dc, view_.palette.text);
    SetBkColor(dc, view_.palette.list);
    return reinterpret_cast<LRESULT>(view_.resources.list_brush.get());
}

void MainWindow::on_dpi_changed(WPARAM wparam, const RECT& suggested)
{
    view_.dpi = HIWORD(wparam);
    SetWindowPos(view_.window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    ui::build_fonts(view_);
    ui::build_icons(view_);
    // A wrapped status takes a different number of lines in the new font.
    ui::remeasure_status(model_, view_);
    ui::layout(model_, view_);
}

int MainWindow::focused_child_id() const
{
    const HWND focus = GetFocus();
    return focus && GetParent(focus) == view_.window ? GetDlgCtrlID(focus) : 0;
}

bool MainWindow::on_command(WPARAM wparam, LPARAM lparam)
{
    const int id = LOWORD(wparam);
    const int code = HIWORD(wparam);
    switch (id) {
    case IDOK:
        if (model_.screen == Screen::products)
            open_highlighted_product();
        else
            install_action();
        return true;
    case IDCANCEL:
    case id_close_button:
        SendMessageW(view_.window, WM_CLOSE, 0, 0);
        return true;
    case id_product_list:
    case id_version_list:
        on_list_notification(reinterpret_cast<HWND>(lparam), id, code);
        return true;
    case id_back_button:
        finish(back_to_products(model_));
        return true;
    case id_official_button:
    case id_beta_button:
        finish(channel_switched(model_, id == id_beta_button ? Channel::beta : Channel::official, now_ms()));
        return true;
    case id_sign_in_button:
        start_sign_in();
        return true;
    case id_reopen_browser_button:
        if (!model_.approval_url.empty())
            client::platform::SystemBrowserOpener().open(model_.approval_url);
        return true;
    case id_cancel_sign_in_button:
        if (work_.sign_in)
            work_.sign_in->cancel.store(true);
        return true;
    case id_install_button:
        install_action();
        return true;
    case id_open_product:
        if (model_.screen == Screen::products)
            open_highlighted_product();
        return true;
    default:
        return false;
    }
}

void MainWindow::on_list_notification(HWND list, int id, int code)
{
    switch (code) {
    case LBN_SELCHANGE:
        if (id == id_version_list)
            build_highlighted(model_, list_row(list));
        finish({});
        break;
    case LBN_DBLCLK:
        if (id == id_version_list)
            start_install();
        break;
    case LBN_SETFOCUS:
    case LBN_KILLFOCUS:
        view_.focused_list = code == LBN_SETFOCUS ? list : nullptr;
        invalidate_list_outline();
        break;
    default:
        break;
    }
}

// The outline is stroked across the list's edge, the focus ring two pixels wide: a repaint of the
// list's rectangle alone left half of the old ring on its right and bottom edges.
void MainWindow::invalidate_list_outline()
{
    RECT outline = view_.areas.list_rect;
    const int overhang = ui::scale(view_, 2);
    InflateRect(&outline, overhang, overhang);
    InvalidateRect(view_.window, &outline, FALSE);
}

// Whatever woke the window, only what workers handed in is acted on, oldest first. A report may
// end the window, and with it this object: the reports and the handle are held here for the check.
void MainWindow::take_reports()
{
    const HWND window = view_.window;
    for (WorkerReport& report : site_.reports->take_all()) {
        if (!IsWindow(window))
            return;
        on_report(report);
    }
}

namespace {

template <class... Handlers>
struct Overloaded : Handlers... {
    using Handlers::operator()...;
};
template <class... Handlers>
Overloaded(Handlers...) -> Overloaded<Handlers...>;

}  // namespace

void MainWindow::on_report(WorkerReport& report)
{
    const Status before = model_.status;
    std::visit(Overloaded{
                   [&](catalog::CatalogReply& reply) {
                       finish_logged(before, catalog_arrived(model_, reply, surroundings_, now_ms()));
                   },
                   [&](SignInCodeReady& code) {
                       sign_in_code_arrived(model_, std::move(code.code), std::move(code.approval_url),
                                            code.browser_opened, surroundings_);
                       finish({});
                   },
                   [&](SignInEnd& end) {
                       work_.sign_in.reset();
                       finish_logged(before, sign_in_finished(model_, end, surroundings_, now_ms()));
                   },
                   [&](ProgressReport& progress) {
                       progress_moved(model_, static_cast<double>(progress.per_mille) / 1000.0);
                       finish({});
                   },
                   [&](WorkerNote& note) {
                       status_changed(model_, {note_text(note), StatusKind::information});
                       finish({});
                   },
                   [&](WorkResult& result) {
                       work_.download.reset();
                       finish_logged(before, work_finished(model_, result, now_ms()));
                   },
                   [&](SelfUpdateLaunched&) {
                       work_.download.reset();
                       finish(self_update_launched(model_));
                   },
               },
               report);
}

void MainWindow::on_close()
{
    const bool setup_open = work_.download && !close_setup_gate(work_.download->gate);
    finish(close_requested(model_, setup_open));
}

void MainWindow::open_highlighted_product()
{
    const int row = list_row(view_.controls.product_list);
    if (row >= 0)
        open_product(row);
}

void MainWindow::open_product(int index)
{
    finish(product_opened(model_, index, now_ms()));
}

void MainWindow::install_action()
{
    if (!IsWindowEnabled(view_.controls.install_button))
        return;
    if (model_.self_update_offered)
        start_self_update();
    else
        start_install();
}

void MainWindow::load_catalog()
{
    finish(catalog_requested(model_));
}

bool MainWindow::start_catalog_worker()
{
    CatalogLoad load;
    load.window = view_.window;
    load.reports = site_.reports;
    load.site_origin = site_.origin;
    load.user_agent = user_agent();
    load.transport = site_.transport;
    load.pass = current_pass(model_, now_ms());
    load.trust = site_.trust;
    return start_catalog_fetch(std::move(load));
}

void MainWindow::start_sign_in()
{
    if (!sign_in_started(model_, now_ms()))
        return;
    work_.sign_in = std::make_shared<SignInJobState>();
    finish({});
    if (!start_sign_in_worker({view_.window, site_.origin, site_.transport, work_.sign_in, site_.reports})) {
        work_.sign_in.reset();
        sign_in_refused(model_, now_ms());
        finish({});
    }
}

namespace {

void fill_job(DownloadJob& job, HWND window, const SiteConnection& site, const WindowModel& model)
{
    job.window = window;
    job.site_host = site.host;
    job.user_agent = user_agent();
    job.publisher = model.catalog->publisher;
    job.state = std::make_shared<DownloadJobState>();
    job.reports = site.reports;
    job.size_is_limit = catalog::holds_catalog_keys(site.trust);
}

}  // namespace

void MainWindow::start_install()
{
    const catalog::CatalogProduct* product = selected_product(model_);
    const catalog::CatalogBuild* build = highlighted_build(model_);
    if (!product || !build || !install_started(model_))
        return;
    InstallJob job;
    fill_job(job, view_.window, site_, model_);
    job.pass = current_pass(model_, now_ms());
    job.url = build->download_url;
    job.sha256 = build->sha256;
    job.file_name = widen(build->file_name);
    job.log_name = build->file_name;
    job.expected_bytes = static_cast<std::int64_t>(build->size_bytes);
    job.label = widen(product->name) + L" " + widen(build->version);
    begin_download(job.state, [&job] { return start_install_worker(std::move(job)); });
}

void MainWindow::start_self_update()
{
    if (!self_update_started(model_))
        return;
    SelfUpdateJob job;
    fill_job(job, view_.window, site_, model_);
    job.url = model_.catalog->installer->download_url;
    job.sha256 = model_.catalog->installer->sha256;
    job.expected_bytes = static_cast<std::int64_t>(model_.catalog->installer->size_bytes);
    job.file_name = std::wstring(download::file_name_of(own_path()));
    job.log_name = model_.catalog->installer->file_name;
    begin_download(job.state, [&job] { return start_self_update_worker(std::move(job)); });
}

// The window shows the download under way before its worker exists; a worker that cannot be
// started gives the work up again.
void MainWindow::begin_download(std::shared_ptr<DownloadJobState> state, const std::function<bool()>& start)
{
    work_.download = std::move(state);
    finish({});
    if (!start()) {
        work_.download.reset();
        download_refused(model_);
        finish({});
    }
}

// The sentence a worker's result put on the status line goes to the support log before `finish`
// may destroy the window.
void MainWindow::finish_logged(const Status& before, const Effects& effects)
{
    if (model_.status != before && !model_.status.text.empty())
        client::platform::log_step(
            client::support_log::OutcomeStep{client::platform::narrow(in_english(model_.status.text))});
    finish(effects);
}

// After every transition: show the model, then do what it asked in an order that keeps each step
// meaningful (a control is focused once it is shown; the window goes last).
void MainWindow::finish(const Effects& effects)
{
    if (effects.fetch_catalog && !start_catalog_worker())
        catalog_refused(model_);
    ui::render(model_, view_);
    focus(effects.focus);
    if (effects.cancel_work) {
        if (work_.download)
            work_.download->cancel.store(true);
        if (work_.sign_in)
            work_.sign_in->cancel.store(true);
    }
    if (effects.hide_window) {
        ShowWindow(view_.window, SW_HIDE);
        SetTimer(view_.window, close_deadline_timer, close_deadline_ms, nullptr);
    }
    if (effects.destroy_window)
        DestroyWindow(view_.window);
}

void MainWindow::focus(Focus target)
{
    const ui::Controls& c = view_.controls;
    const struct {
        Focus target;
        HWND control;
    } controls[] = {
        {Focus::product_list, c.product_list},       {Focus::version_list, c.version_list},
        {Focus::official_button, c.official_button}, {Focus::beta_button, c.beta_button},
        {Focus::install_button, c.install_button},   {Focus::close_button, c.close_button},
    };
    for (const auto& entry : controls) {
        if (entry.target == target)
            SetFocus(entry.control);
    }
}

}  // namespace tw::app
