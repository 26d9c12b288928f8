#pragma once
// The parts of an HTTP exchange that need no network and no Windows call: which requests are
// acceptable, how header lines are formed and read back, and how failures are worded.

#include "client/http.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tw::client {

inline constexpr std::int32_t default_timeout_ms = 15000;
inline constexpr std::size_t response_body_cap = 1'048'576;
inline constexpr std::size_t receive_buffer_size = 65'536;
inline constexpr std::uint64_t request_body_limit = 2'147'483'648;  // WinHTTP takes a 32-bit length

enum class UrlScheme { unsupported, http, https };

// Case-insensitive; a URL that ends right after "://" names no host and is unsupported.
UrlScheme url_scheme(std::string_view url);

std::string lower_ascii(std::string_view text);
bool equals_ascii_ci(std::string_view a, std::string_view b);
bool starts_with_ascii_ci(std::string_view text, std::string_view prefix);

// Without leading and trailing blanks and tabs, the way header values are read.
std::string_view trim_blanks(std::string_view text);

// The failure text of the checks made before anything else, or empty when the request may go on.
std::string check_method_scheme_and_body(const HttpRequest& request);

std::int32_t effective_timeout_ms(std::int32_t requested);

// True for the names that never need a proxy; it does not make plain http acceptable.
bool is_loopback_host(std::string_view host);

// The URL with a "/" between a host and a query or fragment that follows it directly: some
// WinHTTP implementations read "host:80?q" as host and port and lose the query.
std::string with_root_path(std::string_view url);

// The request target from the start of the URL's path to its end: no fragment, always "/"-led.
std::string request_target(std::string_view path_onwards);

// A header that could split or end the request head is refused rather than sent.
bool is_valid_request_header(std::string_view name, std::string_view value);

struct PreparedHeaders {
    std::vector<std::string> lines;    // "name: value", in the caller's order
    std::string agent;                 // the last user-agent value, empty without one
    bool carries_authorization = false;
    bool valid = true;                 // false: some header was refused
};

// Content-Length is left to WinHTTP, which takes the length from the body it sends.
PreparedHeaders prepare_request_headers(const HeaderList& headers);

// A later User-Agent line must replace the one already on the request rather than add a second.
bool header_line_replaces(std::string_view line);

// WINHTTP_QUERY_RAW_HEADERS_CRLF text to (lower-cased name, trimmed value) pairs; the status
// line and lines that name nothing are skipped.
HeaderList parse_raw_headers(std::string_view raw);

// "<step> failed (Win32 error <code><suffix>)", cut to at most 159 bytes.
std::string step_failure_text(std::string_view step, std::uint32_t error);

// The same for a step that was waited for, where a WinHTTP time-out or a spent budget
// both read as the caller's deadline.
std::string waited_step_failure_text(std::string_view step, std::uint32_t error, bool deadline_spent);

}  // namespace tw::client
