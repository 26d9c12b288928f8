#pragma once
// Which sentence each way of ending an install, a self-update or a sign-in gets.

#include "app/sentence.h"
#include "app/ui_state.h"
#include "client/contract_error.h"
#include "client/download_sign_in.h"
#include "download/download_rules.h"
#include "download/run_result.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tw::app {

struct DownloadFailure {
    bool cancelled = false;
    client::ContractErrorCode error_code = client::ContractErrorCode::NONE;  // from the error body
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

// `label` is the product's name and the build's version. Only an install that ran to its end is
// a success.
Status install_run_message(const download::RunResult& run, std::wstring_view label, std::wstring_view host);

// Empty for an approval and a cancellation: the window says what they mean by itself. A value
// outside the table is a failed sign-in.
Sentence sign_in_message(client::SignInOutcome outcome, std::wstring_view host);

}  // namespace tw::app
