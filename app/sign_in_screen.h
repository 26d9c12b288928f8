#pragma once
// The window's side of the beta download sign-in.

#include "app/installer_app.h"
#include "app/messages.h"

#include <memory>

namespace tw::app {

void start_sign_in(InstallerApp& app);
void reopen_browser(InstallerApp& app);
void cancel_sign_in(InstallerApp& app);

void handle_sign_in_code(InstallerApp& app, std::unique_ptr<SignInCodeReady> code);
void handle_sign_in_result(InstallerApp& app, std::unique_ptr<SignInResultMessage> result);

}  // namespace tw::app
