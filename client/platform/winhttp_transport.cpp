#include "client/platform/winhttp_transport.h"

#include "client/http_rules.h"
#include "client/platform/async_request.h"
#include "client/platform/proxy_access.h"
#include "client/platform/proxy_auth.h"
#include "client/platform/scoped_win.h"
#include "client/platform/text.h"
#include "client/platform/tls_floor.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tw::client::platform {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds close_grace{2000};

struct Target {
    std::wstring host;
    INTERNET_PORT port = 0;
    std::wstring path;
    std::string error;
};

Target crack_target(const std::string& url)
{
    Target target;
    const std::wstring wide_url = widen(with_root_path(url));
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUserNameLength = parts.dwPasswordLength =
        parts.dwUrlPathLength = parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (wide_url.empty() || !WinHttpCrackUrl(wide_url.c_str(), 0, 0, &parts) || !parts.lpszHostName ||
        parts.dwHostNameLength == 0) {
        target.error = "the URL did not parse";
        return target;
    }
    if (parts.dwUserNameLength != 0 || parts.dwPasswordLength != 0) {
        target.error = "URL credentials are not supported";
        return target;
    }
    target.host.assign(parts.lpszHostName, parts.dwHostNameLength);
    target.port = parts.nPort;
    const wchar_t* path_start = parts.lpszUrlPath ? parts.lpszUrlPath
                                : parts.lpszExtraInfo ? parts.lpszExtraInfo
                                                      : wide_url.c_str() + wide_url.size();
    const std::wstring_view path_onwards(path_start, wide_url.c_str() + wide_url.size() - path_start);
    target.path = widen(request_target(narrow(path_onwards)));
    return target;
}

// The UTF-16 header lines, or an empty list with `valid` false when one cannot be sent.
struct WideHeaders {
    std::vector<std::wstring> lines;
    std::wstring agent;
    bool carries_authorization = false;
    bool valid = false;
};

WideHeaders widen_headers(const HeaderList& headers)
{
    WideHeaders wide;
    const PreparedHeaders prepared = prepare_request_headers(headers);
    if (!prepared.valid)
        return wide;
    for (const std::string& line : prepared.lines) {
        wide.lines.push_back(widen(line));
        if (wide.lines.back().empty())
            return wide;
    }
    wide.agent = widen(prepared.agent);
    wide.carries_authorization = prepared.carries_authorization;
    wide.valid = true;
    return wide;
}

bool set_dword_option(HINTERNET handle, DWORD option, DWORD value)
{
    return WinHttpSetOption(handle, option, &value, sizeof value) != FALSE;
}

// A bearer must not follow the request to whichever host a redirect names, and WinHTTP
// re-sends added headers on a redirect: such a request gets its 3xx back unfollowed.
bool set_redirect_policy(HINTERNET request, bool carries_authorization)
{
    set_dword_option(request, WINHTTP_OPTION_REDIRECT_POLICY,
                     WINHTTP_OPTION_REDIRECT_POLICY_DISALLOW_HTTPS_TO_HTTP);
    if (!carries_authorization)
        return true;
    return set_dword_option(request, WINHTTP_OPTION_REDIRECT_POLICY, WINHTTP_OPTION_REDIRECT_POLICY_NEVER);
}

bool add_header_lines(HINTERNET request, const std::vector<std::wstring>& lines)
{
    for (const std::wstring& line : lines) {
        DWORD flags = WINHTTP_ADDREQ_FLAG_ADD;
        if (header_line_replaces(narrow(line)))
            flags |= WINHTTP_ADDREQ_FLAG_REPLACE;
        if (!WinHttpAddRequestHeaders(request, line.c_str(), static_cast<DWORD>(-1), flags))
            return false;
    }
    return true;
}

std::string failed_step(const char* step)
{
    return step_failure_text(step, GetLastError());
}

struct StatusAndHeaders {
    std::int32_t status = 0;
    HeaderList headers;
    std::string error;
};

StatusAndHeaders query_status_and_headers(HINTERNET request)
{
    StatusAndHeaders result;
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX)) {
        result.error = failed_step("WinHttpQueryHeaders(status)");
        return result;
    }
    size = 0;
    if (WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                            WINHTTP_NO_OUTPUT_BUFFER, &size, WINHTTP_NO_HEADER_INDEX) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER || size < 2) {
        result.error = failed_step("WinHttpQueryHeaders(headers)");
        return result;
    }
    std::vector<wchar_t> raw(size / sizeof(wchar_t) + 1, L'\0');
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                             raw.data(), &size, WINHTTP_NO_HEADER_INDEX)) {
        result.error = failed_step("WinHttpQueryHeaders(headers)");
        return result;
    }
    const std::size_t length = std::min<std::size_t>(size / sizeof(wchar_t), raw.size());
    result.status = static_cast<std::int32_t>(status);
    result.headers = parse_raw_headers(narrow(std::wstring_view(raw.data(), length)));
    return result;
}

// Appends to `body` until the server has nothing more or the cap is reached; empty on success.
std::string read_body(HINTERNET request, RequestContext& context, StepWaiter& waiter, std::string& body)
{
    while (body.size() < response_body_cap) {
        waiter.begin();
        std::string error = waiter.wait("WinHttpQueryDataAvailable", WinHttpQueryDataAvailable(request, nullptr));
        if (!error.empty())
            return error;
        const std::size_t available = waiter.bytes();
        if (available == 0)
            return {};
        const std::size_t wanted =
            std::min({available, context.buffer.size(), response_body_cap - body.size()});
        waiter.begin();
        error = waiter.wait("WinHttpReadData", WinHttpReadData(request, context.buffer.data(),
                                                               static_cast<DWORD>(wanted), nullptr));
        if (!error.empty())
            return error;
        const std::size_t read = std::min<std::size_t>(waiter.bytes(), wanted);
        if (read == 0)
            return {};
        body.append(context.buffer.data(), read);
    }
    return {};
}

