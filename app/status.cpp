#include "app/status.h"

#include "app/controls.h"
#include "app/ui/window_ui.h"

#include <algorithm>
#include <string>

namespace tw::app {
namespace {

int measure_status_height(const InstallerApp& app, std::wstring_view text)
{
    constexpr int minimum_height = 24;
    if (text.empty() || !app.status_label)
        return minimum_height;
    HDC dc = GetDC(app.status_label);
    if (!dc)
        return minimum_height;
    const HGDIOBJ previous_font = app.fonts.body ? SelectObject(dc, app.fonts.body) : nullptr;
    RECT bounds{0, 0, MulDiv(512, app.dpi, 96), 0};
    const std::wstring copy(text);
    DrawTextW(dc, copy.c_str(), static_cast<int>(copy.size()), &bounds,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    if (previous_font)
        SelectObject(dc, previous_font);
    ReleaseDC(app.status_label, dc);
    return std::max(MulDiv(bounds.bottom - bounds.top, 96, app.dpi) + 4, minimum_height);
}

bool version_row_selected(const InstallerApp& app)
{
    const LRESULT row = SendMessageW(app.version_list, LB_GETCURSEL, 0, 0);
    return row >= 0 && static_cast<size_t>(row) < app.shown_builds.size();
}

}  // namespace

void set_status(InstallerApp& app, std::wstring_view text, int kind)
{
    app.status_kind = kind;
    app.status_text.assign(text);
    if (app.status_label) {
        SetWindowTextW(app.status_label, app.status_text.c_str());
        InvalidateRect(app.status_label, nullptr, TRUE);
    }
    const int height = measure_status_height(app, text);
    if (height != app.status_height) {
        app.status_height = height;
        if (app.window)
            ui::layout(app);
    }
}

void refresh_status_height(InstallerApp& app)
{
    app.status_height = measure_status_height(app, app.status_text);
}

void update_controls(InstallerApp& app)
{
    const ControlStates states = plan_controls(
        {app.busy.load(), app.signing_in.load(), app.self_update_offered, version_row_selected(app)});
    EnableWindow(app.install_button, states.install);
    for (HWND control : {app.product_list, app.version_list, app.back_button, app.official_button, app.beta_button})
        EnableWindow(control, states.choosing);
    EnableWindow(app.sign_in_button, states.sign_in);
    for (HWND control : {app.close_button, app.reopen_browser_button, app.cancel_sign_in_button})
        EnableWindow(control, TRUE);
    for (HWND button : {app.install_button, app.sign_in_button, app.close_button, app.back_button,
                        app.official_button, app.beta_button})
        InvalidateRect(button, nullptr, FALSE);
}

}  // namespace tw::app
