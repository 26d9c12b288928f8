#include "app/main_window.h"

#include "app/catalog_screen.h"
#include "app/controls.h"
#include "app/install_flow.h"
#include "app/messages.h"
#include "app/sign_in_screen.h"
#include "app/status.h"
#include "app/texts.h"
#include "app/ui/theme.h"
#include "app/ui/window_ui.h"

#include <commctrl.h>
#include <dwmapi.h>
#include <uxtheme.h>

namespace tw::app {
namespace {

constexpr DWORD window_style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD button_style = WS_CHILD | WS_TABSTOP | BS_OWNERDRAW;
constexpr DWORD list_style = WS_CHILD | WS_TABSTOP | WS_VSCROLL | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS |
                             LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
constexpr UINT_PTR product_list_subclass_id = 1;

HWND create_child(HWND parent, const wchar_t* control_class, const wchar_t* text, DWORD style, int id)
{
    return CreateWindowExW(0, control_class, text, style, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
}

HWND create_button(HWND parent, const wchar_t* text, int id)
{
    HWND button = create_child(parent, L"BUTTON", text, button_style, id);
    ui::install_hover_tracking(button);
    return button;
}

HWND create_list(HWND parent, int id)
{
    HWND list = create_child(parent, L"LISTBOX", L"", list_style, id);
    SetWindowTheme(list, L"DarkMode_Explorer", nullptr);
    return list;
}

// A single click opens a product: the list reports the row under the pointer before it handles
// the button release itself.
LRESULT CALLBACK product_list_proc(HWND list, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR)
{
    if (message == WM_NCDESTROY)
        RemoveWindowSubclass(list, product_list_proc, product_list_subclass_id);
    if (message != WM_LBUTTONUP)
        return DefSubclassProc(list, message, wparam, lparam);
    const LRESULT hit = SendMessageW(list, LB_ITEMFROMPOINT, 0, lparam);
    const LRESULT result = DefSubclassProc(list, message, wparam, lparam);
    if (HIWORD(hit) == 0)
        open_product(the_app(), LOWORD(hit));
    return result;
}

void apply_dark_frame(HWND window)
{
    const BOOL dark = TRUE;
    const COLORREF caption = ui::caption_colour;
    const COLORREF caption_text = ui::text_colour;
    DwmSetWindowAttribute(window, 20, &dark, sizeof dark);
    DwmSetWindowAttribute(window, 35, &caption, sizeof caption);
    DwmSetWindowAttribute(window, 36, &caption_text, sizeof caption_text);
    DwmSetWindowAttribute(window, 34, &caption, sizeof caption);
}

void create_controls(InstallerApp& app, HWND window)
{
    app.back_button = create_button(window, L"\u2039 All products", id_back_button);
    app.status_label = create_child(window, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_NOPREFIX, id_status_label);
    app.product_list = create_list(window, id_product_list);
    SetWindowSubclass(app.product_list, product_list_proc, product_list_subclass_id, 0);
    app.official_button = create_button(window, L"Official", id_official_button);
    app.beta_button = create_button(window, L"Beta", id_beta_button);
    app.version_list = create_list(window, id_version_list);
    app.beta_note = create_child(window, L"STATIC", text::beta_sign_in_needed, WS_CHILD | SS_NOPREFIX, id_beta_note);
    app.sign_in_button = create_button(window, L"Sign in for beta builds", id_sign_in_button);
    app.reopen_browser_button = create_button(window, L"Open the browser again", id_reopen_browser_button);
    app.cancel_sign_in_button = create_button(window, L"Cancel", id_cancel_sign_in_button);
    app.install_button = create_button(window, text::install, id_install_button);
    app.close_button = create_button(window, L"Close", id_close_button);
}

LRESULT on_create(InstallerApp& app, HWND window)
{
    app.window = window;
    app.dpi = static_cast<int>(GetDpiForWindow(window));
    apply_dark_frame(window);
    ui::build_icons(app);
    app.window_brush = CreateSolidBrush(ui::window_background);
    app.list_brush = CreateSolidBrush(ui::list_background);
    create_controls(app, window);
    ui::build_fonts(app);
    ui::layout(app);
    update_controls(app);
    if (app.site_origin.empty())
        set_status(app, text::no_site, status_attention);
    else if (app.first_catalog_window)
        set_status(app, text::looking_up, status_information);
    else
        load_catalog(app);
    return 0;
}

void release_back_buffer(InstallerApp& app)
{
    if (app.back_buffer_dc) {
        SelectObject(app.back_buffer_dc, app.back_buffer_previous);
        DeleteDC(app.back_buffer_dc);
    }
    if (app.back_buffer_bitmap)
        DeleteObject(app.back_buffer_bitmap);
    app.back_buffer_dc = nullptr;
    app.back_buffer_bitmap = nullptr;
    app.back_buffer_previous = nullptr;
    app.back_buffer_width = app.back_buffer_height = 0;
}

void on_destroy(InstallerApp& app)
{
    release_back_buffer(app);
    ui::destroy_fonts(app);
    ui::destroy_icons(app);
    for (HBRUSH* brush : {&app.window_brush, &app.list_brush}) {
        if (*brush)
            DeleteObject(*brush);
        *brush = nullptr;
    }
    PostQuitMessage(0);
}

bool ensure_back_buffer(InstallerApp& app, HDC screen, int width, int height)
{
    if (app.back_buffer_dc && app.back_buffer_width == width && app.back_buffer_height == height)
        return true;
    release_back_buffer(app);
    app.back_buffer_dc = CreateCompatibleDC(screen);
    app.back_buffer_bitmap = CreateCompatibleBitmap(screen, width, height);
    if (!app.back_buffer_dc || !app.back_buffer_bitmap) {
        release_back_buffer(app);
        return false;
    }
    app.back_buffer_previous = SelectObject(app.back_buffer_dc, app.back_buffer_bitmap);
    app.back_buffer_width = width;
    app.back_buffer_height = height;
    return true;
}

void on_paint(InstallerApp& app, HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    if (width > 0 && height > 0 && ensure_back_buffer(app, dc, width, height)) {
        ui::paint_window(app, app.back_buffer_dc, client);
        BitBlt(dc, 0, 0, width, height, app.back_buffer_dc, 0, 0, SRCCOPY);
    }
    EndPaint(window, &paint);
}

LRESULT on_ctl_colour_static(const InstallerApp& app, HDC dc, HWND control)
{
    COLORREF text = ui::text_muted;
    if (control == app.status_label && app.status_kind == status_attention)
        text = ui::status_warning;
    else if (control == app.status_label && app.status_kind == status_success)
        text = ui::status_success;
    SetTextColor(dc, text);
    SetBkColor(dc, ui::window_background);
    return reinterpret_cast<LRESULT>(app.window_brush);
}

LRESULT on_measure_item(const InstallerApp& app, MEASUREITEMSTRUCT& item)
{
    if (item.CtlType == ODT_LISTBOX)
        item.itemHeight = static_cast<UINT>(MulDiv(item.CtlID == id_product_list ? 48 : 44, app.dpi, 96));
    return TRUE;
}

void on_dpi_changed(InstallerApp& app, HWND window, WPARAM wparam, const RECT& suggested)
{
    app.dpi = HIWORD(wparam);
    SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    ui::build_fonts(app);
    ui::build_icons(app);
    // A wrapped status takes a different number of lines in the new font.
    refresh_status_height(app);
    ui::layout(app);
}

int focused_child_id(const InstallerApp& app)
{
    const HWND focus = GetFocus();
    return focus && GetParent(focus) == app.window ? GetDlgCtrlID(focus) : 0;
}

void open_highlighted_product(InstallerApp& app)
{
    const LRESULT row = SendMessageW(app.product_list, LB_GETCURSEL, 0, 0);
    if (row >= 0)
        open_product(app, static_cast<int>(row));
}

void on_list_notification(InstallerApp& app, HWND list, int id, int code)
{
    switch (code) {
    case LBN_SELCHANGE:
        update_controls(app);
        break;
    case LBN_DBLCLK:
        if (id == id_version_list)
            start_install(app);
        break;
    case LBN_SETFOCUS:
    case LBN_KILLFOCUS:
        app.focused_list = code == LBN_SETFOCUS ? list : nullptr;
        InvalidateRect(app.window, &app.list_rect, FALSE);
        break;
    default:
        break;
    }
}

bool on_command(InstallerApp& app, WPARAM wparam, LPARAM lparam)
{
    const int id = LOWORD(wparam);
    const int code = HIWORD(wparam);
    switch (id) {
    case IDOK:
        if (app.screen == screen_products)
            open_highlighted_product(app);
        else
            install_action(app);
        return true;
    case IDCANCEL:
    case id_close_button:
        SendMessageW(app.window, WM_CLOSE, 0, 0);
        return true;
    case id_product_list:
    case id_version_list:
        on_list_notification(app, reinterpret_cast<HWND>(lparam), id, code);
        return true;
    case id_back_button:
        show_products(app);
        return true;
    case id_official_button:
    case id_beta_button:
        select_channel(app, id == id_beta_button ? channel_beta : channel_official);
        return true;
    case id_sign_in_button:
        start_sign_in(app);
        return true;
    case id_reopen_browser_button:
        reopen_browser(app);
        return true;
    case id_cancel_sign_in_button:
        cancel_sign_in(app);
        return true;
    case id_install_button:
        install_action(app);
        return true;
    case id_open_product:
        if (app.screen == screen_products)
            open_highlighted_product(app);
        return true;
    default:
        return false;
    }
}

LRESULT on_worker_message(InstallerApp& app, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case msg_catalog_reply:
        handle_catalog_reply(app, take_record<catalog::CatalogReply>(lparam));
        break;
    case msg_sign_in_code:
        handle_sign_in_code(app, take_record<SignInCodeReady>(lparam));
        break;
    case msg_sign_in_result:
        handle_sign_in_result(app, take_record<SignInResultMessage>(lparam));
        break;
    case msg_progress:
        app.progress = static_cast<double>(wparam) / 1000.0;
        InvalidateRect(app.window, &app.progress_rect, FALSE);
        break;
    case msg_status:
        set_status(app, reinterpret_cast<const wchar_t*>(lparam), status_information);
        break;
    case msg_work_result:
        handle_work_result(app, take_record<WorkResult>(lparam));
        break;
    case msg_self_update_launched:
        handle_self_update_launched(app);
        break;
    default:
        break;
    }
    return 0;
}

LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    InstallerApp& app = the_app();
    switch (message) {
    case WM_CREATE:
        return on_create(app, window);
    case WM_DESTROY:
        on_destroy(app);
        return 0;
    case WM_CLOSE:
        handle_close(app);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        on_paint(app, window);
        return 0;
    case WM_CTLCOLORSTATIC:
        return on_ctl_colour_static(app, reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam));
    case WM_CTLCOLORLISTBOX:
        return reinterpret_cast<LRESULT>(app.list_brush);
    case WM_MEASUREITEM:
        return on_measure_item(app, *reinterpret_cast<MEASUREITEMSTRUCT*>(lparam));
    case WM_DRAWITEM:
        ui::draw_item(app, *reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
        return TRUE;
    case WM_COMMAND:
        if (on_command(app, wparam, lparam))
            return 0;
        break;
    case WM_DPICHANGED:
        on_dpi_changed(app, window, wparam, *reinterpret_cast<const RECT*>(lparam));
        return 0;
    case DM_GETDEFID:
        // Drawn buttons never become default push buttons, so the focused one is named here.
        return MAKELONG(enter_command(focused_child_id(app), app.screen, app.self_update_offered), DC_HASDEFID);
    default:
        if (message >= msg_catalog_reply && message <= msg_self_update_launched)
            return on_worker_message(app, message, wparam, lparam);
        break;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

bool register_window_class(HINSTANCE instance)
{
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = window_proc;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.lpszClassName = window_class_name;
    return RegisterClassExW(&window_class) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND create_main_window(HINSTANCE instance)
{
    const UINT dpi = GetDpiForSystem();
    RECT bounds{0, 0, MulDiv(560, static_cast<int>(dpi), 96), MulDiv(360, static_cast<int>(dpi), 96)};
    AdjustWindowRectExForDpi(&bounds, window_style, FALSE, 0, dpi);
    return CreateWindowExW(0, window_class_name, window_title, window_style, CW_USEDEFAULT, CW_USEDEFAULT,
                           bounds.right - bounds.left, bounds.bottom - bounds.top, nullptr, nullptr, instance,
                           nullptr);
}

void handle_close(InstallerApp& app)
{
    if (app.download_job && !close_setup_gate(app.download_job->gate)) {
        set_status(app, text::finish_installer_first, status_attention);
        return;
    }
    if (!app.busy.load() && !app.signing_in.load()) {
        DestroyWindow(app.window);
        return;
    }
    app.close_requested = true;
    if (app.download_job)
        app.download_job->cancel.store(true);
    app.cancel_sign_in.store(true);
    ShowWindow(app.window, SW_HIDE);
}

void finish_close_when_idle(InstallerApp& app)
{
    if (app.close_requested && !app.busy.load() && !app.signing_in.load())
        DestroyWindow(app.window);
}

}  // namespace tw::app
