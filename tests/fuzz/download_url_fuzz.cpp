// libFuzzer target: the download address policy against an oracle of its own. An address it
// allows must be http(s) to the site's host or, over https for a real site, to its "downloads."
// host, without user information; addresses made from a well-formed site host must be allowed.
//
// Input: the site host up to the first line break, then the address. Without a line break the
// whole input is the address and the site is "tarnwick.example".

#include "download/address_policy.h"
#include "tests/fuzz/oracle.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using tw::download::is_allowed_download_url;

using tw::fuzz::require;

std::string lower(std::string_view text)
{
    std::string lowered(text);
    for (char& c : lowered) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + ('a' - 'A'));
    }
    return lowered;
}

std::string swap_case(std::string_view text)
{
    std::string swapped(text);
    for (char& c : swapped) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + ('a' - 'A'));
        else if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - ('a' - 'A'));
    }
    return swapped;
}

bool is_development_site(std::string_view site_host)
{
    return site_host == "localhost" || site_host == "127.0.0.1" || site_host == "[::1]";
}

struct Address {
    bool secure = false;
    std::string authority;
    std::string host;  // lower case
};

// Scheme, authority and host read again from the rules, with string searches on a lower-case copy.
Address read_address(std::string_view url)
{
    Address address;
    const std::string lowered = lower(url);
    const std::size_t scheme_length = lowered.rfind("https://", 0) == 0 ? 8 : 7;
    address.secure = scheme_length == 8;
    const std::string rest = lowered.substr(scheme_length);
    address.authority = rest.substr(0, rest.find_first_of("/?#"));
    if (address.authority.rfind('[', 0) == 0) {
        const std::size_t close = address.authority.find(']');
        address.host = close == std::string::npos ? std::string() : address.authority.substr(0, close + 1);
    } else {
        address.host = address.authority.substr(0, address.authority.find(':'));
    }
    return address;
}

void check_allowed(std::string_view url, std::string_view site_host)
{
    const std::string lowered = lower(url);
    const bool https = lowered.rfind("https://", 0) == 0 && url.size() > 8;
    const bool http = lowered.rfind("http://", 0) == 0;
    require(https || http);
    require(https || is_development_site(site_host));
    const Address address = read_address(url);
    require(!address.authority.empty() && address.authority.find('@') == std::string::npos);
    const std::string site = lower(site_host);
    const bool own_host = !address.host.empty() && address.host == site;
    const bool downloads_host = address.secure && !is_development_site(site_host) && address.host == "downloads." + site;
    require(own_host || downloads_host);
}

// A host the policy can find again in an address: nothing that ends an authority or starts a
// port or user information, or a bracketed literal that is closed by its last character.
bool is_well_formed_host(std::string_view host)
{
    if (host.empty() || host.find_first_of("/?#@") != std::string_view::npos)
        return false;
    if (host.front() == '[')
        return host.find(']') == host.size() - 1;
    return host.find(':') == std::string_view::npos;
}

void check_built_addresses(std::string_view site_host, std::string_view tail)
{
    if (!is_well_formed_host(site_host))
        return;
    const std::string site(site_host);
    const std::string path = "/" + std::string(tail);
    const bool development = is_development_site(site_host);
    require(is_allowed_download_url("https://" + site + path, site_host));
    require(is_allowed_download_url("HTTPS://" + swap_case(site) + ":443" + path, site_host));
    require(is_allowed_download_url("http://" + site + path, site_host) == development);
    require(!is_allowed_download_url("https://user@" + site + path, site_host));
    require(!is_allowed_download_url("https://" + site + "@evil.example" + path, site_host));
    // A bracketed host ends at its "]", so only a name can be extended or prefixed.
    if (site.front() != '[') {
        require(!is_allowed_download_url("https://" + site + ".evil.example" + path, site_host));
        require(is_allowed_download_url("https://downloads." + site + path, site_host) == !development);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t line_break = input.find('\n');
    const std::string_view site_host =
        line_break == std::string_view::npos ? std::string_view("tarnwick.example") : input.substr(0, line_break);
    const std::string_view url = line_break == std::string_view::npos ? input : input.substr(line_break + 1);

    const bool allowed = is_allowed_download_url(url, site_host);
    if (allowed)
        check_allowed(url, site_host);
    // Letters in the address are compared without regard to case; the loopback names are not.
    require(is_allowed_download_url(swap_case(url), site_host) == allowed);
    const std::string swapped_site = swap_case(site_host);
    if (!is_development_site(site_host) && !is_development_site(swapped_site))
        require(is_allowed_download_url(url, swapped_site) == allowed);

    check_built_addresses(site_host, url);
    return 0;
}
