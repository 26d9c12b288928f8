#include "client/winhttp_request_win.h"

#include "client/http_rules.h"
#include "client/proxy_access_win.h"
#include "client/proxy_auth_win.h"
#include "client/text_win.h"
#include "client/tls_floor_win.h"
#include "download/address_policy.h"
#include "download/download_rules.h"

#include <utility>

namespace tw::client::platform {

// Where one hop goes, as WinHTTP takes it.
struct HopTarget {
    bool secure = false;
    std::wstring host;
    INTERNET_PORT port = 0;
    std::wstring path;  // path and query, never the fragment; always "/"-led
    std::string error;
};

namespace {

HopTarget crack_target(const std::string& url)
{
    HopTarget target;
    // A query straight after the host would otherwise be lost by some WinHTTP builds.
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
    target.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    target.host.assign(parts.lpszHostName, parts.dwHostNameLength);
    target.port = parts.nPort;
    const wchar_t* path_start = parts.lpszUrlPath ? parts.lpszUrlPath
                                : parts.lpszExtraInfo ? parts.lpszExtraInfo
                                                      : wide_url.c_str() + wide_url.size();
    const std::wstring_view path_onwards(path_start, wide_url.c_str() + wide_url.size() - path_start);
    target.path = widen(request_target(narrow(path_onwards)));
    return target;
}

bool set_dword_option(HINTERNET handle, DWORD option, DWORD value)
{
    return WinHttpSetOption(handle, option, &value, sizeof value) != FALSE;
}

// 301, 302 and 303 turn a POST into a GET without its body, as WinHTTP itself did; 307 and 308
// repeat the request as it was.
std::string method_after(std::uint32_t status, const std::string& method)
{
    return status == 307 || status == 308 ? method : std::string("GET");
}

}  // namespace

std::string address_refusal(const std::string& url)
{
    return crack_target(url).error;
}

WinHttpRequest::WinHttpRequest(RequestRules rules) : rules_(std::move(rules)) {}

WinHttpRequest::~WinHttpRequest() = default;

bool WinHttpRequest::fail(RequestFailure kind, std::string error)
{
    failure_ = kind;
    error_ = std::move(error);
    return false;
}

bool WinHttpRequest::failed_step(RequestFailure kind, const char* step)
{
    return fail(kind, step_failure_text(step, GetLastError()));
}

bool WinHttpRequest::open_session(const std::wstring& host)
{
    access_ = session_access_type(narrow(host));
    session_.reset(WinHttpOpen(rules_.agent.c_str(), access_, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS,
                               WINHTTP_FLAG_ASYNC));
    if (!session_)
        return failed_step(RequestFailure::session, "WinHttpOpen");
    WinHttpSetTimeouts(session_.get(), static_cast<int>(rules_.resolve_ms), static_cast<int>(rules_.connect_ms),
                       static_cast<int>(rules_.send_ms), static_cast<int>(rules_.receive_ms));
    // WinHTTP waits for response headers under a limit of its own (90 s by default); left
    // there, a silent server could hold the request, its socket and a thread long after the call.
    set_dword_option(session_.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, rules_.receive_ms);
    // Asked of every session, plain http too: a redirect may lead on to https.
    if (!require_modern_tls(session_.get()))
        return fail(RequestFailure::tls_floor, "TLS 1.2 could not be required");
    if (!report_requests(session_.get()))
        return failed_step(RequestFailure::session, "WinHttpSetStatusCallback");
    return true;
}

bool WinHttpRequest::fetch(const Ask& ask)
{
    failure_ = RequestFailure::none;
    error_.clear();
    status_ = 0;
    std::string current = ask.url;
    std::string method = ask.method;
    HopTarget first = crack_target(current);
    const std::string site_host =
        rules_.site_host.empty() && first.error.empty() ? download::address_host(narrow(first.host)) : rules_.site_host;
    if (rules_.judge_first && !download::is_allowed_download_url(current, site_host))
        return fail(RequestFailure::foreign_hop, "the address is not the site's");
    if (!first.error.empty())
        return fail(RequestFailure::address, first.error);
    if (!session_ && !open_session(first.host))
        return false;
    for (int hops = 0;; ++hops) {
        const HopTarget target = hops == 0 ? std::move(first) : crack_target(current);
        if (!target.error.empty())
            return fail(RequestFailure::address, target.error);
        close_hop();
        if (rules_.cancel && rules_.cancel->load())
            return fail(RequestFailure::cancelled, cancelled_words);
        const std::string host = narrow(target.host);
        current_url_ = current;
        if (!open_hop(target, method))
            return false;
        const bool to_site = equals_ascii_ci(download::address_host(host), site_host);
        if (!send_hop(method, ask, to_site))
            return false;
        const bool redirected = download::is_followed_redirect(status_);
        if (rules_.on_hop && (redirected || hops > 0))
            rules_.on_hop(host, status_);
        if (!redirected)
            return true;
        const download::HopJudgement hop = download::judge_hop(
            target.secure, host, target.port, narrow(header(WINHTTP_QUERY_LOCATION)), hops, site_host);
        if (hop.verdict != download::HopVerdict::follow)
            return refuse_hop(hop.verdict);
        current = hop.next;
        method = method_after(status_, method);
    }
}

bool WinHttpRequest::open_hop(const HopTarget& target, const std::string& method)
{
    connection_.reset(WinHttpConnect(session_.get(), target.host.c_str(), target.port, 0));
    if (!connection_)
        return failed_step(RequestFailure::not_started, "WinHttpConnect");
    request_.reset(WinHttpOpenRequest(connection_.get(), method == "POST" ? L"POST" : L"GET", target.path.c_str(),
                                      nullptr, WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                      target.secure ? WINHTTP_FLAG_SECURE : 0));
    if (!request_)
        return failed_step(RequestFailure::not_started, "WinHttpOpenRequest");
    return true;
}

bool WinHttpRequest::refuse_hop(download::HopVerdict verdict)
{
    switch (verdict) {
    case download::HopVerdict::no_location:
        return fail(RequestFailure::no_location, "the redirect named no address");
    case download::HopVerdict::too_many:
        return fail(RequestFailure::too_many_hops, "too many redirects");
    case download::HopVerdict::follow:
    case download::HopVerdict::foreign:
        break;
    }
    return fail(RequestFailure::foreign_hop, "a redirect led away from the site");
}

bool WinHttpRequest::send_hop(const std::string& method, const Ask& ask, bool to_site)
{
    HINTERNET request = request_.get();
    if (!refuse_automatic_logon(request))
        return failed_step(RequestFailure::not_started, "WinHttpSetOption");
    context_ = std::make_shared<RequestContext>(rules_.buffer_size);
    context_value_ = attach_context(request, context_);
    if (context_value_ == 0)
        return failed_step(RequestFailure::not_started, "WinHttpSetOption");
    guard_.emplace(request_, context_, rules_.close_grace);
    waiter_.emplace(*context_, rules_.deadline, rules_.cancel);
    // Every hop is judged here before it is connected to; WinHTTP would follow one unseen.
    if (!set_dword_option(request, WINHTTP_OPTION_REDIRECT_POLICY, WINHTTP_OPTION_REDIRECT_POLICY_NEVER))
        return failed_step(RequestFailure::not_started, "WinHttpSetOption");
    pass_sent_ = to_site && !ask.pass_lines.empty();
    if (!add_lines(ask.lines) || (pass_sent_ && !add_lines(ask.pass_lines)))
        return fail(RequestFailure::not_started, "invalid request header");
    const std::string body = method == "POST" ? ask.body : std::string();
    // A proxy that asks for the user's Windows sign-in gets it once, on the same handle. A 407
    // from anything else, the site or whatever answers in its name, is an answer like any other:
    // a server that asked got the signed-in user's credentials when no proxy was in use.
    for (bool asked_before = false;; asked_before = true) {
        if (!exchange(body))
            return false;
        status_ = response_status(request);
        through_proxy_ = status_ == 407 && proxy_named_for(request, access_, current_url_);
        if (answer_proxy_challenge(request, asked_before, through_proxy_) != ProxyChallenge::answered)
            return true;
    }
}

bool WinHttpRequest::add_lines(const std::vector<std::wstring>& lines)
{
    for (const std::wstring& line : lines) {
        DWORD flags = WINHTTP_ADDREQ_FLAG_ADD;
        if (header_line_replaces(narrow(line)))
            flags |= WINHTTP_ADDREQ_FLAG_REPLACE;
        if (!WinHttpAddRequestHeaders(request_.get(), line.c_str(), static_cast<DWORD>(-1), flags))
            return false;
    }
    return true;
}

bool WinHttpRequest::exchange(const std::string& body)
{
    HINTERNET request = request_.get();
    context_->body = body;
    const auto length = static_cast<DWORD>(context_->body.size());
    ++requests_;
    waiter_->begin();
    StepResult step = waiter_->wait(
        "WinHttpSendRequest",
        WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                           context_->body.empty() ? WINHTTP_NO_REQUEST_DATA : context_->body.data(), length, length,
                           context_value_));
    if (step.done()) {
        waiter_->begin();
        step = waiter_->wait("WinHttpReceiveResponse", WinHttpReceiveResponse(request, nullptr));
    }
    if (step.done())
        return true;
    return fail(step.end == StepEnd::cancelled ? RequestFailure::cancelled : RequestFailure::unreachable,
                std::move(step.error));
}

