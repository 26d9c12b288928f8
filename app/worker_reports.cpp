#include "app/worker_reports.h"

#include "app/texts.h"

namespace tw::app {

std::wstring_view note_text(WorkerNote note)
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

std::optional<WorkerReport> ReportQueue::take()
{
    const std::lock_guard lock(mutex_);
    if (reports_.empty())
        return std::nullopt;
    std::optional<WorkerReport> oldest(std::move(reports_.front()));
    reports_.pop_front();
    return oldest;
}

}  // namespace tw::app
