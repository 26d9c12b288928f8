#include "client/http_rules.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace tw::client {
namespace {

constexpr std::uint32_t winhttp_timeout_error = 12002;

char lower_ascii_char(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool has_line_break_or_nul(std::string_view text)
{
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

bool is_token_byte(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte > 0x20 && c != ':';
}

const char* error_suffix(std::uint32_t error)
{
    switch (error) {
    case 12007: return ", name not resolved";
    case 12029: return ", cannot connect";
    case 12030: return ", connection error";
    case 12152: return ", invalid server response";
    case 12156: return ", redirect refused";
    case 12175: return ", TLS failure";
    default: return "";
    }
}

}  // namespace

bool starts_with_ascii_ci(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && equals_ascii_ci(text.substr(0, prefix.size()), prefix);
}

UrlScheme url_scheme(std::string_view url)
{
    if (url.size() > 8 && starts_with_ascii_ci(url, "https://"))
        return UrlScheme::https;
    if (url.size() > 7 && starts_with_ascii_ci(url, "http://"))
        return UrlScheme::http;
    return UrlScheme::unsupported;
}

std::string lower_ascii(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), lower_ascii_char);
    return lower;
}

bool equals_ascii_ci(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char x, char y) { return lower_ascii_char(x) == lower_ascii_char(y); });
}

std::string_view trim_blanks(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::string check_method_scheme_and_body(const HttpRequest& request)
{
    const bool post = request.method == "POST";
    if (!post && request.method != "GET")
        return "unsupported method";
    if (url_scheme(request.url) == UrlScheme::unsupported)
        return "only http and https URLs are supported";
    if (post && request.body.size() >= request_body_limit)
        return "request body too large";
    return {};
}

std::int32_t effective_timeout_ms(std::int32_t requested)
{
    return requested < 1 ? default_timeout_ms : requested;
}

bool is_loopback_host(std::string_view host)
{
    return host == "localhost" || host == "::1" || host == "[::1]" || host.substr(0, 4) == "127.";
}

std::string with_root_path(std::string_view url)
{
    std::string fixed(url);
    const auto scheme_end = url.find("://");
    if (scheme_end == std::string_view::npos)
        return fixed;
    const auto authority_end = url.find_first_of("/?#", scheme_end + 3);
    if (authority_end != std::string_view::npos && url[authority_end] != '/')
        fixed.insert(authority_end, 1, '/');
    return fixed;
}

std::string request_target(std::string_view path_onwards)
{
    const std::string_view target = path_onwards.substr(0, path_onwards.find('#'));
    std::string result;
    if (target.empty() || target.front() != '/')
        result.push_back('/');
    result.append(target);
    return result;
}

bool is_valid_request_header(std::string_view name, std::string_view value)
{
    return !name.empty() && std::all_of(name.begin(), name.end(), is_token_byte) &&
           !has_line_break_or_nul(value);
}

PreparedHeaders prepare_request_headers(const HeaderList& headers)
{
    PreparedHeaders prepared;
    for (const auto& [name, value] : headers) {
        if (!is_valid_request_header(name, value)) {
            prepared.valid = false;
            return prepared;
        }
        const std::string lower_name = lower_ascii(name);
        if (lower_name == "content-length")
            continue;
        prepared.lines.push_back(name + ": " + value);
        if (lower_name == "user-agent")
            prepared.agent = value;
        if (lower_name == "authorization")
            prepared.carries_authorization = true;
    }
    return prepared;
}

bool header_line_replaces(std::string_view line)
{
    return line.size() > 11 && starts_with_ascii_ci(line, "user-agent:");
}

HeaderList parse_raw_headers(std::string_view raw)
{
    HeaderList headers;
    bool status_line = true;
    while (!raw.empty()) {
        const auto end = raw.find("\r\n");
        const std::string_view line = raw.substr(0, end);
        raw = end == std::string_view::npos ? std::string_view() : raw.substr(end + 2);
        if (std::exchange(status_line, false))
            continue;
        const auto colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0)
            continue;
        headers.emplace_back(lower_ascii(line.substr(0, colon)),
                             std::string(trim_blanks(line.substr(colon + 1))));
    }
    return headers;
}

std::string step_failure_text(std::string_view step, std::uint32_t error)
{
    char text[160];
    const int length = std::snprintf(text, sizeof text, "%.*s failed (Win32 error %lu%s)",
                                     static_cast<int>(std::min<std::size_t>(step.size(), sizeof text)),
                                     step.data(), static_cast<unsigned long>(error), error_suffix(error));
    if (length < 0)
        return {};
    return std::string(text, std::min<std::size_t>(static_cast<std::size_t>(length), sizeof text - 1));
}

std::string waited_step_failure_text(std::string_view step, std::uint32_t error, bool deadline_spent)
{
    if (error == winhttp_timeout_error || deadline_spent)
        return "deadline exceeded";
    return step_failure_text(step, error);
}

}  // namespace tw::client
