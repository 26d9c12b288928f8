#pragma once
// Installing a chosen build and replacing this Installer: the window's side of the work.

#include "app/installer_app.h"
#include "app/messages.h"

#include <memory>

namespace tw::app {

void start_install(InstallerApp& app);
void start_self_update(InstallerApp& app);

// Install, or fetch the new Installer while one is offered; nothing while Install is disabled.
void install_action(InstallerApp& app);

void handle_work_result(InstallerApp& app, std::unique_ptr<WorkResult> result);
void handle_self_update_launched(InstallerApp& app);

}  // namespace tw::app
