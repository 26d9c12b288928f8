// libFuzzer target: whatever the service or a transport sends back becomes one consistent
// outcome whose description is one line of valid UTF-8 that never shows the bearer token.
//
// Input: byte 0 picks the status (low five bits) and whether a retry-after header comes
// (bit 5); byte 1 is the length of that header's value (modulo 24) and the character limit of
// the direct display-text check; the header value follows, then the body. A failed exchange
// gets the body as its error text. Every "$" stands for the token.

#include "client/display_text.h"
#include "client/service.h"
#include "tests/fuzz/oracle.h"
#include "tests/support/test_support.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>

namespace {

using namespace tw::client;

constexpr std::int32_t statuses[32] = {
    0,   -1,  199, 200, 201, 204, 299, 300, 302, 304, 400, 401, 403, 404, 409, 413,
    418, 422, 429, 451, 499, 500, 501, 502, 503, 504, 599, 600, 999, 100, 2147483647, -2147483647 - 1,
};
constexpr std::string_view service_codes[] = {
    "MALFORMED_REQUEST", "INVALID_TOKEN",   "TOKEN_REVOKED",      "TELEMETRY_DISABLED", "CONSENT_REQUIRED", "UNKNOWN_RESOURCE",
    "UNKNOWN_PRODUCT",   "PAYLOAD_TOO_LARGE", "SCHEMA_UNSUPPORTED", "RATE_LIMITED",       "SERVER_ERROR",
};
constexpr std::string_view poll_label = "I-2 link/poll";
constexpr std::string_view sample_token = "twdp_SECRET";

using tw::fuzz::require;

// Decodes by code point value rather than by the byte ranges the sanitiser uses, so the two
// readings of the rules check each other. Counts characters; -1 when the text is not UTF-8.
long utf8_characters(std::string_view text)
{
    static constexpr std::uint32_t smallest_point[] = {0, 0, 0x80, 0x800, 0x10000};
    long characters = 0;
    for (std::size_t i = 0; i < text.size(); ++characters) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        std::uint32_t point = 0;
        if (lead < 0x80) {
            length = 1;
            point = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            point = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            point = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            point = lead & 0x07;
        } else {
            return -1;
        }
        if (text.size() - i < length)
            return -1;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return -1;
            point = (point << 6) | (next & 0x3F);
        }
        if (point < smallest_point[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
            return -1;
        i += length;
    }
    return characters;
}

bool has_control_byte(std::string_view text)
{
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            return true;
    }
    return false;
}

bool is_one_clean_line(std::string_view text)
{
    return utf8_characters(text) >= 0 && !has_control_byte(text);
}

void check_display_text(std::string_view text, std::size_t max_chars)
{
    const std::string shown = sanitize_for_display(text, max_chars);
    require(is_one_clean_line(shown));
    require(static_cast<std::size_t>(utf8_characters(shown)) <= max_chars);
    require(sanitize_for_display(shown, max_chars) == shown);
    const long characters = utf8_characters(text);
    if (characters >= 0 && static_cast<std::size_t>(characters) <= max_chars && !has_control_byte(text))
        require(shown == text);
}

void check_contract_error(const std::optional<ContractError>& error)
{
    if (!error)
        return;
    require(error->retry_after_seconds.value_or(0) >= 0);
    // Every string the JSON reader accepted is UTF-8 already.
    require(utf8_characters(error->code) >= 0 && utf8_characters(error->message) >= 0);
}

void check_failed_status(const ServiceOutcome& outcome, const std::optional<ContractError>& error)
{
    require(outcome.code != ContractErrorCode::NONE);
    require((outcome.answer == ServiceAnswer::contract_error) == error.has_value());
    require((outcome.answer == ServiceAnswer::plain_error) == !error.has_value());
    if (error) {
        const bool recognised = outcome.code != ContractErrorCode::UNRECOGNIZED;
        require(recognised == (std::find(std::begin(service_codes), std::end(service_codes), error->code) !=
                               std::end(service_codes)));
        require(!recognised || display_name(outcome.code) == error->code);
        if (error->retry_after_seconds)
            require(outcome.retry_after_seconds == error->retry_after_seconds);
    } else if (outcome.status >= 500) {
        require(outcome.code == ContractErrorCode::SERVER_ERROR);
    } else {
        require(outcome.code == (outcome.status == 429 ? ContractErrorCode::RATE_LIMITED
                                                       : ContractErrorCode::NO_CONTRACT_BODY));
    }
    if (outcome.retry_after_seconds) {
        const std::string tail = ", retry after " + std::to_string(*outcome.retry_after_seconds) + " s";
        require(outcome.description.ends_with(tail));
    }
}

void check_outcome(const ServiceOutcome& outcome, const HttpResponse& response)
{
    const std::string head = std::string(poll_label) + ": ";
    require(outcome.status == response.status);
    require(outcome.body == response.body);
    require(outcome.description.starts_with(head));
    require(is_one_clean_line(outcome.description));
    require(outcome.retry_after_seconds.value_or(0) >= 0);
    require(!(is_success(outcome) && is_retryable(outcome)));
    if (response.status <= 0) {
        require(outcome.answer == ServiceAnswer::none && is_retryable(outcome));
        require(outcome.code == ContractErrorCode::NONE && !outcome.retry_after_seconds);
        require(outcome.description.starts_with(head + "transport failure ("));
    } else if (response.status >= 200 && response.status <= 299) {
        require(outcome.answer == ServiceAnswer::success && is_success(outcome));
        require(outcome.code == ContractErrorCode::NONE && !outcome.retry_after_seconds);
        require(outcome.description == head + std::to_string(response.status));
    } else {
        require(!is_success(outcome));
        check_failed_status(outcome, parse_contract_error(response.body));
    }
}

std::string with_token(std::string_view text)
{
    std::string replaced;
    for (const char c : text) {
        if (c == '$')
            replaced += sample_token;
        else
            replaced += c;
    }
    return replaced;
}

void check_request(const HttpRequest& request)
{
    require(request.headers.size() == 4 && request.headers[2].second == "Bearer " + std::string(sample_token));
}

HttpResponse response_of(std::int32_t status, std::string_view retry_after, bool with_header, std::string_view body)
{
    HttpResponse response;
    response.status = status;
    if (status <= 0) {
        response.error.assign(body);
        return response;
    }
    if (with_header)
        response.headers.emplace_back("retry-after", std::string(retry_after));
    response.body.assign(body);
    return response;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const std::int32_t status = statuses[data[0] & 0x1F];
    const bool with_header = (data[0] & 0x20) != 0;
    const std::size_t header_length = std::min<std::size_t>(data[1] % 24, size - 2);
    const std::string_view rest(reinterpret_cast<const char*>(data) + 2, size - 2);
    const std::string_view retry_after = rest.substr(0, header_length);
    const std::string_view body = rest.substr(header_length);

    check_display_text(body, data[1]);
    check_contract_error(parse_contract_error(body));

    const HttpResponse response = response_of(status, retry_after, with_header, body);
    check_outcome(classify_response(response, poll_label), response);

    ClientOptions options;
    options.base_url = "https://tarnwick.example/";
    tw::client::testing::CannedTransport transport(response_of(status, retry_after, with_header, with_token(body)),
                                                   check_request);
    const ServiceOutcome called =
        call_service(transport, make_json_post(options, "/api/installer/v1/link/poll", sample_token, "{}"), poll_label);
    require(called.description.find(sample_token) == std::string::npos);
    require(is_one_clean_line(called.description));
    return 0;
}
