#pragma once
// Asking the site for its catalog on a worker thread; the reply is posted to the window.

#include "app/window_to_come_win.h"
#include "app/worker_reports.h"
#include "catalog/catalog_trust.h"
#include "client/http.h"

#include <windows.h>

#include <memory>
#include <string>

namespace tw::app {

// Copies only: the worker may outlive everything but its payload.
struct CatalogLoad {
    HWND window = nullptr;
    std::shared_ptr<ReportQueue> reports;  // the window's
    std::shared_ptr<WindowToCome> window_to_come;  // where the answer goes while `window` is null
    std::string site_origin;
    std::string user_agent;
    std::shared_ptr<client::Transport> transport;
    std::string pass;  // empty: none is sent
    catalog::CatalogTrust trust;  // the build's; what it points to lives as long as the program
};

// False when no worker could be started.
bool start_catalog_fetch(CatalogLoad load);

}  // namespace tw::app
