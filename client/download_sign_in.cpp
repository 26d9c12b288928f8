#include "client/download_sign_in.h"

#include "client/user_agent.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <limits>
#include <thread>
#include <utility>

namespace tw::client {
namespace {

constexpr std::string_view log_prefix = "download sign-in: ";
constexpr const char* site_refused = "download sign-in: the site address must be https";
constexpr const char* local_deadline = "download sign-in: the code ran out (local deadline)";
constexpr const char* browser_not_opened =
    "download sign-in: the browser could not be opened; the code on screen still works";
constexpr const char* waiting_for_approval = "download sign-in: waiting for approval in the browser";
constexpr const char* internal_failure_note = "download sign-in: stopped by an internal error";

constexpr std::array<std::string_view, 10> outcome_names = {
    "approved", "denied", "expired", "cancelled", "offline", "rate limited", "update required", "failed",
    "failed",  // 8 is no outcome
    "proxy refused",
};
constexpr std::array<std::string_view, 3> loopback_names = {"127.0.0.1", "localhost", "[::1]"};

// A quarter second more than asked, so a poll never arrives before the service expects it.
constexpr std::int64_t poll_slack_ms = 250;
constexpr std::int64_t longest_fault_wait_ms = 30'000;
constexpr std::int64_t wait_slice_ms = 50;
constexpr std::int64_t largest_ms = std::numeric_limits<std::int64_t>::max();

// The service's numbers are ours to multiply: a hint of centuries must saturate, not wrap.
std::int64_t seconds_to_ms(std::int64_t seconds)
{
    return seconds > largest_ms / 1000 ? largest_ms : seconds * 1000;
}

std::int64_t later_by(std::int64_t now, std::int64_t milliseconds)
{
    return now > largest_ms - milliseconds ? largest_ms : now + milliseconds;
}

// After the name only a port may follow, so that "localhost:x@elsewhere", which names another
// host with a user name in front, is not taken for this machine.
bool is_loopback_authority(std::string_view rest)
{
    for (const std::string_view name : loopback_names) {
        if (!rest.starts_with(name))
            continue;
        std::string_view after = rest.substr(name.size());
        if (after.starts_with(':')) {
            const auto port_end = after.find_first_not_of("0123456789", 1);
            after = port_end == std::string_view::npos ? std::string_view() : after.substr(port_end);
        }
        if (after.empty() || after.front() == '/')
            return true;
    }
    return false;
}

std::string without_trailing_slashes(std::string_view site)
{
    const auto last_kept = site.find_last_not_of('/');
    return std::string(site.substr(0, last_kept == std::string_view::npos ? 0 : last_kept + 1));
}

bool sleep_in_slices(std::int64_t milliseconds, const std::atomic<bool>& cancel)
{
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        if (cancel.load())
            return false;
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
        if (elapsed >= milliseconds)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(wait_slice_ms, milliseconds - elapsed)));
    }
}

struct Run {
    const DownloadSignInOptions& options;
    const std::atomic<bool>& cancel;
    ClientOptions client;
    SignInResult result;
};

void log_line(const Run& run, int level, std::string_view text)
{
    if (run.options.log_sink != nullptr && !text.empty())
        run.options.log_sink->log(level, text);
}

SignInResult finish(Run& run, SignInOutcome outcome, std::string message)
{
    run.result.outcome = outcome;
    run.result.message = std::move(message);
    log_line(run, 0, std::string(log_prefix) + std::string(sign_in_outcome_name(outcome)));
    return std::move(run.result);
}

SignInResult refuse_start(Run& run, LinkStartResult& start)
{
    SignInOutcome outcome = SignInOutcome::failed;
    if (start.kind == LinkStartKind::offline) {
        outcome = SignInOutcome::offline;
    } else if (start.kind == LinkStartKind::update_required) {
        outcome = SignInOutcome::update_required;
    } else if (start.kind == LinkStartKind::proxy_refused) {
        outcome = SignInOutcome::proxy_refused;
    } else if (start.outcome.code == ContractErrorCode::RATE_LIMITED) {
        outcome = SignInOutcome::rate_limited;
        run.result.retry_after = start.outcome.retry_after_seconds;
    }
    return finish(run, outcome, std::move(start.message));
}

void show_code(Run& run, const LinkStartResponse& response, const CodeCallback& on_code)
{
    DownloadSignInCode code;
    code.code = format_link_code(response.link_code);
    code.approval_url = response.authorize_url;
    code.lifetime_seconds = response.expires_in_sec;
    code.browser_opened = run.options.browser_opener.open(response.authorize_url);
    if (!code.browser_opened)
        log_line(run, 0, browser_not_opened);
    log_line(run, 0, waiting_for_approval);
    if (on_code)
        on_code(code);
}

// Empty while the poll leaves the question open.
std::optional<SignInOutcome> outcome_of(LinkPollKind kind)
{
    switch (kind) {
    case LinkPollKind::approved: return SignInOutcome::approved;
    case LinkPollKind::denied: return SignInOutcome::denied;
    case LinkPollKind::expired:
    case LinkPollKind::token_rejected: return SignInOutcome::expired;
    case LinkPollKind::pending:
    case LinkPollKind::rate_limited:
    case LinkPollKind::retry: return std::nullopt;
    case LinkPollKind::proxy_refused: return SignInOutcome::proxy_refused;
    case LinkPollKind::failed: break;
    }
    return SignInOutcome::failed;
}

