#include "app/workers_win.h"

#include "app/messages_win.h"
#include "app/progress.h"

#include <atomic>
#include <system_error>
#include <thread>

namespace tw::app {
namespace {

bool launch_std_thread(ThreadEntry entry, void* argument)
{
    try {
        std::thread(entry, argument).detach();
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

std::atomic<ThreadLauncher> active_launcher{&launch_std_thread};

}  // namespace

bool launch_thread(ThreadEntry entry, void* argument)
{
    return active_launcher.load()(entry, argument);
}

void set_thread_launcher(ThreadLauncher launcher)
{
    active_launcher.store(launcher ? launcher : &launch_std_thread);
}

void post_progress(const ReportTarget& target, std::int64_t done, std::int64_t total)
{
    if (const auto per_mille = progress_per_mille(done, total))
        hand_report(target, ProgressReport{static_cast<int>(*per_mille)});
}

void ProgressPoster::operator()(std::int64_t done, std::int64_t total)
{
    const auto per_mille = progress_per_mille(done, total);
    const std::uint64_t now = GetTickCount64();
    if (!per_mille || !progress_worth_posting(last_posted_, *per_mille, static_cast<std::int64_t>(now - last_post_ms_)))
        return;
    hand_report(target_, ProgressReport{static_cast<int>(*per_mille)});
    last_posted_ = *per_mille;
    last_post_ms_ = now;
}

}  // namespace tw::app