std::wstring WinHttpRequest::header(DWORD info_level) const
{
    DWORD size = 0;
    WinHttpQueryHeaders(request_.get(), info_level, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &size,
                        WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0)
        return {};
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    if (!WinHttpQueryHeaders(request_.get(), info_level, WINHTTP_HEADER_NAME_BY_INDEX, text.data(), &size,
                             WINHTTP_NO_HEADER_INDEX))
        return {};
    text.resize(std::min<std::size_t>(size / sizeof(wchar_t), text.size()));
    return text;
}

std::optional<std::wstring> WinHttpRequest::raw_headers()
{
    DWORD size = 0;
    if (WinHttpQueryHeaders(request_.get(), WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                            WINHTTP_NO_OUTPUT_BUFFER, &size, WINHTTP_NO_HEADER_INDEX) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER || size < 2) {
        failed_step(RequestFailure::unreachable, "WinHttpQueryHeaders(headers)");
        return std::nullopt;
    }
    std::wstring raw(size / sizeof(wchar_t) + 1, L'\0');
    if (!WinHttpQueryHeaders(request_.get(), WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                             raw.data(), &size, WINHTTP_NO_HEADER_INDEX)) {
        failed_step(RequestFailure::unreachable, "WinHttpQueryHeaders(headers)");
        return std::nullopt;
    }
    raw.resize(std::min<std::size_t>(size / sizeof(wchar_t), raw.size()));
    return raw;
}

StepResult WinHttpRequest::available()
{
    waiter_->begin();
    return waiter_->wait("WinHttpQueryDataAvailable", WinHttpQueryDataAvailable(request_.get(), nullptr));
}

StepResult WinHttpRequest::read(std::size_t offset, DWORD wanted)
{
    char* into = context_->buffer.data() + offset;
    waiter_->begin();
    StepResult step = waiter_->wait("WinHttpReadData", WinHttpReadData(request_.get(), into, wanted, nullptr));
    step.bytes = std::min<DWORD>(step.bytes, wanted);
    return step;
}

void WinHttpRequest::close_hop()
{
    waiter_.reset();
    guard_.reset();
    request_.reset();
    context_.reset();
    connection_.reset();
}

}  // namespace tw::client::platform
