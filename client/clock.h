#pragma once
// What the download sign-in needs from the system: the time, and a way to show a page to the
// user. Tests put fakes in their place, so a sign-in of many minutes runs in milliseconds.

#include <cstdint>
#include <string>
#include <string_view>

namespace tw::client {

class Clock {
public:
    virtual ~Clock() = default;
    // Whole seconds since 1970-01-01 00:00:00 UTC.
    virtual std::int64_t now_unix_seconds() = 0;
    // Milliseconds from an arbitrary origin; never goes backwards, whatever the user does to the
    // wall clock, so deadlines measured with it hold.
    virtual std::int64_t now_steady_ms() = 0;
};

class BrowserOpener {
public:
    virtual ~BrowserOpener() = default;
    // True when the page was handed to the user's browser.
    virtual bool open(const std::string& url) = 0;
};

// Only web addresses go to the shell, which would otherwise run files and other schemes too.
// Case-sensitive on purpose: the service always writes the scheme in lower case.
inline bool is_openable_url(std::string_view url) noexcept
{
    return url.starts_with("https://") || url.starts_with("http://");
}

// The shell reads a C string, so nothing after a NUL byte may count as part of the address.
inline std::string_view url_before_nul(std::string_view url) noexcept
{
    return url.substr(0, url.find('\0'));
}

}  // namespace tw::client
