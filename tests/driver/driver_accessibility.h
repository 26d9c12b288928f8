#pragma once
// What a screen reader in another process gets from the window: the WinEvents it raises, seen
// through an out-of-context hook, and the accessible objects of its controls. Test tooling only.

#include "client/scoped_win.h"

#include <windows.h>

#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace twi::driver {

struct SeenEvent {
    DWORD event = 0;
    int control_id = 0;  // 0: the window itself or a window that is gone
    LONG object = 0;
    LONG child = 0;
    std::wstring text;   // the window's text when the event arrived
};

// An out-of-context hook for live-region and value-change events of one process, on a thread
// of its own with its own message loop. One watch at a time.
class EventWatch {
public:
    EventWatch() = default;
    ~EventWatch();
    EventWatch(const EventWatch&) = delete;
    EventWatch& operator=(const EventWatch&) = delete;

    // False when the hook could not be set; a running watch is stopped first.
    bool start(DWORD pid);
    void stop();
    std::vector<SeenEvent> take();

private:
    static void CALLBACK on_event(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD);
    static DWORD WINAPI run(void* self);

    tw::client::platform::KernelHandle thread_;
    DWORD thread_id_ = 0;
    DWORD pid_ = 0;
    tw::client::platform::KernelHandle ready_;
    bool hooked_ = false;
    std::mutex mutex_;
    std::vector<SeenEvent> seen_;
};

struct AccessibleFacts {
    long role = 0;
    std::wstring role_text;
    std::optional<std::wstring> name;   // none: the object has no name (or refused)
    std::optional<std::wstring> value;
    long state = 0;
};

// The control's client object as AccessibleObjectFromWindow gives it; the error text otherwise.
// Needs COM on the calling thread.
std::optional<AccessibleFacts> read_accessible(HWND control, std::string& error);

}  // namespace twi::driver
