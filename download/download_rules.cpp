#include "download/download_rules.h"

#include "client/contract_error.h"
#include "client/http_rules.h"

#include <algorithm>
#include <limits>

namespace tw::download {

bool is_followed_redirect(std::uint32_t status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::uint32_t next_read_size(std::uint32_t size, std::uint32_t got, std::int64_t took_ms)
{
    constexpr std::int64_t quick_ms = 25;
    constexpr std::int64_t slow_ms = 100;
    if (got < size)
        return size;  // the end of the body, or a short read: it says nothing of the line
    if (took_ms < quick_ms)
        return static_cast<std::uint32_t>(std::min<std::size_t>(std::size_t{size} * 2, file_buffer_size));
    if (took_ms > slow_ms)
        return std::max(size / 2, smallest_read_size);
    return size;
}

std::string address_host(std::string_view host)
{
    if (host.find(':') == std::string_view::npos || host.starts_with('['))
        return std::string(host);
    std::string bracketed(1, '[');
    bracketed.append(host);
    bracketed.push_back(']');
    return bracketed;
}

std::string redirect_target(bool secure, std::string_view host, std::uint16_t port, std::string_view location)
{
    if (!location.starts_with('/'))
        return std::string(location);
    std::string next = secure ? "https://" : "http://";
    next.append(address_host(host));
    if (port != (secure ? 443 : 80)) {
        next.push_back(':');
        next.append(std::to_string(port));
    }
    next.append(location);
    return next;
}

std::int64_t parse_content_length(std::string_view text)
{
    std::size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        negative = text[at++] == '-';
    constexpr auto largest_length = std::numeric_limits<std::int64_t>::max();
    std::int64_t value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        const int digit = text[at] - '0';
        value = value > (largest_length - digit) / 10 ? largest_length : value * 10 + digit;
    }
    return negative ? -value : value;
}

bool sends_pass(std::string_view host, std::string_view site_host, std::string_view pass)
{
    const bool printable = std::all_of(pass.begin(), pass.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte >= 0x20 && byte != 0x7F;
    });
    return !pass.empty() && printable && client::equals_ascii_ci(address_host(host), address_host(site_host));
}

bool fits_free_space(std::int64_t length, std::uint64_t free_bytes)
{
    return length < 1 || static_cast<std::uint64_t>(length) <= free_bytes;
}

std::string error_code_of(std::string_view body)
{
    return client::parse_contract_error(body).code;
}

}  // namespace tw::download
