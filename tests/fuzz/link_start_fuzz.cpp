// libFuzzer target: a link/start answer is accepted only with a code, an address and a token of
// the right shape, for exactly the reason this file works out on its own, the same way every
// time, and the exchange's kind follows from the status and the body.
//
// Input: the low three bits of byte 0 pick the HTTP status ('0' is 200, see statuses); the rest
// is the body, and also the installer version sent in the request.

#include "client/contract_error.h"
#include "client/link_messages.h"
#include "tests/fuzz/oracle.h"
#include "tests/support/test_support.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using namespace tw::client;
using nlohmann::json;

constexpr std::int32_t statuses[8] = {200, 201, 299, 400, 429, 503, 0, 404};
constexpr std::string_view code_alphabet = "0123456789ABCDEFGHJKMNPQRSTVWXYZ";

using tw::fuzz::require;
using tw::fuzz::token_alphabet;

bool only_from(std::string_view text, std::string_view alphabet)
{
    return text.find_first_not_of(alphabet) == std::string_view::npos;
}

const std::string* text_member(const json& object, const char* key)
{
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? &found->get_ref<const std::string&>() : nullptr;
}

// Read from the number as written back out, not from the reader's integer types.
std::int32_t expected_count(const json& object, const char* key, std::int32_t fallback)
{
    const auto found = object.find(key);
    if (found == object.end() || !found->is_number())
        return fallback;
    const std::string written = found->dump();
    if (written.empty() || written.size() > 10 || written[0] < '1' || written[0] > '9' ||
        !only_from(written, "0123456789"))
        return fallback;
    const long long value = std::stoll(written);
    return value <= 2147483647 ? static_cast<std::int32_t>(value) : fallback;
}

std::string expected_error(const json& document)
{
    if (!document.is_object())
        return "the body is not a JSON object";
    const std::string* code = text_member(document, "linkCode");
    if (code == nullptr || code->size() != 8 || !only_from(*code, code_alphabet))
        return "linkCode is missing or is not an 8-character code";
    const std::string* url = text_member(document, "authorizeUrl");
    if (url == nullptr || (url->rfind("https://", 0) != 0 && url->rfind("http://", 0) != 0))
        return "authorizeUrl is missing or is not an absolute http(s) URL";
    const std::string* token = text_member(document, "pollToken");
    if (token == nullptr || token->size() != 48 || token->rfind("twdl_", 0) != 0 ||
        !only_from(std::string_view(*token).substr(5), token_alphabet))
        return "pollToken is missing or misshapen";
    return {};
}

bool same(const LinkStartResponse& a, const LinkStartResponse& b)
{
    return a.link_code == b.link_code && a.authorize_url == b.authorize_url && a.poll_token == b.poll_token &&
           a.expires_in_sec == b.expires_in_sec && a.poll_interval_sec == b.poll_interval_sec;
}

bool is_default(const LinkStartResponse& response)
{
    return same(response, LinkStartResponse{});
}

void check_parse(std::string_view body)
{
    LinkStartResponse response;
    std::string error;
    const bool accepted = parse_link_start(body, response, error);

    LinkStartResponse again;
    std::string error_again;
    require(parse_link_start(body, again, error_again) == accepted);
    require(error_again == error && same(again, response));

    const json document = json::parse(body, nullptr, false, false);
    require(error == expected_error(document));
    require(accepted == error.empty());
    if (!accepted) {
        require(is_default(response));
        return;
    }
    require(response.link_code == *text_member(document, "linkCode"));
    require(response.authorize_url == *text_member(document, "authorizeUrl"));
    require(response.poll_token == *text_member(document, "pollToken"));
    require(response.expires_in_sec >= 1 && response.poll_interval_sec >= 1);
    require(response.expires_in_sec == expected_count(document, "expiresInSec", 900));
    require(response.poll_interval_sec == expected_count(document, "pollIntervalSec", 5));
}

void check_request(const HttpRequest& request, std::string_view sent_version)
{
    require(request.url == "https://tarnwick.example/api/installer/v1/link/start");
    const json sent = json::parse(request.body, nullptr, false, false);
    require(sent.is_object() && sent.size() == 3);
    require(sent.value("platform", "") == "windows" && sent.value("schemaVersion", 0) == 1);
    require(request.body.starts_with("{\"installerVersion\":\"") &&
            request.body.ends_with("\",\"platform\":\"windows\",\"schemaVersion\":1}"));
    const std::string* version = text_member(sent, "installerVersion");
    require(version != nullptr);
    const bool plain = only_from(sent_version, token_alphabet);
    require(!plain || *version == sent_version);
}

HttpResponse answer_of(std::int32_t status, std::string_view body)
{
    if (status == 0)
        return failed_exchange("cannot connect");
    HttpResponse response;
    response.status = status;
    response.body = body;
    return response;
}

void check_exchange(std::int32_t status, std::string_view body)
{
    ClientOptions options;
    options.base_url = "https://tarnwick.example";
    tw::client::testing::CannedTransport transport(answer_of(status, body),
                                                   [body](const HttpRequest& request) { check_request(request, body); });
    const LinkStartResult result = link_start(transport, options, body);
    const std::string head = "I-1 link/start: ";
    require(result.message.starts_with(head));
    if (status == 0) {
        require(result.kind == LinkStartKind::offline);
        require(result.message == result.outcome.description);
        return;
    }
    if (status >= 200 && status <= 299) {
        const std::string error = expected_error(json::parse(body, nullptr, false, false));
        require(result.kind == (error.empty() ? LinkStartKind::ok : LinkStartKind::failed));
        require(result.message == head + std::to_string(status) + (error.empty() ? "" : " - " + error));
        return;
    }
    const std::optional<ContractError> contract = parse_contract_error(body);
    const bool newer_schema = contract && contract->code == "SCHEMA_UNSUPPORTED";
    require(result.kind == (newer_schema ? LinkStartKind::update_required : LinkStartKind::failed));
    require(is_default(result.response));
    require(result.message == result.outcome.description);
    if (status == 429 && !contract)
        require(result.outcome.code == ContractErrorCode::RATE_LIMITED);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::int32_t status = statuses[data[0] & 0x07];
    const std::string_view body(reinterpret_cast<const char*>(data) + 1, size - 1);
    check_parse(body);
    check_exchange(status, body);
    return 0;
}
