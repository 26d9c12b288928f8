#pragma once
// The one way this program asks anything over WinHTTP: the catalog, the sign-in, a download and a
// new Installer all go through here, under one set of rules. TLS 1.2 or later; the proxy the
// system names for the host, and the user's Windows sign-in only for that proxy; time-outs on
// every stage; no credentials in an address; no header that could split the request; redirects
// followed by hand, each hop judged by the download address policy before anything connects to
// it; the pass only to the site host; a cancel seen within a moment at every stage.

#include "client/async_request_win.h"
#include "client/scoped_win.h"
#include "download/download_rules.h"

#include <windows.h>
#include <winhttp.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tw::client::platform {

struct HopTarget;

struct RequestRules {
    std::wstring agent;
    // Whose host alone gets the pass lines, and against which every redirect target is judged;
    // empty: the first address's host.
    std::string site_host;
    bool judge_first = false;  // the first address, too, must pass the address policy
    DWORD resolve_ms = 15000;
    DWORD connect_ms = 15000;
    DWORD send_ms = 30000;
    DWORD receive_ms = 60000;
    MonotonicClock::time_point deadline = MonotonicClock::time_point::max();
    const std::atomic<bool>* cancel = nullptr;
    // How long a closed request may take to let go before its connection and session close anyway.
    std::chrono::milliseconds close_grace{2000};
    std::size_t buffer_size = 65'536;
    // Told of every redirect answer and of the answer that ends a chain: (host, status).
    std::function<void(const std::string& host, std::uint32_t status)> on_hop;
};

enum class RequestFailure {
    none,
    session,      // WinHTTP would not open or report
    tls_floor,    // no TLS 1.2 could be required
    address,      // the address could not be read, or carries credentials
    not_started,  // connection, request handle, option or header refused
    unreachable,  // sending or receiving failed
    cancelled,
    foreign_hop,  // an address the policy refuses, the first when judged or a redirect target
    no_location,  // a redirect that says not where
    too_many_hops,
};

struct Ask {
    std::string method = "GET";  // "GET" or "POST"
    std::string url;             // UTF-8
    std::vector<std::wstring> lines;       // sent to every hop, without CR LF
    std::vector<std::wstring> pass_lines;  // sent only to the site host
    std::string body;                      // POST only
};

// Why `url` cannot be asked for ("the URL did not parse", "URL credentials are not supported");
// empty when it can.
std::string address_refusal(const std::string& url);

// One exchange, hop by hop. Not shared between threads.
class WinHttpRequest {
public:
    explicit WinHttpRequest(RequestRules rules);
    ~WinHttpRequest();
    WinHttpRequest(const WinHttpRequest&) = delete;
    WinHttpRequest& operator=(const WinHttpRequest&) = delete;

    // Sends `ask` and follows the redirects the rules allow. True with the final answer's request
    // open; false with failure() set. A refused hop leaves its redirect answer readable.
    bool fetch(const Ask& ask);

    RequestFailure failure() const { return failure_; }
    // The failure in the words of a WinHTTP step, such as
    // "WinHttpSendRequest failed (Win32 error 12029, cannot connect)".
    const std::string& error() const { return error_; }
    // The Win32 or WinHTTP error of the waited step that failed with one; 0 otherwise.
    std::uint32_t win32_failure() const { return waiter_ ? waiter_->failure() : 0; }

    std::uint32_t status() const { return status_; }
    bool pass_sent() const { return pass_sent_; }
    // The answer came through a proxy that the system's configuration names for its host.
    bool through_proxy() const { return through_proxy_; }
    int requests() const { return requests_; }

    // One header of the answer as text; empty when absent.
    std::wstring header(DWORD info_level) const;
    // The answer's header block as WINHTTP_QUERY_RAW_HEADERS_CRLF gives it; none when WinHTTP
    // would not give it, and then error() says why.
    std::optional<std::wstring> raw_headers();

    // The bytes ready to read without waiting; 0 at the end of the body.
    StepResult available();
    // Reads up to `wanted` bytes into buffer() at `offset`; the bytes read.
    StepResult read(std::size_t offset, DWORD wanted);
    const std::vector<char>& buffer() const { return context_->buffer; }

    // Lets go of the current hop's request and connection; the session stays for another fetch.
    void close_hop();

private:
    bool fail(RequestFailure kind, std::string error);
    bool failed_step(RequestFailure kind, const char* step);
    bool open_session(const std::wstring& host);
    bool open_hop(const HopTarget& target, const std::string& method);
    bool refuse_hop(download::HopVerdict verdict);
    bool send_hop(const std::string& method, const Ask& ask, bool to_site);
    bool exchange(const std::string& body);
    bool add_lines(const std::vector<std::wstring>& lines);

    RequestRules rules_;
    RequestFailure failure_ = RequestFailure::none;
    std::string error_;
    std::uint32_t status_ = 0;
    bool pass_sent_ = false;
    bool through_proxy_ = false;
    int requests_ = 0;
    DWORD access_ = 0;
    std::string current_url_;
    InternetHandle session_;
    InternetHandle connection_;
    InternetHandle request_;
    std::shared_ptr<RequestContext> context_;
    DWORD_PTR context_value_ = 0;
    // Declared last, so the request closes first and the connection and session only after it.
    std::optional<RequestGuard> guard_;
    std::optional<StepWaiter> waiter_;
};

}  // namespace tw::client::platform
