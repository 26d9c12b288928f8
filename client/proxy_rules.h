#pragma once
// Whether a proxy configuration, as WinHTTP hands it over, puts a proxy between this program and
// a host. Only then may a 407 be answered with the user's Windows sign-in.

#include <string_view>

namespace tw::client {

// `proxies` is a WinHTTP proxy list ("proxy:8080", "https=p:3128;http=q:80", blanks or ";"
// between entries); `bypass` its bypass list ("<local>", "*.corp.test", "10.*"). True when the
// list names a proxy and no bypass entry matches `host` (letters compared without case; "*"
// stands for any run of characters; "<local>" for a host without a dot).
bool proxy_named_for_host(std::wstring_view proxies, std::wstring_view bypass, std::wstring_view host);

// A 407 is the proxy's only when a proxy stood between; from the site (or anything answering in
// its name) it is a status like any other.
constexpr bool is_proxy_refusal(long status, bool through_proxy)
{
    return status == 407 && through_proxy;
}

}  // namespace tw::client
