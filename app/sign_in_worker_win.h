#pragma once
// The beta download sign-in on a worker thread: the code and then the result are posted to the
// window.

#include "app/job_states.h"
#include "app/worker_reports.h"
#include "client/http.h"

#include <windows.h>

#include <memory>
#include <string>

namespace tw::app {

struct SignInJob {
    HWND window = nullptr;
    std::string site_origin;
    std::shared_ptr<client::Transport> transport;
    std::shared_ptr<SignInJobState> state;
    std::shared_ptr<ReportQueue> reports;  // the window's
};

// False when no worker could be started.
bool start_sign_in_worker(SignInJob job);

}  // namespace tw::app
