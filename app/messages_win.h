#pragma once
// The one private window message: a worker posts it once it has handed a report to the window's
// queue. It carries nothing; the window takes the reports from the queue.

#include "app/worker_reports.h"

#include <windows.h>

namespace tw::app {

inline constexpr UINT msg_reports_waiting = WM_APP + 1;

// Where a worker's reports go: the window, and the queue it empties when woken.
struct ReportTarget {
    HWND window = nullptr;
    std::shared_ptr<ReportQueue> queue;
};

// A report to a window that is gone stays in the queue and goes with its last holder.
inline void hand_report(const ReportTarget& target, WorkerReport report)
{
    if (!target.queue)
        return;
    target.queue->hand_in(std::move(report));
    PostMessageW(target.window, msg_reports_waiting, 0, 0);
}

}  // namespace tw::app
