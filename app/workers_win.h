#pragma once
// Detached worker threads: each gets one heap payload of copies and reports by posting.

#include "app/messages_win.h"

#include <windows.h>

#include <cstdint>
#include <memory>

namespace tw::app {

using ThreadEntry = void (*)(void* argument);
using ThreadLauncher = bool (*)(ThreadEntry entry, void* argument);

// Starts a detached thread; false when the system could not create one.
bool launch_thread(ThreadEntry entry, void* argument);

// Tests replace the launcher to provoke a thread that cannot be created; null restores it.
void set_thread_launcher(ThreadLauncher launcher);

// Runs Body on a new detached thread that owns the payload. On failure the payload is freed
// here and false is returned, so the caller can release its flag and say so.
template <class Payload, void (*Body)(std::unique_ptr<Payload>)>
bool start_worker(std::unique_ptr<Payload> payload)
{
    const ThreadEntry entry = [](void* argument) {
        Body(std::unique_ptr<Payload>(static_cast<Payload*>(argument)));
    };
    if (!launch_thread(entry, payload.get()))
        return false;
    payload.release();
    return true;
}

// Hands one progress value to the window.
void post_progress(const ReportTarget& target, std::int64_t done, std::int64_t total);

// The download progress callback of the install and self-update workers: only the values that
// move the bar, a few dozen a second at most.
class ProgressPoster {
public:
    explicit ProgressPoster(ReportTarget target) : target_(std::move(target)) {}
    void operator()(std::int64_t done, std::int64_t total);

private:
    ReportTarget target_;
    std::int64_t last_posted_ = -1;
    std::uint64_t last_post_ms_ = 0;
};

}  // namespace tw::app