std::int64_t next_interval(const LinkPollResult& poll, std::int64_t current, std::int64_t base)
{
    if (poll.kind == LinkPollKind::rate_limited) {
        const std::int64_t hint = poll.outcome.retry_after_seconds.value_or(0);
        return hint > 0 ? seconds_to_ms(hint) : base;
    }
    if (poll.kind == LinkPollKind::retry)
        return current >= longest_fault_wait_ms / 2 ? longest_fault_wait_ms : current * 2;
    return base;
}

SignInResult poll_until_done(Run& run, const LinkStartResponse& start, std::int64_t deadline, std::string last)
{
    const std::int64_t base = std::int64_t{start.poll_interval_sec} * 1000 + poll_slack_ms;
    std::int64_t interval = base;
    while (wait_before_poll(run.options, interval, run.cancel)) {
        // Checked only before a poll: until then the service's own word on the code counts more.
        if (run.options.clock.now_steady_ms() >= deadline)
            return finish(run, SignInOutcome::expired, local_deadline);
        LinkPollResult poll = link_poll(run.options.transport, run.client, start.poll_token);
        log_line(run, 1, poll.message);
        last = std::move(poll.message);
        if (run.cancel.load())
            return finish(run, SignInOutcome::cancelled, std::move(last));
        if (const auto outcome = outcome_of(poll.kind)) {
            if (*outcome == SignInOutcome::approved) {
                run.result.pass = std::move(poll.pass);
                run.result.pass_expiry_ms =
                    later_by(run.options.clock.now_steady_ms(), std::int64_t{run.result.pass.expires_in_sec} * 1000);
            }
            return finish(run, *outcome, std::move(last));
        }
        interval = next_interval(poll, interval, base);
    }
    return finish(run, SignInOutcome::cancelled, std::move(last));
}

SignInResult sign_in(Run& run, const CodeCallback& on_code)
{
    const DownloadSignInOptions& options = run.options;
    if (!is_allowed_site(options.site))
        return finish(run, SignInOutcome::failed, site_refused);
    run.client.base_url = options.site;
    run.client.user_agent = options.user_agent;
    run.client.timeout_ms = options.request_timeout_ms;
    run.client.cancel = &run.cancel;

    LinkStartResult start = link_start(options.transport, run.client, options.installer_version);
    log_line(run, 1, start.message);
    // A code nobody is waiting for any more must not reach the screen.
    if (run.cancel.load())
        return finish(run, SignInOutcome::cancelled, std::move(start.message));
    if (start.kind != LinkStartKind::ok)
        return refuse_start(run, start);

    const std::int64_t deadline =
        later_by(options.clock.now_steady_ms(), std::int64_t{start.response.expires_in_sec} * 1000);
    show_code(run, start.response, on_code);
    return poll_until_done(run, start.response, deadline, std::move(start.message));
}

SignInResult internal_failure(Run& run) noexcept
{
    try {
        run.result.pass = {};
        run.result.pass_expiry_ms = 0;
        run.result.retry_after.reset();
        return finish(run, SignInOutcome::failed, internal_failure_note);
    } catch (...) {
        return {};
    }
}

}  // namespace

DownloadSignInOptions make_download_sign_in_options(DownloadSignInSettings settings, Transport& transport,
                                                    Clock& clock, BrowserOpener& browser_opener) noexcept
{
    DownloadSignInOptions options{.site = {},
                                  .installer_version = {},
                                  .user_agent = {},
                                  .request_timeout_ms = settings.request_timeout_ms,
                                  .log_sink = settings.log_sink,
                                  .wait_hook = {},
                                  .transport = transport,
                                  .clock = clock,
                                  .browser_opener = browser_opener};
    try {
        options.site = without_trailing_slashes(settings.site);
        options.installer_version.assign(settings.installer_version);
        options.user_agent =
            settings.user_agent.empty()
                ? make_user_agent("tarnwick-installer", settings.installer_version, "windows", "release")
                : std::string(settings.user_agent);
        options.wait_hook = std::move(settings.wait_hook);
    } catch (...) {
        options.site.clear();
    }
    return options;
}

std::string_view sign_in_outcome_name(SignInOutcome outcome) noexcept
{
    const auto index = static_cast<std::uint32_t>(outcome);
    return outcome_names[index < outcome_names.size() ? index : static_cast<std::uint32_t>(SignInOutcome::failed)];
}

bool is_allowed_site(std::string_view site) noexcept
{
    constexpr std::string_view plain = "http://";
    if (site.starts_with("https://"))
        return true;
    return site.starts_with(plain) && is_loopback_authority(site.substr(plain.size()));
}

SignInResult run_download_sign_in(const DownloadSignInOptions& options, const std::atomic<bool>& cancel,
                                  const CodeCallback& on_code) noexcept
{
    Run run{options, cancel, {}, {}};
    try {
        return sign_in(run, on_code);
    } catch (...) {
        // A failing allocation, or a sink, hook, opener or callback that throws.
    }
    return internal_failure(run);
}

bool wait_before_poll(const DownloadSignInOptions& options, std::int64_t milliseconds,
                      const std::atomic<bool>& cancel)
{
    if (cancel.load())
        return false;
    if (options.wait_hook)
        return options.wait_hook(milliseconds, cancel) && !cancel.load();
    return sleep_in_slices(milliseconds, cancel);
}

}  // namespace tw::client
