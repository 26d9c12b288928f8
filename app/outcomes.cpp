#include "app/outcomes.h"

#include "client/proxy_rules.h"

#include "app/texts.h"
#include "client/download_sign_in.h"

namespace tw::app {
namespace {

// winerror.h's ERROR_SUCCESS_REBOOT_REQUIRED, ERROR_SUCCESS_REBOOT_INITIATED and
// ERROR_INSTALL_ALREADY_RUNNING, spelled out because this file is portable.
constexpr std::uint32_t reboot_required_code = 3010;
constexpr std::uint32_t reboot_initiated_code = 1641;
constexpr std::uint32_t install_running_code = 1618;

Sentence space_message(const DownloadFailure& failure)
{
    return text::not_enough_space(failure.volume, static_cast<std::uint64_t>(failure.needed_bytes));
}

bool lacks_space(const DownloadFailure& failure)
{
    return failure.kind == download::DownloadFailureKind::not_enough_space;
}

// Never a sentence about the connection: trying again on the same computer changes nothing.
bool staging_unsafe(const DownloadFailure& failure)
{
    return failure.kind == download::DownloadFailureKind::unsafe_staging;
}

}  // namespace

WorkOutcome install_download_failure(const DownloadFailure& failure, bool pass_sent, std::wstring_view host)
{
    if (failure.cancelled)
        return {};
    if (lacks_space(failure))
        return {space_message(failure)};
    if (staging_unsafe(failure))
        return {text::staging_unsafe(host)};
    if (failure.kind == download::DownloadFailureKind::too_long)
        return {text::check_failed(host)};
    if (failure.error_code == client::ContractErrorCode::RATE_LIMITED)
        return {text::rate_limited};
    if (failure.error_code == client::ContractErrorCode::AGREEMENT_REQUIRED)
        return {text::agreement_required(host)};
    if (failure.status == 401 && pass_sent)
        return {text::pass_ended, true};
    if (client::is_proxy_refusal(failure.status, failure.through_proxy))
        return {text::proxy_refused};
    return {text::download_unfinished};
}

Sentence self_update_download_failure(const DownloadFailure& failure, std::wstring_view host)
{
    if (failure.cancelled)
        return {};
    if (lacks_space(failure))
        return space_message(failure);
    if (staging_unsafe(failure))
        return text::staging_unsafe(host);
    if (failure.kind == download::DownloadFailureKind::too_long)
        return text::check_failed(host);
    return failure.error_code == client::ContractErrorCode::RATE_LIMITED ? text::rate_limited
                                                                         : text::download_unfinished;
}

bool hash_matches(std::string_view computed, std::string_view expected)
{
    return !computed.empty() && computed == expected;
}

Status install_run_message(const download::RunResult& run, std::wstring_view label, std::wstring_view host)
{
    if (run.outcome == download::RunOutcome::declined)
        return {text::install_cancelled, StatusKind::attention};
    if (run.outcome != download::RunOutcome::started)
        return {text::installer_not_started(host), StatusKind::attention};
    switch (run.exit_code) {
    case 0:
        return {text::installed(label), StatusKind::success};
    case 8:
        return {text::restart_needed, StatusKind::attention};
    // MSI setups and bundles return Windows' own codes: installed, yet attention, as the user
    // still has a restart to do or to expect.
    case reboot_required_code:
        return {text::installed_restart_needed(label), StatusKind::attention};
    case reboot_initiated_code:
        return {text::installed_restarting(label), StatusKind::attention};
    case install_running_code:
        return {text::install_already_running, StatusKind::attention};
    case 2:
    case 5:
        return {text::install_cancelled, StatusKind::attention};
    default:
        return {text::install_unfinished(run.exit_code, host), StatusKind::attention};
    }
}

Sentence sign_in_message(client::SignInOutcome outcome, std::wstring_view host)
{
    using client::SignInOutcome;
    switch (outcome) {
    case SignInOutcome::approved:
    case SignInOutcome::cancelled:
        return {};
    case SignInOutcome::denied:
        return text::sign_in_denied;
    case SignInOutcome::expired:
        return text::sign_in_expired;
    case SignInOutcome::offline:
        return text::unreachable;
    case SignInOutcome::proxy_refused:
        return text::proxy_refused;
    case SignInOutcome::rate_limited:
        return text::sign_in_rate_limited;
    case SignInOutcome::update_required:
        return text::out_of_date_download(host);
    default:
        return text::sign_in_failed;
    }
}

}  // namespace tw::app