// Everything decided before any network activity; `error` set when the request is refused.
struct Plan {
    bool secure = false;
    bool post = false;
    std::int32_t timeout_ms = default_timeout_ms;
    MonotonicClock::time_point deadline;
    Target target;
    WideHeaders headers;
    std::string error;
};

Plan plan_exchange(const HttpRequest& request)
{
    Plan plan;
    plan.error = check_method_scheme_and_body(request);
    if (!plan.error.empty())
        return plan;
    plan.secure = url_scheme(request.url) == UrlScheme::https;
    plan.post = request.method == "POST";
    plan.timeout_ms = effective_timeout_ms(request.timeout_ms);
    plan.deadline = MonotonicClock::now() + milliseconds(plan.timeout_ms);
    plan.target = crack_target(request.url);
    if (!plan.target.error.empty()) {
        plan.error = plan.target.error;
        return plan;
    }
    plan.headers = widen_headers(request.headers);
    if (!plan.headers.valid)
        plan.error = "invalid request header";
    return plan;
}

// A null handle on failure, with the last error still WinHttpOpen's.
HINTERNET open_session(const Plan& plan)
{
    const DWORD access = session_access_type(narrow(plan.target.host));
    const HINTERNET session = WinHttpOpen(plan.headers.agent.c_str(), access, WINHTTP_NO_PROXY_NAME,
                                          WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC);
    if (!session)
        return nullptr;
    const int limit = plan.timeout_ms;
    WinHttpSetTimeouts(session, limit, limit, limit, limit);
    // WinHTTP waits for response headers under a limit of its own (90 s by default); left
    // there, a silent server could hold the request, its socket and a thread long after the call.
    set_dword_option(session, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, static_cast<DWORD>(limit));
    return session;
}

HINTERNET open_request(HINTERNET connection, const Plan& plan)
{
    return WinHttpOpenRequest(connection, plan.post ? L"POST" : L"GET", plan.target.path.c_str(), nullptr,
                              WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                              plan.secure ? WINHTTP_FLAG_SECURE : 0);
}

// Send and receive, once more when the proxy takes the signed-in user's credentials; empty on success.
std::string send_and_receive(HINTERNET request, RequestContext& context, DWORD_PTR context_value, StepWaiter& waiter)
{
    const auto body_length = static_cast<DWORD>(context.body.size());
    for (bool asked_before = false;; asked_before = true) {
        waiter.begin();
        std::string error = waiter.wait(
            "WinHttpSendRequest",
            WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                               context.body.empty() ? WINHTTP_NO_REQUEST_DATA : context.body.data(), body_length,
                               body_length, context_value));
        if (!error.empty())
            return error;
        waiter.begin();
        error = waiter.wait("WinHttpReceiveResponse", WinHttpReceiveResponse(request, nullptr));
        if (!error.empty() || answer_proxy_challenge(request, asked_before) != ProxyChallenge::answered)
            return error;
    }
}

// Send, receive, status, headers and body, one asynchronous step at a time. A 407 the proxy
// keeps is the response, so callers tell it from no answer at all.
HttpResponse drive_request(HINTERNET request, RequestContext& context, DWORD_PTR context_value, StepWaiter& waiter)
{
    std::string error = send_and_receive(request, context, context_value, waiter);
    if (!error.empty())
        return failed_exchange(std::move(error));

    StatusAndHeaders head = query_status_and_headers(request);
    if (!head.error.empty())
        return failed_exchange(std::move(head.error));
    HttpResponse response;
    error = read_body(request, context, waiter, response.body);
    if (!error.empty())
        return failed_exchange(std::move(error));
    response.status = head.status;
    response.headers = std::move(head.headers);
    return response;
}

HttpResponse exchange(const HttpRequest& request)
{
    const Plan plan = plan_exchange(request);
    if (!plan.error.empty())
        return failed_exchange(plan.error);

    const InternetHandle session(open_session(plan));
    if (!session)
        return failed_exchange(failed_step("WinHttpOpen"));
    if (plan.secure && !require_modern_tls(session.get()))
        return failed_exchange("TLS 1.2 could not be required");
    if (!report_requests(session.get()))
        return failed_exchange(failed_step("WinHttpSetStatusCallback"));
    const InternetHandle connection(WinHttpConnect(session.get(), plan.target.host.c_str(), plan.target.port, 0));
    if (!connection)
        return failed_exchange(failed_step("WinHttpConnect"));
    InternetHandle handle(open_request(connection.get(), plan));
    if (!handle)
        return failed_exchange(failed_step("WinHttpOpenRequest"));
    if (!refuse_automatic_logon(handle.get()))
        return failed_exchange(failed_step("WinHttpSetOption"));

    const auto context = std::make_shared<RequestContext>(receive_buffer_size);
    if (plan.post)
        context->body = request.body;
    const DWORD_PTR holder_value = attach_context(handle.get(), context);
    if (holder_value == 0)
        return failed_exchange(failed_step("WinHttpSetOption"));
    const RequestGuard guard(handle, context, close_grace);

    if (!set_redirect_policy(handle.get(), plan.headers.carries_authorization))
        return failed_exchange(failed_step("WinHttpSetOption"));
    if (!add_header_lines(handle.get(), plan.headers.lines))
        return failed_exchange("invalid request header");
    StepWaiter waiter(*context, plan.deadline, request.cancel);
    return drive_request(handle.get(), *context, holder_value, waiter);
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
