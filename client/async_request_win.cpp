#include "client/async_request_win.h"

#include "client/http_rules.h"

#include <algorithm>

namespace tw::client::platform {
namespace {

using std::chrono::milliseconds;

constexpr DWORD status_notifications = WINHTTP_CALLBACK_FLAG_HANDLES | WINHTTP_CALLBACK_FLAG_HEADERS_AVAILABLE |
                                 WINHTTP_CALLBACK_FLAG_DATA_AVAILABLE | WINHTTP_CALLBACK_FLAG_READ_COMPLETE |
                                 WINHTTP_CALLBACK_FLAG_REQUEST_ERROR |
                                 WINHTTP_CALLBACK_FLAG_SENDREQUEST_COMPLETE;
static_assert(status_notifications == 0x006E0C00);

constexpr milliseconds wait_slice{50};

// WinHTTP's own reference to the context: its address is the request's context value, and it
// is deleted only when WinHTTP says the request handle is going away, since WinHTTP may still
// write into the buffer after the caller has given up on a step.
struct ContextHolder {
    std::shared_ptr<RequestContext> context;
};

void record_closing(ContextHolder* holder)
{
    const std::shared_ptr<RequestContext> context = std::move(holder->context);
    delete holder;
    {
        const std::lock_guard lock(context->mutex);
        context->closed = true;
    }
    context->changed.notify_all();
}

void record_step(RequestContext& context, DWORD status, void* info, DWORD info_length)
{
    {
        const std::lock_guard lock(context.mutex);
        context.last_status = status;
        context.error = 0;
        if (status == WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE)
            context.bytes = info ? *static_cast<const DWORD*>(info) : 0;
        else if (status == WINHTTP_CALLBACK_STATUS_READ_COMPLETE)
            context.bytes = info_length;
        else if (status == WINHTTP_CALLBACK_STATUS_REQUEST_ERROR)
            context.error = info ? static_cast<const WINHTTP_ASYNC_RESULT*>(info)->dwError
                                 : ERROR_WINHTTP_INTERNAL_ERROR;
        context.done = true;
    }
    context.changed.notify_all();
}

void CALLBACK on_status(HINTERNET, DWORD_PTR context_value, DWORD status, LPVOID info, DWORD info_length)
{
    if (context_value == 0)
        return;  // session and connection handles carry no context
    auto* holder = reinterpret_cast<ContextHolder*>(context_value);
    try {
        if (status == WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING)
            record_closing(holder);
        else
            record_step(*holder->context, status, info, info_length);
    } catch (...) {
        // Nothing may unwind into WinHTTP; the waiting side runs into its deadline instead.
    }
}

}  // namespace

bool report_requests(HINTERNET session)
{
    return WinHttpSetStatusCallback(session, on_status, status_notifications, 0) != WINHTTP_INVALID_STATUS_CALLBACK;
}

RequestGuard::~RequestGuard()
{
    request_.reset();
    try {
        std::unique_lock lock(context_->mutex);
        context_->changed.wait_for(lock, grace_, [this] { return context_->closed; });
    } catch (...) {
    }
}

std::uint32_t response_status(HINTERNET request)
{
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
        return 0;
    return status;
}

DWORD_PTR attach_context(HINTERNET request, const std::shared_ptr<RequestContext>& context)
{
    auto* holder = new ContextHolder{context};
    DWORD_PTR holder_value = reinterpret_cast<DWORD_PTR>(holder);
    if (!WinHttpSetOption(request, WINHTTP_OPTION_CONTEXT_VALUE, &holder_value, sizeof holder_value)) {
        const DWORD error = GetLastError();
        delete holder;
        SetLastError(error);
        return 0;
    }
    return holder_value;
}

void StepWaiter::begin()
{
    const std::lock_guard lock(context_.mutex);
    context_.done = false;
    context_.error = 0;
}

StepResult StepWaiter::wait(const char* step, BOOL started)
{
    failure_ = 0;
    if (!started) {
        failure_ = GetLastError();
        return {StepEnd::failed, waited_step_failure_text(step, failure_, deadline_spent())};
    }
    std::unique_lock lock(context_.mutex);
    while (!context_.done) {
        if (cancelled())
            return {StepEnd::cancelled, cancelled_words};
        const milliseconds remaining = remaining_ms();
        if (remaining.count() < 1)
            return {StepEnd::deadline, "deadline exceeded"};
        context_.changed.wait_for(lock, std::min(remaining, wait_slice));
    }
    failure_ = context_.error;
    if (context_.error != 0)
        return {StepEnd::failed, waited_step_failure_text(step, context_.error, deadline_spent())};
    return {StepEnd::done, {}, context_.bytes};
}

milliseconds StepWaiter::remaining_ms() const
{
    if (deadline_ == MonotonicClock::time_point::max())
        return milliseconds::max();
    return std::chrono::duration_cast<milliseconds>(deadline_ - MonotonicClock::now());
}

}  // namespace tw::client::platform
