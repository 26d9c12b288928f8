#pragma once
// A window that work started before it exists can wait for: the thread that makes the window
// says which it is (or that there is none) exactly once.

#include <windows.h>

#include <condition_variable>
#include <mutex>

namespace tw::app {

class WindowToCome {
public:
    void arrive(HWND window)
    {
        {
            const std::lock_guard lock(mutex_);
            window_ = window;
            known_ = true;
        }
        known_changed_.notify_all();
    }

    // The window, or null when none could be made.
    HWND wait()
    {
        std::unique_lock lock(mutex_);
        known_changed_.wait(lock, [this] { return known_; });
        return window_;
    }

private:
    std::mutex mutex_;
    std::condition_variable known_changed_;
    HWND window_ = nullptr;
    bool known_ = false;
};

}  // namespace tw::app
