#include "driver_accessibility.h"

#include <oleacc.h>

#include <cstdio>
#include <utility>

namespace twi::driver {
namespace {

constexpr DWORD start_wait_ms = 5000;
constexpr DWORD stop_wait_ms = 5000;

EventWatch* current_watch = nullptr;  // the hook callback has no context pointer

std::wstring text_of(HWND window)
{
    // No message: the target's thread may be busy, and the hook must not wait for it.
    wchar_t text[1024] = {};
    const int length = window ? InternalGetWindowText(window, text, 1024) : 0;
    return std::wstring(text, static_cast<std::size_t>(length > 0 ? length : 0));
}

std::string hresult_text(const char* what, HRESULT result)
{
    char text[96];
    std::snprintf(text, sizeof text, "%s failed: 0x%08lx", what, static_cast<unsigned long>(result));
    return text;
}

std::optional<std::wstring> take_bstr(HRESULT result, BSTR text)
{
    if (result != S_OK || !text) {
        if (text) SysFreeString(text);
        return std::nullopt;
    }
    std::wstring out(text, SysStringLen(text));
    SysFreeString(text);
    return out;
}

}  // namespace

EventWatch::~EventWatch() { stop(); }

bool EventWatch::start(DWORD pid)
{
    stop();
    pid_ = pid;
    hooked_ = false;
    ready_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!ready_) return false;
    current_watch = this;
    thread_.reset(CreateThread(nullptr, 0, run, this, 0, &thread_id_));
    const bool started = thread_ && WaitForSingleObject(ready_.get(), start_wait_ms) == WAIT_OBJECT_0 && hooked_;
    ready_.reset();
    if (!started) stop();
    return started;
}

void EventWatch::stop()
{
    if (!thread_) return;
    PostThreadMessageW(thread_id_, WM_QUIT, 0, 0);
    if (WaitForSingleObject(thread_.get(), stop_wait_ms) != WAIT_OBJECT_0)
        TerminateThread(thread_.get(), 1);
    thread_.reset();
    current_watch = nullptr;
}

std::vector<SeenEvent> EventWatch::take()
{
    const std::lock_guard lock(mutex_);
    return std::exchange(seen_, {});
}

void CALLBACK EventWatch::on_event(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD)
{
    EventWatch* watch = current_watch;
    if (!watch) return;
    SeenEvent seen{event, window && IsWindow(window) ? GetDlgCtrlID(window) : 0, object, child, text_of(window)};
    const std::lock_guard lock(watch->mutex_);
    watch->seen_.push_back(std::move(seen));
}

DWORD WINAPI EventWatch::run(void* context)
{
    auto* self = static_cast<EventWatch*>(context);
    MSG message;
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // the thread's queue, before WM_QUIT can come
    const HWINEVENTHOOK value_hook = SetWinEventHook(EVENT_OBJECT_VALUECHANGE, EVENT_OBJECT_VALUECHANGE, nullptr,
                                                     on_event, self->pid_, 0, WINEVENT_OUTOFCONTEXT);
    const HWINEVENTHOOK live_hook = SetWinEventHook(EVENT_OBJECT_LIVEREGIONCHANGED, EVENT_OBJECT_LIVEREGIONCHANGED,
                                                    nullptr, on_event, self->pid_, 0, WINEVENT_OUTOFCONTEXT);
    self->hooked_ = value_hook && live_hook;
    SetEvent(self->ready_.get());
    while (self->hooked_ && GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    if (value_hook) UnhookWinEvent(value_hook);
    if (live_hook) UnhookWinEvent(live_hook);
    return 0;
}

namespace {

// Wine 8 answers a caller in another process with a standard client object that refuses
// QueryInterface(IID_IAccessible) (E_NOINTERFACE) while its IDispatch is the IAccessible part of
// that same object. Taken only when the object is a standard proxy of this very window.
IAccessible* wine_client_object(HWND control)
{
    IUnknown* object = nullptr;
    if (FAILED(AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), IID_IUnknown,
                                          reinterpret_cast<void**>(&object))) ||
        !object)
        return nullptr;
    IOleWindow* window = nullptr;
    HWND shown = nullptr;
    if (SUCCEEDED(object->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&window))) && window) {
        window->GetWindow(&shown);
        window->Release();
    }
    IDispatch* dispatch = nullptr;
    if (shown != control || FAILED(object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))))
        dispatch = nullptr;
    object->Release();
    return reinterpret_cast<IAccessible*>(dispatch);
}

}  // namespace

std::optional<AccessibleFacts> read_accessible(HWND control, std::string& error)
{
    IAccessible* accessible = nullptr;
    const HRESULT made = AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                                    reinterpret_cast<void**>(&accessible));
    if (made == E_NOINTERFACE)
        accessible = wine_client_object(control);
    if (!accessible) {
        error = hresult_text("AccessibleObjectFromWindow", made);
        return std::nullopt;
    }
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    AccessibleFacts facts;
    VARIANT role{};
    if (accessible->get_accRole(self, &role) == S_OK && role.vt == VT_I4) {
        facts.role = role.lVal;
        wchar_t text[128] = {};
        GetRoleTextW(static_cast<DWORD>(role.lVal), text, 128);
        facts.role_text = text;
    }
    VariantClear(&role);
    // The call runs before its BSTR is read: an argument list would not say which comes first.
    BSTR name = nullptr;
    const HRESULT named = accessible->get_accName(self, &name);
    facts.name = take_bstr(named, name);
    BSTR value = nullptr;
    const HRESULT valued = accessible->get_accValue(self, &value);
    facts.value = take_bstr(valued, value);
    VARIANT state{};
    if (accessible->get_accState(self, &state) == S_OK && state.vt == VT_I4) facts.state = state.lVal;
    VariantClear(&state);
    accessible->Release();
    return facts;
}

}  // namespace twi::driver
