// libFuzzer target: a link/poll answer is read the same way every time, an approval carries a
// pass of the right shape with known channels only, each once, every rejection has the reason
// this file works out on its own, and the exchange's kind follows from status, error body and
// body. The poll token never reaches the message.
//
// Input: the low three bits of byte 0 pick the HTTP status ('0' is 200, see statuses); the rest
// is the body, in which every "$" stands for the poll token, as a server echoing it would send.

#include "client/contract_error.h"
#include "client/link_messages.h"
#include "tests/fuzz/oracle.h"
#include "tests/support/test_support.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace tw::client;
using nlohmann::json;

constexpr std::int32_t statuses[8] = {200, 201, 401, 404, 429, 503, 0, 400};
constexpr std::string_view sample_poll_token = "twdl_0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcde-_";

using tw::fuzz::require;
using tw::fuzz::token_alphabet;

const std::string* text_member(const json& object, const char* key)
{
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? &found->get_ref<const std::string&>() : nullptr;
}

bool is_pass_shaped(std::string_view token)
{
    return token.size() == 48 && token.substr(0, 5) == "twdp_" &&
           token.substr(5).find_first_not_of(token_alphabet) == std::string_view::npos;
}

struct Expected {
    int result = 0;
    std::string error;
    LinkPollKind kind = LinkPollKind::pending;
};

Expected expected_reading(const json& document)
{
    if (!document.is_object())
        return {1, "the body is not a JSON object", LinkPollKind::retry};
    const std::string* status = text_member(document, "status");
    if (status == nullptr)
        return {2, "status is missing", LinkPollKind::failed};
    const char* names[] = {"pending", "approved", "denied", "expired"};
    const auto known = std::find(std::begin(names), std::end(names), *status);
    if (known == std::end(names))
        return {2, "unknown status value", LinkPollKind::failed};
    const auto kind = static_cast<LinkPollKind>(known - std::begin(names));
    if (kind != LinkPollKind::approved)
        return {0, "", kind};
    const auto download = document.find("download");
    if (download == document.end() || !download->is_object())
        return {2, "approved without a download object", LinkPollKind::failed};
    const std::string* pass = text_member(*download, "downloadPass");
    if (pass == nullptr || !is_pass_shaped(*pass))
        return {2, "download.downloadPass is missing or misshapen", LinkPollKind::failed};
    return {0, "", kind};
}

bool is_default(const DownloadPass& pass)
{
    return pass.token.empty() && pass.expires_in_sec == 3600 && pass.channels.empty() && pass.server_time_utc.empty();
}

bool same(const DownloadPass& a, const DownloadPass& b)
{
    return a.token == b.token && a.expires_in_sec == b.expires_in_sec && a.channels == b.channels &&
           a.server_time_utc == b.server_time_utc;
}

void check_pass(const DownloadPass& pass, const json& download)
{
    require(is_pass_shaped(pass.token) && pass.token == *text_member(download, "downloadPass"));
    require(pass.expires_in_sec >= 1);
    for (std::size_t i = 0; i < pass.channels.size(); ++i) {
        require(pass.channels[i] == "release" || pass.channels[i] == "test");
        require(std::count(pass.channels.begin(), pass.channels.end(), pass.channels[i]) == 1);
    }
    // Every known name that the array holds is kept, in the order of its first appearance.
    std::vector<std::string> seen;
    const auto list = download.find("channels");
    if (list != download.end() && list->is_array()) {
        for (const json& element : *list) {
            if (element == "release" || element == "test") {
                if (std::find(seen.begin(), seen.end(), element.get<std::string>()) == seen.end())
                    seen.push_back(element.get<std::string>());
            }
        }
    }
    require(seen == pass.channels);
    const std::string* time = text_member(download, "serverTimeUtc");
    require(pass.server_time_utc == (time != nullptr ? *time : std::string()));
}

void check_parse(std::string_view body)
{
    LinkPollStatus status = LinkPollStatus::expired;
    DownloadPass pass;
    std::string error;
    const int result = parse_link_poll(body, status, pass, error);

    LinkPollStatus status_again = LinkPollStatus::denied;
    DownloadPass pass_again;
    std::string error_again;
    require(parse_link_poll(body, status_again, pass_again, error_again) == result);
    require(status_again == status && error_again == error && same(pass_again, pass));

    const json document = json::parse(body, nullptr, false, false);
    const Expected expected = expected_reading(document);
    require(result == expected.result && error == expected.error);
    if (result != 0) {
        require(status == LinkPollStatus::pending && is_default(pass));
        return;
    }
    require(static_cast<int>(status) == static_cast<int>(expected.kind));
    if (status == LinkPollStatus::approved)
        check_pass(pass, document["download"]);
    else
        require(is_default(pass));
}

LinkPollKind expected_failure_kind(std::int32_t status, const std::optional<ContractError>& contract)
{
    if (!contract)
        return status == 429 ? LinkPollKind::rate_limited : LinkPollKind::retry;
    if (contract->code == "INVALID_TOKEN")
        return LinkPollKind::token_rejected;
    if (contract->code == "RATE_LIMITED")
        return LinkPollKind::rate_limited;
    return status >= 500 ? LinkPollKind::retry : LinkPollKind::failed;
}

void check_request(const HttpRequest& request)
{
    require(request.url == "https://tarnwick.example/api/installer/v1/link/poll" && request.body == "{}");
    require(request.headers.size() == 4 && request.headers[2].second == "Bearer " + std::string(sample_poll_token));
}

HttpResponse answer_of(std::int32_t status, const std::string& body)
{
    if (status == 0)
        return failed_exchange(body);
    HttpResponse response;
    response.status = status;
    response.body = body;
    return response;
}

std::string with_token(std::string_view text)
{
    std::string replaced;
    for (const char c : text) {
        if (c == '$')
            replaced += sample_poll_token;
        else
            replaced += c;
    }
    return replaced;
}

void check_exchange(std::int32_t status, const std::string& body)
{
    ClientOptions options;
    options.base_url = "https://tarnwick.example/";
    tw::client::testing::CannedTransport transport(answer_of(status, body), check_request);
    const LinkPollResult result = link_poll(transport, options, sample_poll_token);
    require(result.message.starts_with("I-2 link/poll: "));
    require(result.message.find(sample_poll_token) == std::string::npos);
    if (result.kind != LinkPollKind::approved)
        require(is_default(result.pass));
    if (status == 0) {
        require(result.kind == LinkPollKind::retry);
        return;
    }
    if (status >= 200 && status <= 299) {
        const Expected expected = expected_reading(json::parse(body, nullptr, false, false));
        require(result.kind == expected.kind);
        require(result.message == "I-2 link/poll: " + std::to_string(status) +
                                      (expected.error.empty() ? "" : " - " + expected.error));
        return;
    }
    const std::optional<ContractError> contract = parse_contract_error(body);
    require(result.kind == expected_failure_kind(status, contract));
    if (contract && contract->retry_after_seconds)
        require(result.outcome.retry_after_seconds == contract->retry_after_seconds);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::int32_t status = statuses[data[0] & 0x07];
    const std::string body = with_token(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
    check_parse(body);
    check_exchange(status, body);
    return 0;
}
