#include "download/address_policy.h"

#include "client/http_rules.h"

namespace tw::download {
namespace {

using client::equals_ascii_ci;
using client::starts_with_ascii_ci;

// The host of an authority: a bracketed literal up to its "]", otherwise up to the port. An
// unclosed bracket names no host at all.
std::string_view host_of(std::string_view authority)
{
    if (authority.starts_with('[')) {
        const auto close = authority.find(']');
        return close == std::string_view::npos ? std::string_view{} : authority.substr(0, close + 1);
    }
    return authority.substr(0, authority.find(':'));
}

}  // namespace

bool is_loopback_host(std::string_view host)
{
    return host == "127.0.0.1" || host == "localhost" || host == "[::1]";
}

bool is_allowed_download_url(std::string_view url, std::string_view site_host)
{
    bool secure = false;
    std::string_view rest;
    if (url.size() > 8 && starts_with_ascii_ci(url, "https://")) {
        secure = true;
        rest = url.substr(8);
    } else if (url.size() >= 8 && starts_with_ascii_ci(url, "http://")) {
        rest = url.substr(7);
    } else {
        return false;
    }

    const std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
    if (authority.empty() || authority.find('@') != std::string_view::npos)
        return false;

    const std::string_view host = host_of(authority);
    const bool loopback_site = is_loopback_host(site_host);
    if (!host.empty() && equals_ascii_ci(host, site_host))
        return secure || loopback_site;
    if (!secure || loopback_site)
        return false;
    constexpr std::string_view downloads_prefix = "downloads.";
    return host.size() == downloads_prefix.size() + site_host.size() && starts_with_ascii_ci(host, downloads_prefix) &&
           equals_ascii_ci(host.substr(downloads_prefix.size()), site_host);
}

}  // namespace tw::download
