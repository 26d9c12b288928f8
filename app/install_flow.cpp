#include "app/install_flow.h"

#include "app/catalog_screen.h"
#include "app/status.h"

#include <string_view>

namespace tw::app {
namespace {

bool reports_success(std::wstring_view message)
{
    constexpr std::wstring_view installed = L" is installed.";
    return message.size() > installed.size() && message.ends_with(installed);
}

void reset_progress(InstallerApp& app)
{
    app.progress = 0.0;
    if (app.window)
        InvalidateRect(app.window, &app.progress_rect, FALSE);
}

}  // namespace

// Downloading, checking and running setup programs arrive with the download subsystem; until
// then the Install button has nothing to start.
void start_install(InstallerApp&) {}
void start_self_update(InstallerApp&) {}

void install_action(InstallerApp& app)
{
    if (!IsWindowEnabled(app.install_button))
        return;
    if (app.self_update_offered)
        start_self_update(app);
    else
        start_install(app);
}

void handle_work_result(InstallerApp& app, std::unique_ptr<WorkResult> result)
{
    app.busy.store(false);
    reset_progress(app);
    if (result->pass_ended) {
        app.download_pass.clear();
        if (app.channel == channel_beta)
            select_channel(app, channel_beta);
    }
    if (!result->message.empty())
        set_status(app, result->message, reports_success(result->message) ? status_success : status_attention);
    update_controls(app);
    if (app.close_requested)
        DestroyWindow(app.window);
}

void handle_self_update_launched(InstallerApp& app)
{
    app.busy.store(false);
    DestroyWindow(app.window);
}

}  // namespace tw::app
