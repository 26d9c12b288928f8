#include "app/worker_reports.h"

#include "app/texts.h"

#include <utility>

namespace tw::app {

Sentence note_text(WorkerNote note)
{
    switch (note) {
    case WorkerNote::downloading:
        return text::downloading;
    case WorkerNote::connection_lost:
        return text::connection_lost;
    case WorkerNote::checking:
        return text::checking;
    case WorkerNote::installer_open:
        return text::installer_open;
    }
    return {};
}

void ReportQueue::hand_in(WorkerReport report)
{
    const std::lock_guard lock(mutex_);
    reports_.push_back(std::move(report));
}

std::deque<WorkerReport> ReportQueue::take_all()
{
    const std::lock_guard lock(mutex_);
    return std::exchange(reports_, {});
}

}  // namespace tw::app
