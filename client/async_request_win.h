#pragma once
// Asynchronous WinHTTP requests driven one step at a time by the thread that makes them. The
// thread waits for each step in short slices, so it can give up at once when told to stop: a
// synchronous call waits for its socket's own time-out, and under Wine even closing its handle
// from another thread does not end it.

#include "client/scoped_win.h"

#include <windows.h>
#include <winhttp.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tw::client::platform {

using MonotonicClock = std::chrono::steady_clock;

// Shared between the calling thread and WinHTTP's callback threads; every field under `mutex`.
struct RequestContext {
    explicit RequestContext(std::size_t buffer_size) : buffer(buffer_size) {}

    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;
    std::uint32_t last_status = 0;
    std::uint32_t error = 0;
    std::uint32_t bytes = 0;
    bool closed = false;
    std::string body;          // what a POST sends
    std::vector<char> buffer;  // where reads land: it lives as long as WinHTTP may write into it
};

// Has the asynchronous session's requests report to this module; false (last error set) when
// WinHTTP refused.
bool report_requests(HINTERNET session);

// Runs on every way out once a context is attached: the request handle goes first, and the
// connection and session only after WinHTTP has let go of the request (or `grace` passed).
class RequestGuard {
public:
    RequestGuard(InternetHandle& request, std::shared_ptr<RequestContext> context, std::chrono::milliseconds grace)
        : request_(request), context_(std::move(context)), grace_(grace)
    {
    }
    ~RequestGuard();
    RequestGuard(const RequestGuard&) = delete;
    RequestGuard& operator=(const RequestGuard&) = delete;

private:
    InternetHandle& request_;
    std::shared_ptr<RequestContext> context_;
    std::chrono::milliseconds grace_;
};

// The status code of the response whose headers have arrived; 0 when none can be read.
std::uint32_t response_status(HINTERNET request);

// Makes `context` the request's own until WinHTTP closes the request; the value to pass as the
// context of WinHttpSendRequest, or 0 (last error set) when it could not be attached.
DWORD_PTR attach_context(HINTERNET request, const std::shared_ptr<RequestContext>& context);

// How a waited step ended.
enum class StepEnd : std::uint8_t { done, cancelled, deadline, failed };

struct StepResult {
    StepEnd end = StepEnd::done;
    std::string error;        // empty when done: "cancelled", "deadline exceeded" or the step's failure
    std::uint32_t bytes = 0;  // what a step that is done reported as available or read

    bool done() const { return end == StepEnd::done; }
};

// The words a cancelled step or exchange ends in, as the transport's error text.
inline constexpr char cancelled_words[] = "cancelled";

// Starts nothing itself: each asynchronous WinHTTP call is made by the caller between `begin`
// and `wait`, so only one is ever outstanding.
class StepWaiter {
public:
    StepWaiter(RequestContext& context, MonotonicClock::time_point deadline, const std::atomic<bool>* cancel)
        : context_(context), deadline_(deadline), cancel_(cancel)
    {
    }

    void begin();

    StepResult wait(const char* step, BOOL started);

    // The Win32 or WinHTTP error of the last step that failed with one; 0 otherwise.
    std::uint32_t failure() const { return failure_; }
    bool cancelled() const { return cancel_ && cancel_->load(); }

private:
    std::chrono::milliseconds remaining_ms() const;
    bool deadline_spent() const { return remaining_ms().count() < 1; }

    RequestContext& context_;
    MonotonicClock::time_point deadline_;
    const std::atomic<bool>* cancel_;
    std::uint32_t failure_ = 0;
};

}  // namespace tw::client::platform
