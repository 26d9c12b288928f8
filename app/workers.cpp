#include "app/workers.h"

#include "app/messages.h"
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

void post_progress(HWND window, std::int64_t done, std::int64_t total)
{
    if (const auto per_mille = progress_per_mille(done, total))
        PostMessageW(window, msg_progress, static_cast<WPARAM>(*per_mille), 0);
}

}  // namespace tw::app
