#include "client/link_messages.h"

#include "client/proxy_rules.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <limits>
#include <utility>

namespace tw::client {
namespace {

using nlohmann::json;

constexpr std::size_t link_code_length = 8;
constexpr std::size_t token_length = 48;
constexpr std::string_view poll_token_prefix = "twdl_";
constexpr std::string_view download_pass_prefix = "twdp_";
constexpr std::int64_t largest_count = std::numeric_limits<std::int32_t>::max();

constexpr const char* not_an_object = "the body is not a JSON object";
constexpr const char* unreadable_message = "the body could not be read";
constexpr const char* bad_link_code = "linkCode is missing or is not an 8-character code";
constexpr const char* bad_authorize_url = "authorizeUrl is missing or is not an absolute http(s) URL";
constexpr const char* bad_poll_token = "pollToken is missing or misshapen";
constexpr const char* no_status = "status is missing";
constexpr const char* unknown_status = "unknown status value";
constexpr const char* no_download = "approved without a download object";
constexpr const char* bad_download_pass = "download.downloadPass is missing or misshapen";

constexpr std::array<std::pair<std::string_view, LinkPollStatus>, 4> statuses = {{
    {"pending", LinkPollStatus::pending},
    {"approved", LinkPollStatus::approved},
    {"denied", LinkPollStatus::denied},
    {"expired", LinkPollStatus::expired},
}};
constexpr std::array<std::string_view, 2> channel_names = {"release", "test"};

// ---- character rules -------------------------------------------------------------------------

// People read the code off a screen and type it: I, L and O pass for 1 and 0, and without U
// no code spells an unfortunate word.
bool is_code_character(char c)
{
    if (c >= '0' && c <= '9')
        return true;
    return c >= 'A' && c <= 'Z' && c != 'I' && c != 'L' && c != 'O' && c != 'U';
}

bool is_base64url_character(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

bool is_token_of_kind(std::string_view text, std::string_view prefix)
{
    return text.size() == token_length && text.starts_with(prefix) &&
           std::all_of(text.begin() + static_cast<std::ptrdiff_t>(prefix.size()), text.end(),
                       is_base64url_character);
}

bool is_absolute_http_url(std::string_view url)
{
    return url.starts_with("https://") || url.starts_with("http://");
}

// ---- reading bodies --------------------------------------------------------------------------

json parse_body(std::string_view body)
{
    return json::parse(body, nullptr, /*allow_exceptions=*/false, /*ignore_comments=*/false);
}

const json* member(const json& object, const char* key)
{
    const auto found = object.find(key);
    return found == object.end() ? nullptr : &*found;
}

const std::string* string_member(const json& object, const char* key)
{
    const json* value = member(object, key);
    return value != nullptr && value->is_string() ? &value->get_ref<const std::string&>() : nullptr;
}

// The reader keeps non-negative integers unsigned and negative ones signed; fractions, exponents
// and integers beyond 64 bits become floating point, and booleans are no numbers at all.
std::int32_t count_member(const json& object, const char* key, std::int32_t fallback)
{
    const json* value = member(object, key);
    if (value == nullptr || !value->is_number_integer())
        return fallback;
    if (value->is_number_unsigned()) {
        const auto count = value->get<std::uint64_t>();
        return count >= 1 && count <= static_cast<std::uint64_t>(largest_count) ? static_cast<std::int32_t>(count)
                                                                                : fallback;
    }
    const auto count = value->get<std::int64_t>();
    return count >= 1 && count <= largest_count ? static_cast<std::int32_t>(count) : fallback;
}

std::vector<std::string> known_channels(const json& download)
{
    std::vector<std::string> channels;
    const json* list = member(download, "channels");
    if (list == nullptr || !list->is_array())
        return channels;
    for (const json& element : *list) {
        if (!element.is_string())
            continue;
        const auto& name = element.get_ref<const std::string&>();
        const bool known = std::find(channel_names.begin(), channel_names.end(), name) != channel_names.end();
        if (known && std::find(channels.begin(), channels.end(), name) == channels.end())
            channels.push_back(name);
    }
    return channels;
}

// nullptr when the body is accepted.
const char* read_start(std::string_view body, LinkStartResponse& response)
{
    const json document = parse_body(body);
    if (!document.is_object())
        return not_an_object;
    const std::string* code = string_member(document, "linkCode");
    if (code == nullptr || !is_link_code(*code))
        return bad_link_code;
    const std::string* url = string_member(document, "authorizeUrl");
    if (url == nullptr || !is_absolute_http_url(*url))
        return bad_authorize_url;
    const std::string* token = string_member(document, "pollToken");
    if (token == nullptr || !is_poll_token(*token))
        return bad_poll_token;
    response.link_code = *code;
    response.authorize_url = *url;
    response.poll_token = *token;
    response.expires_in_sec = count_member(document, "expiresInSec", response.expires_in_sec);
    response.poll_interval_sec = count_member(document, "pollIntervalSec", response.poll_interval_sec);
    return nullptr;
}

const char* read_pass(const json& document, DownloadPass& pass)
{
    const json* download = member(document, "download");
    if (download == nullptr || !download->is_object())
        return no_download;
    const std::string* token = string_member(*download, "downloadPass");
    if (token == nullptr || !is_download_pass(*token))
        return bad_download_pass;
    pass.token = *token;
    pass.expires_in_sec = count_member(*download, "expiresInSec", pass.expires_in_sec);
    pass.channels = known_channels(*download);
    if (const std::string* time = string_member(*download, "serverTimeUtc"))
        pass.server_time_utc = *time;
    return nullptr;
}

struct PollReading {
    int result = poll_body_rejected;
    const char* reason = unreadable_message;
};

PollReading read_poll(std::string_view body, LinkPollStatus& status, DownloadPass& pass)
{
    const json document = parse_body(body);
    if (!document.is_object())
        return {poll_body_not_an_object, not_an_object};
    const std::string* text = string_member(document, "status");
    if (text == nullptr)
        return {poll_body_rejected, no_status};
    const auto known = std::find_if(statuses.begin(), statuses.end(),
                                    [text](const auto& entry) { return entry.first == *text; });
    if (known == statuses.end())
        return {poll_body_rejected, unknown_status};
    // Other answers carry nothing further, whatever else the body holds.
    if (known->second == LinkPollStatus::approved) {
        if (const char* reason = read_pass(document, pass))
            return {poll_body_rejected, reason};
    }
    status = known->second;
    return {poll_body_accepted, nullptr};
}

void set_error(std::string& error, const char* reason) noexcept
{
    try {
        error = reason == nullptr ? "" : reason;
    } catch (...) {
        error.clear();
    }
}

// ---- requests and their classification -------------------------------------------------------

std::string start_body(std::string_view installer_version)
{
    json body = json::object();  // an ordered map: the keys come out sorted
    body["installerVersion"] = std::string(installer_version);
    body["platform"] = "windows";
    body["schemaVersion"] = 1;
    return body.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string api_path(std::string_view suffix)
{
    return std::string(installer_api_path) + std::string(suffix);
}

// A request that cannot be built has no URL, so the transport refuses it and the call reads as
// one without an answer, the way make_json_post reports its own failures.
HttpRequest start_request(const ClientOptions& options, std::string_view installer_version) noexcept
{
    try {
        return make_json_post(options, api_path(link_start_path), {}, start_body(installer_version));
    } catch (...) {
        return {};
    }
}

HttpRequest poll_request(const ClientOptions& options, std::string_view poll_token) noexcept
{
    try {
        return make_json_post(options, api_path(link_poll_path), poll_token, "{}");
    } catch (...) {
        return {};
    }
}

void classify_start(LinkStartResult& result)
{
    const ServiceOutcome& outcome = result.outcome;
    result.message = outcome.description;
    if (outcome.answer == ServiceAnswer::none) {
        result.kind = LinkStartKind::offline;
    } else if (is_proxy_refusal(outcome.status, outcome.through_proxy)) {
        result.kind = LinkStartKind::proxy_refused;
    } else if (is_success(outcome)) {
        std::string error;
        const bool accepted = parse_link_start(outcome.body, result.response, error);
        result.kind = accepted ? LinkStartKind::ok : LinkStartKind::failed;
        if (!accepted)
            result.message += " - " + error;
    } else {
        const bool newer_schema = outcome.answer == ServiceAnswer::contract_error &&
                                  outcome.code == ContractErrorCode::SCHEMA_UNSUPPORTED;
        result.kind = newer_schema ? LinkStartKind::update_required : LinkStartKind::failed;
    }
}

void read_poll_answer(LinkPollResult& result)
{
    LinkPollStatus status = LinkPollStatus::pending;
    std::string error;
    const int read = parse_link_poll(result.outcome.body, status, result.pass, error);
    if (read == poll_body_accepted) {
        result.kind = static_cast<LinkPollKind>(status);
        return;
    }
    // Something between us and the service (a portal, a proxy) may answer in its stead for a
    // while; a body of the service's own that breaks the contract will not get better.
    result.kind = read == poll_body_not_an_object ? LinkPollKind::retry : LinkPollKind::failed;
    result.message += " - " + error;
}

void classify_poll(LinkPollResult& result)
{
    const ServiceOutcome& outcome = result.outcome;
    result.message = outcome.description;
    if (is_success(outcome))
        read_poll_answer(result);
    else if (is_proxy_refusal(outcome.status, outcome.through_proxy))
        result.kind = LinkPollKind::proxy_refused;
    else if (outcome.answer == ServiceAnswer::contract_error && outcome.code == ContractErrorCode::INVALID_TOKEN)
        result.kind = LinkPollKind::token_rejected;
    else if (outcome.code == ContractErrorCode::RATE_LIMITED)
        result.kind = LinkPollKind::rate_limited;
    else if (is_retryable(outcome))
        result.kind = LinkPollKind::retry;
    else
        result.kind = LinkPollKind::failed;
}

}  // namespace

LinkStartResult link_start(Transport& transport, const ClientOptions& options,
                           std::string_view installer_version) noexcept
{
    LinkStartResult result;
    result.outcome = call_service(transport, start_request(options, installer_version), link_start_label);
    try {
        classify_start(result);
    } catch (...) {
        result.kind = LinkStartKind::failed;
        result.response = {};
    }
    return result;
}

LinkPollResult link_poll(Transport& transport, const ClientOptions& options, std::string_view poll_token) noexcept
{
    LinkPollResult result;
    result.outcome = call_service(transport, poll_request(options, poll_token), link_poll_label);
    try {
        classify_poll(result);
    } catch (...) {
        result.kind = LinkPollKind::failed;
        result.pass = {};
    }
    return result;
}

bool parse_link_start(std::string_view body, LinkStartResponse& response, std::string& error) noexcept
{
    const char* reason = unreadable_message;
    try {
        LinkStartResponse read;
        reason = read_start(body, read);
        if (reason == nullptr) {
            response = std::move(read);
            error.clear();
            return true;
        }
    } catch (...) {
        reason = unreadable_message;
    }
    response = {};
    set_error(error, reason);
    return false;
}

int parse_link_poll(std::string_view body, LinkPollStatus& status, DownloadPass& pass, std::string& error) noexcept
{
    status = LinkPollStatus::pending;
    PollReading reading;
    try {
        DownloadPass read;
        reading = read_poll(body, status, read);
        pass = reading.result == poll_body_accepted ? std::move(read) : DownloadPass{};
    } catch (...) {
        reading = {};
        pass = {};
    }
    if (reading.result != poll_body_accepted)
        status = LinkPollStatus::pending;
    set_error(error, reading.reason);
    return reading.result;
}

bool is_link_code(std::string_view text) noexcept
{
    return text.size() == link_code_length && std::all_of(text.begin(), text.end(), is_code_character);
}

bool is_poll_token(std::string_view text) noexcept
{
    return is_token_of_kind(text, poll_token_prefix);
}

bool is_download_pass(std::string_view text) noexcept
{
    return is_token_of_kind(text, download_pass_prefix);
}

std::string format_link_code(std::string_view code)
{
    if (code.size() != link_code_length)
        return std::string(code);
    std::string shown(code.substr(0, 4));
    shown += '-';
    shown += code.substr(4);
    return shown;
}

}  // namespace tw::client
