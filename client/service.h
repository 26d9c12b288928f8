#pragma once
// Calls of the installer API: the requests they send, and one outcome with a one-line
// description for whatever comes back.

#include "client/contract_error.h"
#include "client/http.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tw::client {

struct ClientOptions {
    std::string base_url;  // the site's origin; trailing "/" characters are ignored
    std::string user_agent;
    std::int32_t timeout_ms = 15000;  // copied into every request
    const std::atomic<bool>* cancel = nullptr;
};

enum class ServiceAnswer : std::uint8_t {
    none,            // no HTTP response was obtained
    success,         // a status from 200 to 299
    contract_error,  // any other status, with the service's error body
    plain_error,     // any other status, without one
};

struct ServiceOutcome {
    ServiceAnswer answer = ServiceAnswer::none;
    std::int32_t status = 0;
    ContractErrorCode code = ContractErrorCode::NONE;
    std::optional<std::int64_t> retry_after_seconds;
    bool through_proxy = false;  // a proxy named for the host stood between
    std::string body;         // as received
    std::string description;  // one line: label ": " detail, with the bearer token redacted
};

// User-Agent (even when empty), Accept: application/json and, only with a bearer, Authorization.
// When the request cannot be built it has no URL, so the transport refuses it.
HttpRequest make_request(const ClientOptions& options, std::string_view method, std::string_view path,
                         std::string_view bearer) noexcept;

// A POST of the given JSON text, with Content-Type after the headers of make_request.
HttpRequest make_json_post(const ClientOptions& options, std::string_view path, std::string_view bearer,
                           std::string json_body) noexcept;

// Sends, classifies under the operation's label and redacts the request's bearer token from
// the description. Never throws, even when the transport does.
ServiceOutcome call_service(Transport& transport, const HttpRequest& request, std::string_view operation) noexcept;

// A contract body's retry hint wins over a Retry-After header of plain seconds.
ServiceOutcome classify_response(const HttpResponse& response, std::string_view operation) noexcept;

bool is_success(const ServiceOutcome& outcome) noexcept;

// Worth asking again later: no answer, a server failure, a rate limit, or an answer that is not
// the service's own (a proxy or a gateway in between).
bool is_retryable(const ServiceOutcome& outcome) noexcept;

}  // namespace tw::client
