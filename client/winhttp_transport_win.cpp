#include "client/winhttp_transport_win.h"

#include "client/http_rules.h"
#include "client/text_win.h"
#include "client/winhttp_request_win.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace tw::client::platform {
namespace {

using std::chrono::milliseconds;

// The lines for WinHTTP, the bearer's apart: it goes to the site host alone.
struct WideHeaders {
    std::vector<std::wstring> lines;
    std::vector<std::wstring> pass_lines;
    std::wstring agent;
    bool valid = false;
};

WideHeaders widen_headers(const HeaderList& headers)
{
    WideHeaders wide;
    const PreparedHeaders prepared = prepare_request_headers(headers);
    if (!prepared.valid)
        return wide;
    for (const std::string& line : prepared.lines) {
        std::wstring wide_line = widen(line);
        if (wide_line.empty())
            return wide;
        (starts_with_ascii_ci(line, "authorization:") ? wide.pass_lines : wide.lines).push_back(std::move(wide_line));
    }
    wide.agent = widen(prepared.agent);
    wide.valid = true;
    return wide;
}

// Appends to `body` until the server has nothing more or the cap is reached; empty on success.
std::string read_body(WinHttpRequest& request, std::string& body)
{
    while (body.size() < response_body_cap) {
        StepResult available = request.available();
        if (!available.done() || available.bytes == 0)
            return std::move(available.error);
        const auto wanted = static_cast<DWORD>(
            std::min<std::size_t>({available.bytes, request.buffer().size(), response_body_cap - body.size()}));
        StepResult read = request.read(0, wanted);
        if (!read.done() || read.bytes == 0)
            return std::move(read.error);
        body.append(request.buffer().data(), read.bytes);
    }
    return {};
}

// A redirect the rules would not follow is the answer: the caller reads it as an unexpected one.
bool answer_stands(RequestFailure failure)
{
    return failure == RequestFailure::none || failure == RequestFailure::foreign_hop ||
           failure == RequestFailure::no_location || failure == RequestFailure::too_many_hops;
}

HttpResponse exchange(const HttpRequest& request)
{
    if (std::string error = check_method_scheme_and_body(request); !error.empty())
        return failed_exchange(std::move(error));
    const WideHeaders headers = widen_headers(request.headers);
    const std::int32_t limit = effective_timeout_ms(request.timeout_ms);
    RequestRules rules;
    rules.agent = headers.agent;
    rules.resolve_ms = rules.connect_ms = rules.send_ms = rules.receive_ms = static_cast<DWORD>(limit);
    rules.deadline = MonotonicClock::now() + milliseconds(limit);
    rules.cancel = request.cancel;
    WinHttpRequest winhttp(std::move(rules));
    Ask ask;
    ask.method = request.method;
    ask.url = request.url;
    ask.body = request.method == "POST" ? request.body : std::string();
    ask.lines = headers.lines;
    ask.pass_lines = headers.pass_lines;
    if (!headers.valid) {
        std::string refusal = address_refusal(request.url);
        return failed_exchange(refusal.empty() ? "invalid request header" : std::move(refusal));
    }
    const bool answered = winhttp.fetch(ask);
    if (!answered && !answer_stands(winhttp.failure()))
        return failed_exchange(winhttp.error());

    const std::optional<std::wstring> raw = winhttp.raw_headers();
    if (!raw)
        return failed_exchange(winhttp.error());
    HttpResponse response;
    std::string error = read_body(winhttp, response.body);
    if (!error.empty())
        return failed_exchange(std::move(error));
    response.status = static_cast<std::int32_t>(winhttp.status());
    response.headers = parse_raw_headers(narrow(*raw));
    response.through_proxy = winhttp.through_proxy();
    return response;
}

class WinHttpTransport final : public Transport {
public:
    HttpResponse send(const HttpRequest& request) override
    {
        try {
            return exchange(request);
        } catch (...) {
            return failed_exchange("transport failed (internal error)");
        }
    }
};

}  // namespace

std::shared_ptr<Transport> make_winhttp_transport()
{
    return std::make_shared<WinHttpTransport>();
}

}  // namespace tw::client::platform
