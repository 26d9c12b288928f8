#pragma once
// The two link exchanges of the installer API: link/start opens a sign-in and hands out a short
// code, link/poll asks whether that code was approved and then returns the download pass.

#include "client/http.h"
#include "client/service.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tw::client {

inline constexpr std::string_view installer_api_path = "/api/installer/v1";
inline constexpr std::string_view link_start_path = "/link/start";
inline constexpr std::string_view link_start_label = "I-1 link/start";
inline constexpr std::string_view link_poll_path = "/link/poll";
inline constexpr std::string_view link_poll_label = "I-2 link/poll";

struct LinkStartResponse {
    std::string link_code;
    std::string authorize_url;
    std::string poll_token;
    std::int32_t expires_in_sec = 900;
    std::int32_t poll_interval_sec = 5;
};

enum class LinkPollStatus : std::int32_t { pending = 0, approved = 1, denied = 2, expired = 3 };

struct DownloadPass {
    std::string token;  // the member downloadPass
    std::int32_t expires_in_sec = 3600;
    std::vector<std::string> channels;  // "release" and "test" only, each once, as first sent
    std::string server_time_utc;
};

// proxy_refused: a proxy between us and the site wants a sign-in we cannot give (407).
enum class LinkStartKind : std::int32_t { ok = 0, offline = 1, update_required = 2, failed = 3, proxy_refused = 4 };

struct LinkStartResult {
    LinkStartKind kind = LinkStartKind::failed;
    LinkStartResponse response;  // the defaults unless the body was accepted
    ServiceOutcome outcome;
    std::string message;
};

// The first four equal the LinkPollStatus values.
enum class LinkPollKind : std::int32_t {
    pending = 0,
    approved = 1,
    denied = 2,
    expired = 3,
    token_rejected = 4,
    rate_limited = 5,
    retry = 6,
    failed = 7,
    proxy_refused = 8,
};

struct LinkPollResult {
    LinkPollKind kind = LinkPollKind::failed;
    DownloadPass pass;  // filled only when approved
    ServiceOutcome outcome;
    std::string message;
};

LinkStartResult link_start(Transport& transport, const ClientOptions& options,
                           std::string_view installer_version) noexcept;

LinkPollResult link_poll(Transport& transport, const ClientOptions& options, std::string_view poll_token) noexcept;

// True when accepted; otherwise the response holds its defaults and error the reason.
bool parse_link_start(std::string_view body, LinkStartResponse& response, std::string& error) noexcept;

inline constexpr int poll_body_accepted = 0;
inline constexpr int poll_body_not_an_object = 1;
inline constexpr int poll_body_rejected = 2;

// One of the three values above. The status is read only from an accepted body (pending
// otherwise) and the pass only from an accepted approval (its defaults otherwise).
int parse_link_poll(std::string_view body, LinkPollStatus& status, DownloadPass& pass, std::string& error) noexcept;

// Eight characters of Crockford's Base32: digits and capitals other than I, L, O and U.
bool is_link_code(std::string_view text) noexcept;
// "twdl_" and 43 characters of URL-safe Base64.
bool is_poll_token(std::string_view text) noexcept;
// "twdp_" and 43 characters of URL-safe Base64.
bool is_download_pass(std::string_view text) noexcept;

// "ABCD-EFGH" for an eight-character code; any other text unchanged.
std::string format_link_code(std::string_view code);

}  // namespace tw::client
