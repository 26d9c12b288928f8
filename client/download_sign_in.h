#pragma once
// The download sign-in: a short code approved in the browser turns into a download pass.
// It runs on a worker thread, blocks it until the outcome is known and reaches the window only
// through the code callback and its result.

#include "client/clock.h"
#include "client/http.h"
#include "client/link_messages.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tw::client {

class LogSink {
public:
    virtual ~LogSink() = default;
    // Level 0: the flow's own lines; level 1: the one-line description of each call.
    virtual void log(int level, std::string_view text) = 0;
};

// Replaces the built-in wait between polls: gets the milliseconds and the cancel flag and returns
// false to stop the run.
using WaitHook = std::function<bool(std::int64_t milliseconds, const std::atomic<bool>& cancel)>;

struct DownloadSignInOptions {
    std::string site;  // without trailing "/"
    std::string installer_version;
    std::string user_agent;
    std::int32_t request_timeout_ms = 15000;
    LogSink* log_sink = nullptr;  // optional, not owned
    WaitHook wait_hook;           // optional
    Transport& transport;         // not owned, nor the two below
    Clock& clock;
    BrowserOpener& browser_opener;
};

// The caller's settings, before make_download_sign_in_options copies and completes them.
struct DownloadSignInSettings {
    std::string_view site{};
    std::string_view installer_version{};
    std::string_view user_agent{};  // empty: the Installer's standard one for this version
    std::int32_t request_timeout_ms = 15000;
    LogSink* log_sink = nullptr;
    WaitHook wait_hook{};
};

// Should the texts not fit in memory, the site is left empty, which no run accepts.
DownloadSignInOptions make_download_sign_in_options(DownloadSignInSettings settings, Transport& transport,
                                                    Clock& clock, BrowserOpener& browser_opener) noexcept;

struct DownloadSignInCode {
    std::string code;          // "ABCD-EFGH", as shown to the user
    std::string approval_url;  // as the service sent it
    std::int32_t lifetime_seconds = 0;
    bool browser_opened = false;
};

using CodeCallback = std::function<void(const DownloadSignInCode& code)>;

enum class SignInOutcome : std::int32_t {
    approved = 0,
    denied = 1,
    expired = 2,
    cancelled = 3,
    offline = 4,
    rate_limited = 5,
    update_required = 6,
    failed = 7,
    // 8 is left out: logs and tests read it as a value outside the table.
    proxy_refused = 9,
};

// The word used in the log; "failed" for any value outside the table.
std::string_view sign_in_outcome_name(SignInOutcome outcome) noexcept;

struct SignInResult {
    SignInOutcome outcome = SignInOutcome::failed;
    DownloadPass pass;                       // token empty unless approved
    std::int64_t pass_expiry_ms = 0;         // on the options' clock; set only when approved
    std::optional<std::int64_t> retry_after; // seconds; only for a throttled link/start
    std::string message;                     // the last exchange's line or the flow's own sentence
};

// https anywhere; plain http only to this machine, under a loopback name and an optional port.
bool is_allowed_site(std::string_view site) noexcept;

// Blocks until the outcome is known. The cancel flag belongs to the caller and is only read; the
// callback fires at most once, after a successful start and before the first poll.
SignInResult run_download_sign_in(const DownloadSignInOptions& options, const std::atomic<bool>& cancel,
                                  const CodeCallback& on_code) noexcept;

// False when the run is to stop. Without a hook it notices the cancel flag within 50 ms.
bool wait_before_poll(const DownloadSignInOptions& options, std::int64_t milliseconds,
                      const std::atomic<bool>& cancel);

}  // namespace tw::client
