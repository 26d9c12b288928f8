#pragma once
// Which sentence each way of ending an install, a self-update or a sign-in gets.

#include "app/sentence.h"
#include "app/ui_state.h"
#include "download/download_rules.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tw::app {

struct DownloadFailure {
    bool cancelled = false;
    std::string_view error_code;  // the service's, from the error body
    std::uint32_t status = 0;
    download::DownloadFailureKind kind = download::DownloadFailureKind::other;
    std::wstring_view volume{};     // not_enough_space: such as "C:\\"
    std::int64_t needed_bytes = 0;  // not_enough_space: the download's length
    bool through_proxy = false;     // a proxy named for the host gave the last answer
};

struct WorkOutcome {
    Sentence message;         // empty: nothing to show
    bool pass_ended = false;  // the site no longer takes the download pass
};

WorkOutcome install_download_failure(const DownloadFailure& failure, bool pass_sent, std::wstring_view host);

// A self-update sends no pass, so it tells no ended pass or missing agreement apart.
Sentence self_update_download_failure(const DownloadFailure& failure, std::wstring_view host);

// Only an exact, non-empty match lets a download be run.
bool hash_matches(std::string_view computed, std::string_view expected);

struct RunReport {
    bool started = false;
    bool declined = false;
    std::uint32_t exit_code = 0;
};

// `label` is the product's name and the build's version. Only an install that ran to its end is
// a success.
Status install_run_message(const RunReport& run, std::wstring_view label, std::wstring_view host);

// `outcome` is a client::SignInOutcome as the worker posts it. Empty for an approval and a
// cancellation: the window says what they mean by itself.
Sentence sign_in_message(std::uint32_t outcome, std::wstring_view host);

}  // namespace tw::app
