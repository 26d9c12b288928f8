// Which download addresses belong to the site: its own host and, for a real site, its
// "downloads." host; plain http only while the site is a loopback development server.
#include "download/address_policy.h"

#include <gtest/gtest.h>

namespace {

using tw::download::is_allowed_download_url;

struct Case {
    const char* url;
    bool allowed;
};

void expect_policy(const char* site_host, std::initializer_list<Case> cases)
{
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(site_host) + " <- " + c.url);
        EXPECT_EQ(is_allowed_download_url(c.url, site_host), c.allowed);
    }
}

TEST(AddressPolicy, OrdinarySiteAllowsItsHostAndItsDownloadsHostOverHttps)
{
    expect_policy("tarnwick.example", {
        {"https://tarnwick.example/files/setup.exe", true},
        {"HTTPS://TARNWICK.Example:8443/x", true},
        {"https://tarnwick.example", true},
        {"https://tarnwick.example?x", true},
        {"https://tarnwick.example#frag", true},
        {"https://downloads.tarnwick.example/s.exe", true},
        {"https://DOWNLOADS.tarnwick.EXAMPLE:443/s.exe", true},
        {"http://tarnwick.example/s.exe", false},
        {"http://downloads.tarnwick.example/s.exe", false},
    });
}

TEST(AddressPolicy, OrdinarySiteRefusesLookalikeHosts)
{
    expect_policy("tarnwick.example", {
        {"https://cdn.tarnwick.example/s.exe", false},
        {"https://tarnwick.example.evil/s.exe", false},
        {"https://eviltarnwick.example/s.exe", false},
        {"https://downloads.tarnwick.example.evil/s.exe", false},
        {"https://downloadstarnwick.example/s.exe", false},
        {"https://tarnwick.exampl/s.exe", false},
        {"https:///tarnwick.example/s.exe", false},
    });
}

TEST(AddressPolicy, UserInformationAndOtherShapesAreRefused)
{
    expect_policy("tarnwick.example", {
        {"https://user@tarnwick.example/s.exe", false},
        {"https://evil.example@tarnwick.example/s.exe", false},
        {"https://tarnwick.example@evil.example/s.exe", false},
        {"https://", false},
        {"https:/", false},
        {"http://", false},
        {"ftp://tarnwick.example/s.exe", false},
        {"tarnwick.example/s.exe", false},
        {"//tarnwick.example/s.exe", false},
        {"", false},
    });
}

TEST(AddressPolicy, LocalhostSiteAllowsPlainHttpToItselfOnly)
{
    expect_policy("localhost", {
        {"http://localhost/s.exe", true},
        {"http://localhost:7180/s.exe", true},
        {"https://localhost:7180/s.exe", true},
        {"http://LOCALHOST:1/s.exe", true},
        {"http://127.0.0.1/s.exe", false},
        {"https://downloads.localhost/s.exe", false},
        {"http://downloads.localhost/s.exe", false},
    });
}

TEST(AddressPolicy, BracketedLoopbackSiteKeepsTheBracketsAsTheHost)
{
    expect_policy("[::1]", {
        {"http://[::1]:8080/x", true},
        {"https://[::1]/x", true},
        {"https://[::1", false},
        {"http://[::1:8080/x", false},
        {"http://[::2]:8080/x", false},
        {"http://::1/x", false},
    });
}

}  // namespace
