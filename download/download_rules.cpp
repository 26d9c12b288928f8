#include "download/download_rules.h"

#include "client/contract_error.h"
#include "client/http_rules.h"
#include "download/address_policy.h"

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

HopJudgement judge_hop(bool secure, std::string_view host, std::uint16_t port, std::string_view location,
                       int hops_taken, std::string_view site_host)
{
    if (location.empty())
        return {HopVerdict::no_location, {}};
    if (hops_taken >= max_redirects)
        return {HopVerdict::too_many, {}};
    std::string next = redirect_target(secure, host, port, location);
    if (secure && client::url_scheme(next) != client::UrlScheme::https)
        return {HopVerdict::foreign, {}};
    if (!is_allowed_download_url(next, site_host))
        return {HopVerdict::foreign, {}};
    return {HopVerdict::follow, std::move(next)};
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

BodyBound body_bound(std::int64_t announced, std::int64_t expected, bool size_is_limit)
{
    constexpr std::int64_t least_slack = 1 << 20;
    if (size_is_limit && expected >= 1) {
        if (announced > expected)
            return {0, true, false};
        return {announced >= 1 ? announced : expected, false, false};
    }
    if (announced >= 1)
        return {announced, false, false};
    if (expected < 1)
        return {};
    const std::int64_t slack = std::max(expected / 10, least_slack);
    const std::int64_t limit =
        expected > std::numeric_limits<std::int64_t>::max() - slack ? std::numeric_limits<std::int64_t>::max()
                                                                     : expected + slack;
    return {limit, false, true};
}

std::int64_t space_to_ask(std::int64_t announced, std::int64_t expected)
{
    return announced >= 1 ? announced : expected;
}

bool fits_free_space(std::int64_t length, std::uint64_t free_bytes)
{
    return length < 1 || static_cast<std::uint64_t>(length) <= free_bytes;
}

std::string error_code_of(std::string_view body)
{
    const auto error = client::parse_contract_error(body);
    return error ? error->code : std::string();
}

}  // namespace tw::download
