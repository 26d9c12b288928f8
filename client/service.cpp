#include "client/service.h"

#include "client/display_text.h"
#include "client/http_rules.h"

#include <algorithm>
#include <charconv>
#include <utility>

namespace tw::client {
namespace {

constexpr std::string_view bearer_prefix = "Bearer ";
constexpr std::string_view redacted_marker = "[redacted]";

bool is_success_status(std::int32_t status)
{
    return status >= 200 && status <= 299;
}

std::string join_url(std::string_view base_url, std::string_view path)
{
    const auto last_kept = base_url.find_last_not_of('/');
    std::string url(base_url.substr(0, last_kept == std::string_view::npos ? 0 : last_kept + 1));
    if (!path.empty() && path.front() != '/')
        url += '/';
    url += path;
    return url;
}

bool is_ascii_digit(char c)
{
    return c >= '0' && c <= '9';
}

// Only delay-seconds: an HTTP date, a sign or a fraction gives no hint.
std::optional<std::int64_t> read_header_seconds(std::string_view value)
{
    const std::string_view digits = trim_blanks(value);
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), is_ascii_digit))
        return std::nullopt;
    std::int64_t parsed = 0;
    const char* end = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), end, parsed);
    if (error != std::errc() || stop != end)
        return std::nullopt;
    return parsed;
}

// The transport delivers header names in lower case.
std::optional<std::int64_t> read_header_retry_after(const HeaderList& headers)
{
    const auto found = std::find_if(headers.begin(), headers.end(),
                                    [](const auto& header) { return header.first == "retry-after"; });
    return found == headers.end() ? std::nullopt : read_header_seconds(found->second);
}

ContractErrorCode code_without_contract(std::int32_t status)
{
    if (status >= 500)
        return ContractErrorCode::SERVER_ERROR;
    if (status == 429)
        return ContractErrorCode::RATE_LIMITED;
    return ContractErrorCode::NO_CONTRACT_BODY;
}

void judge_failed_status(ServiceOutcome& outcome, const std::optional<ContractError>& error,
                         const HeaderList& headers)
{
    if (error) {
        outcome.answer = ServiceAnswer::contract_error;
        outcome.code = service_code_named(error->code);
        outcome.retry_after_seconds = error->retry_after_seconds;
    } else {
        outcome.answer = ServiceAnswer::plain_error;
        outcome.code = code_without_contract(outcome.status);
    }
    if (!outcome.retry_after_seconds)
        outcome.retry_after_seconds = read_header_retry_after(headers);
}

std::string transport_failure_detail(std::string_view error)
{
    std::string detail = sanitize_for_display(error, detail_display_chars);
    return detail.empty() ? std::string("no response") : detail;
}

std::string contract_detail(ContractErrorCode code, const ContractError& error)
{
    std::string detail = code == ContractErrorCode::UNRECOGNIZED
                             ? "unrecognized code '" + sanitize_for_display(error.code, label_display_chars) + "'"
                             : std::string(display_name(code));
    if (!error.message.empty())
        detail += " - " + sanitize_for_display(error.message, detail_display_chars);
    return detail;
}

std::string describe(const ServiceOutcome& outcome, const std::optional<ContractError>& error,
                     std::string_view transport_error, std::size_t body_size, std::string_view operation)
{
    std::string text = sanitize_for_display(operation, label_display_chars) + ": ";
    if (outcome.answer == ServiceAnswer::none)
        return text + "transport failure (" + transport_failure_detail(transport_error) + ")";
    text += std::to_string(outcome.status);
    if (outcome.answer == ServiceAnswer::success)
        return text;
    if (error) {
        text += ' ';
        text += contract_detail(outcome.code, *error);
    } else {
        text += " without a contract error body (" + std::to_string(body_size) + " bytes)";
    }
    if (outcome.retry_after_seconds)
        text += ", retry after " + std::to_string(*outcome.retry_after_seconds) + " s";
    return text;
}

// True when text[at, at + length) lies inside a marker put there by an earlier pass.
bool inside_marker(std::string_view text, std::size_t at, std::size_t length)
{
    const auto marker = text.rfind(redacted_marker, at);
    return marker != std::string_view::npos && marker + redacted_marker.size() >= at + length;
}

