#pragma once
// What workers tell the window, and the queue they hand it over in. A worker never sends the
// window an address: it hands its report to the window's queue and posts a message that carries
// nothing, which only wakes the window to empty the queue. Another program may post the window any
// message with any parameters; with nothing queued it finds nothing to do.

#include "app/window_model.h"
#include "catalog/catalog_request.h"

#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace tw::app {

struct SignInCodeReady {
    std::wstring code;
    std::string approval_url;
    bool browser_opened = false;
};

struct ProgressReport {
    int per_mille = 0;  // 0 to 1000
};

// The status lines a download worker shows while it runs.
enum class WorkerNote { downloading, connection_lost, checking, installer_open };

Sentence note_text(WorkerNote note);

struct SelfUpdateLaunched {};

using WorkerReport = std::variant<catalog::CatalogReply, SignInCodeReady, SignInEnd, ProgressReport, WorkerNote,
                                  WorkResult, SelfUpdateLaunched>;

// Owned by shared pointer by the window and by every worker that reports to it, so a worker that
// reports after the window has gone hands its report to a queue that is still there, and the
// report goes with the last holder.
class ReportQueue {
public:
    void hand_in(WorkerReport report);
    // Every report handed in so far, oldest first, leaving the queue empty. What is handed in
    // while these are acted on comes with a wake of its own.
    std::deque<WorkerReport> take_all();

private:
    std::mutex mutex_;
    std::deque<WorkerReport> reports_;
};

}  // namespace tw::app
