#pragma once
// Installing a chosen build and replacing this Installer, each on a worker thread: download,
// check, run, and one result posted to the window.

#include "app/job_states.h"
#include "app/worker_reports.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

namespace tw::app {

// Copies, and the state the worker shares with the window.
struct DownloadJob {
    HWND window = nullptr;
    std::string site_host;
    std::string user_agent;
    std::string publisher;
    std::string pass;
    std::string url;
    std::string sha256;
    std::wstring file_name;
    std::string log_name;  // the catalog's fileName, which the support log names the download by
    std::int64_t expected_bytes = 0;  // the catalog's sizeBytes; 0: unknown
    bool size_is_limit = false;       // a signed catalog's sizeBytes is the most that is read
    std::shared_ptr<DownloadJobState> state;
    std::shared_ptr<ReportQueue> reports;  // the window's
};

struct InstallJob : DownloadJob {
    std::wstring label;  // product name and version
};

struct SelfUpdateJob : DownloadJob {};

// False when no worker could be started.
bool start_install_worker(InstallJob job);
bool start_self_update_worker(SelfUpdateJob job);

}  // namespace tw::app