void replace_every(std::string& text, std::string_view token)
{
    for (auto at = text.find(token); at != std::string::npos;) {
        if (inside_marker(text, at, token.size())) {
            at = text.find(token, at + 1);
            continue;
        }
        text.replace(at, token.size(), redacted_marker);
        at = text.find(token, at + redacted_marker.size());
    }
}

// Servers echo what they were sent; the token must not travel on in a diagnostic.
void redact_bearer(std::string& text, const HeaderList& headers)
{
    for (const auto& [name, value] : headers) {
        if (name != "Authorization")
            continue;
        std::string_view token = value;
        if (token.starts_with(bearer_prefix))
            token.remove_prefix(bearer_prefix.size());
        if (!token.empty())
            replace_every(text, token);
    }
}

// With the request's headers at hand, the texts the description quotes lose the bearer token
// before they are cut to length: a token cut in two would escape the final redaction.
ServiceOutcome classify(const HttpResponse& response, std::string_view operation,
                        const HeaderList* bearer_headers) noexcept
{
    ServiceOutcome outcome;
    outcome.status = response.status;
    outcome.through_proxy = response.through_proxy;
    std::optional<ContractError> error;
    if (response.status <= 0) {
        outcome.answer = ServiceAnswer::none;
    } else if (is_success_status(response.status)) {
        outcome.answer = ServiceAnswer::success;
    } else {
        error = parse_contract_error(response.body);
        judge_failed_status(outcome, error, response.headers);
    }
    try {
        outcome.body = response.body;
        std::string transport_error = response.error;
        if (bearer_headers) {
            redact_bearer(transport_error, *bearer_headers);
            if (error) {
                redact_bearer(error->code, *bearer_headers);
                redact_bearer(error->message, *bearer_headers);
            }
        }
        outcome.description = describe(outcome, error, transport_error, response.body.size(), operation);
    } catch (...) {
        outcome.description.clear();
    }
    return outcome;
}

HttpResponse send_guarded(Transport& transport, const HttpRequest& request) noexcept
{
    try {
        return transport.send(request);
    } catch (...) {
    }
    try {
        return failed_exchange("transport failed (internal error)");
    } catch (...) {
        return {};
    }
}

}  // namespace

HttpRequest make_request(const ClientOptions& options, std::string_view method, std::string_view path,
                         std::string_view bearer) noexcept
{
    try {
        HttpRequest request;
        request.method.assign(method);
        request.url = join_url(options.base_url, path);
        request.headers.emplace_back("User-Agent", options.user_agent);
        request.headers.emplace_back("Accept", "application/json");
        if (!bearer.empty())
            request.headers.emplace_back("Authorization", std::string(bearer_prefix) + std::string(bearer));
        request.timeout_ms = options.timeout_ms;
        request.cancel = options.cancel;
        return request;
    } catch (...) {
        return {};
    }
}

HttpRequest make_json_post(const ClientOptions& options, std::string_view path, std::string_view bearer,
                           std::string json_body) noexcept
{
    HttpRequest request = make_request(options, "POST", path, bearer);
    try {
        request.headers.emplace_back("Content-Type", "application/json");
        request.body = std::move(json_body);
        return request;
    } catch (...) {
        return {};
    }
}

ServiceOutcome call_service(Transport& transport, const HttpRequest& request, std::string_view operation) noexcept
{
    ServiceOutcome outcome = classify(send_guarded(transport, request), operation, &request.headers);
    try {
        redact_bearer(outcome.description, request.headers);
    } catch (...) {
        outcome.description.clear();
    }
    return outcome;
}

ServiceOutcome classify_response(const HttpResponse& response, std::string_view operation) noexcept
{
    return classify(response, operation, nullptr);
}

bool is_success(const ServiceOutcome& outcome) noexcept
{
    return outcome.answer == ServiceAnswer::success;
}

bool is_retryable(const ServiceOutcome& outcome) noexcept
{
    return outcome.answer == ServiceAnswer::none || outcome.status >= 500 ||
           outcome.code == ContractErrorCode::RATE_LIMITED || outcome.code == ContractErrorCode::NO_CONTRACT_BODY;
}

}  // namespace tw::client
