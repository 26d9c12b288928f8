#pragma once
// Exchange records and the one operation every service call goes through.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tw::client {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

struct HttpRequest {
    std::string method = "POST";
    std::string url;                      // absolute http or https URL, UTF-8
    HeaderList headers;                   // sent in this order; duplicates allowed
    std::string body;                     // sent only with POST
    std::int32_t timeout_ms = 15000;      // below 1 means 15000
    const std::atomic<bool>* cancel = nullptr;
};

struct HttpResponse {
    std::int32_t status = 0;  // 0 when the exchange failed
    HeaderList headers;       // names lower-cased, values trimmed of blanks and tabs
    std::string body;         // at most 1,048,576 bytes
    std::string error;        // empty exactly when the exchange completed
    // A proxy the system names for the host stood between: only then is a 407 the proxy's.
    bool through_proxy = false;
};

// Turns a request into a response synchronously. Never throws: every failure, including
// a time-out and a cancellation, is a response with status 0 and an error text.
class Transport {
public:
    virtual ~Transport() = default;
    virtual HttpResponse send(const HttpRequest& request) = 0;
};

inline HttpResponse failed_exchange(std::string error)
{
    HttpResponse response;
    response.error = std::move(error);
    return response;
}

}  // namespace tw::client
