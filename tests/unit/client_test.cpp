// The client library's portable rules: the user agent and the HTTP exchange rules that the
// WinHTTP transport applies before, around and after its Windows calls.
#include "client/http_rules.h"
#include "client/proxy_rules.h"
#include "client/user_agent.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <cwchar>
#include <string>
#include <vector>

namespace {

using namespace tw::client;
using ::testing::ElementsAre;
using ::testing::Pair;

// ---- user agent ------------------------------------------------------------------------------

TEST(UserAgent, JoinsProductVersionPlatformAndChannel)
{
    EXPECT_EQ(make_user_agent("tarnwick-installer", "1.0.0", "windows", "release"),
              "tarnwick-installer/1.0.0 (windows; release)");
}

TEST(UserAgent, ControlBytesAreRemovedFromEveryPart)
{
    EXPECT_EQ(make_user_agent("tarn\r\nwick", "1.\t0", std::string("win\0dows", 8), "be\x7Fta\x1F"),
              "tarnwick/1.0 (windows; beta)");
}

TEST(UserAgent, BytesAboveAsciiAreKept)
{
    EXPECT_EQ(make_user_agent("caf\xC3\xA9", "2", "windows", "release"), "caf\xC3\xA9/2 (windows; release)");
}

TEST(UserAgent, EmptyPartsKeepTheShape)
{
    EXPECT_EQ(make_user_agent("", "", "", ""), "/ (; )");
}

// ---- URL scheme and request checks -----------------------------------------------------------

TEST(UrlScheme, IsCaseInsensitive)
{
    EXPECT_EQ(url_scheme("https://localhost/"), UrlScheme::https);
    EXPECT_EQ(url_scheme("HTTPS://localhost/"), UrlScheme::https);
    EXPECT_EQ(url_scheme("hTtPs://x"), UrlScheme::https);
    EXPECT_EQ(url_scheme("http://127.0.0.1/"), UrlScheme::http);
    EXPECT_EQ(url_scheme("HTTP://x"), UrlScheme::http);
}

TEST(UrlScheme, NeedsSomethingAfterTheSeparator)
{
    EXPECT_EQ(url_scheme("https://"), UrlScheme::unsupported);
    EXPECT_EQ(url_scheme("http://"), UrlScheme::unsupported);
    EXPECT_EQ(url_scheme("https://a"), UrlScheme::https);
    EXPECT_EQ(url_scheme("http://a"), UrlScheme::http);
}

TEST(UrlScheme, OtherSchemesAndShapesAreUnsupported)
{
    for (const char* url : {"", "ftp://host/", "https:/host/x", "https:host", "httpx://host/", "file:///c:/x",
                            "//host/path", "localhost/x", " https://host/", "ws://host/"})
        EXPECT_EQ(url_scheme(url), UrlScheme::unsupported) << url;
}

HttpRequest request_of(std::string method, std::string url)
{
    HttpRequest request;
    request.method = std::move(method);
    request.url = std::move(url);
    return request;
}

TEST(RequestChecks, OnlyExactGetAndPostAreAccepted)
{
    EXPECT_EQ(check_method_scheme_and_body(request_of("GET", "https://h/")), "");
    EXPECT_EQ(check_method_scheme_and_body(request_of("POST", "http://h/")), "");
    for (const char* method : {"get", "post", "Get", "PUT", "DELETE", "HEAD", "", "GET "})
        EXPECT_EQ(check_method_scheme_and_body(request_of(method, "https://h/")), "unsupported method") << method;
}

TEST(RequestChecks, MethodIsJudgedBeforeTheScheme)
{
    EXPECT_EQ(check_method_scheme_and_body(request_of("PUT", "ftp://h/")), "unsupported method");
    EXPECT_EQ(check_method_scheme_and_body(request_of("GET", "ftp://h/")), "only http and https URLs are supported");
}

TEST(RequestChecks, DefaultRequestIsAPostNeedingAUrl)
{
    EXPECT_EQ(check_method_scheme_and_body(HttpRequest{}), "only http and https URLs are supported");
}

TEST(TimeBudget, BelowOneMeansFifteenSeconds)
{
    EXPECT_EQ(effective_timeout_ms(0), 15000);
    EXPECT_EQ(effective_timeout_ms(-1), 15000);
    EXPECT_EQ(effective_timeout_ms(INT_MIN), 15000);
    EXPECT_EQ(effective_timeout_ms(1), 1);
    EXPECT_EQ(effective_timeout_ms(1000), 1000);
    EXPECT_EQ(effective_timeout_ms(INT_MAX), INT_MAX);
}

// ---- hosts and request targets ---------------------------------------------------------------

TEST(LoopbackHost, NamesAndAddressesOfThisMachine)
{
    for (const char* host : {"localhost", "127.0.0.1", "127.0.0.2", "127.255.1.9", "::1", "[::1]"})
        EXPECT_TRUE(is_loopback_host(host)) << host;
}

TEST(LoopbackHost, LookalikesAreNot)
{
    for (const char* host : {"", "example.com", "localhost.example.com", "mylocalhost", "128.0.0.1", "1127.0.0.1",
                             "127", "127example.com", "::2", "[::2]", "0.0.0.0", "10.0.0.1"})
        EXPECT_FALSE(is_loopback_host(host)) << host;
}

TEST(RootPath, SlashGoesBetweenHostAndADirectQueryOrFragment)
{
    EXPECT_EQ(with_root_path("http://127.0.0.1:8080?tag=q#f"), "http://127.0.0.1:8080/?tag=q#f");
    EXPECT_EQ(with_root_path("https://localhost?x"), "https://localhost/?x");
    EXPECT_EQ(with_root_path("https://localhost#frag"), "https://localhost/#frag");
}

TEST(RootPath, UrlsWithAPathOrNothingAfterTheHostStayAsTheyAre)
{
    for (const char* url : {"http://h/", "http://h/a?b#c", "https://h:1", "https://h", "http://h/?q", "not a url"})
        EXPECT_EQ(with_root_path(url), url);
}

TEST(RequestTarget, FragmentIsCutAndSlashLeads)
{
    EXPECT_EQ(request_target("/api/installer/v1/catalog?platform=windows"), "/api/installer/v1/catalog?platform=windows");
    EXPECT_EQ(request_target("/a?b#c"), "/a?b");
    EXPECT_EQ(request_target("/a#b#c"), "/a");
    EXPECT_EQ(request_target("?q=1"), "/?q=1");
    EXPECT_EQ(request_target(""), "/");
    EXPECT_EQ(request_target("#only"), "/");
    EXPECT_EQ(request_target("x"), "/x");
}

// ---- request headers -------------------------------------------------------------------------

TEST(RequestHeaders, NamesMustBeVisibleBytesWithoutColon)
{
    EXPECT_TRUE(is_valid_request_header("Authorization", "Bearer x"));
    EXPECT_TRUE(is_valid_request_header("X-\xC3\xA9", "v"));  // bytes above 0x20 are not judged further
    for (const std::string& name : std::vector<std::string>{"", "X Bad", "X:Bad", ":", "X\tBad", "X\rBad", "X\nBad", std::string("X\0", 2),
                                   std::string("\x01X")})
        EXPECT_FALSE(is_valid_request_header(name, "v")) << '"' << name << '"';
}

TEST(RequestHeaders, ValuesMustNotBreakTheLine)
{
    EXPECT_TRUE(is_valid_request_header("X", ""));
    EXPECT_TRUE(is_valid_request_header("X", "a\tb: c d"));
    for (const std::string& value : std::vector<std::string>{"a\rb", "a\nb", "a\r\nInjected: 1", std::string("a\0b", 3), "\n"})
        EXPECT_FALSE(is_valid_request_header("X", value));
}

TEST(RequestHeaders, LinesKeepTheCallersOrderAndSpelling)
{
    const PreparedHeaders prepared =
        prepare_request_headers({{"Accept", "application/json"}, {"X-Two", ""}, {"accept", "text/plain"}});
    EXPECT_TRUE(prepared.valid);
    EXPECT_THAT(prepared.lines, ElementsAre("Accept: application/json", "X-Two: ", "accept: text/plain"));
    EXPECT_EQ(prepared.agent, "");
    EXPECT_FALSE(prepared.carries_authorization);
}

TEST(RequestHeaders, ContentLengthInAnyCaseIsLeftOut)
{
    const PreparedHeaders prepared = prepare_request_headers(
        {{"Content-Length", "999"}, {"X-A", "1"}, {"CONTENT-LENGTH", "5"}, {"content-length", "0"}});
    EXPECT_TRUE(prepared.valid);
    EXPECT_THAT(prepared.lines, ElementsAre("X-A: 1"));
}

TEST(RequestHeaders, LaterUserAgentIsTheAgent)
{
    const PreparedHeaders prepared =
        prepare_request_headers({{"User-Agent", "first/1"}, {"X", "y"}, {"USER-AGENT", "second/2"}});
    EXPECT_EQ(prepared.agent, "second/2");
    EXPECT_THAT(prepared.lines, ElementsAre("User-Agent: first/1", "X: y", "USER-AGENT: second/2"));
}

TEST(RequestHeaders, AuthorizationIsNoticedInAnyCase)
{
    for (const char* name : {"Authorization", "authorization", "AUTHORIZATION", "aUtHoRiZaTiOn"})
        EXPECT_TRUE(prepare_request_headers({{"X", "1"}, {name, "Bearer t"}}).carries_authorization) << name;
    EXPECT_FALSE(prepare_request_headers({{"Proxy-Authorization", "x"}, {"Authorization-Hint", "y"}})
                     .carries_authorization);
}

TEST(RequestHeaders, OneBadHeaderRefusesThemAll)
{
    const PreparedHeaders prepared = prepare_request_headers({{"X-Good", "1"}, {"X Bad", "2"}, {"X-Later", "3"}});
    EXPECT_FALSE(prepared.valid);
}

TEST(RequestHeaders, BadContentLengthIsStillRefused)
{
    EXPECT_FALSE(prepare_request_headers({{"Content-Length", "1\r\nX: y"}}).valid);
}

TEST(RequestHeaders, OnlyAUserAgentLineReplacesTheEarlierOne)
{
    EXPECT_TRUE(header_line_replaces("User-Agent: x"));
    EXPECT_TRUE(header_line_replaces("user-agent: "));
    EXPECT_TRUE(header_line_replaces("USER-AGENT: tarnwick-installer/1.0.0"));
    EXPECT_FALSE(header_line_replaces("user-agent:"));
    EXPECT_FALSE(header_line_replaces("X-User-Agent: x"));
    EXPECT_FALSE(header_line_replaces("Accept: x"));
}

// ---- response headers ------------------------------------------------------------------------

TEST(RawHeaders, NamesAreLowerCasedAndValuesTrimmed)
{
    const HeaderList headers = parse_raw_headers(
        "HTTP/1.1 429 Too Many Requests\r\nContent-Type: application/json\r\nRetry-After:   30 \t\r\n"
        "X-Inner:\t a  b \r\n\r\n");
    EXPECT_THAT(headers, ElementsAre(Pair("content-type", "application/json"), Pair("retry-after", "30"),
                                     Pair("x-inner", "a  b")));
}

TEST(RawHeaders, StatusLineIsSkippedEvenWithAColon)
{
    EXPECT_THAT(parse_raw_headers("HTTP/1.1 200 Ok: fine\r\nA: 1\r\n"), ElementsAre(Pair("a", "1")));
}

TEST(RawHeaders, LinesThatNameNothingAreSkipped)
{
    const HeaderList headers =
        parse_raw_headers("HTTP/1.1 200 OK\r\nno colon here\r\n: no name\r\n\r\nX-Empty:\r\nX-Blank:   \r\n");
    EXPECT_THAT(headers, ElementsAre(Pair("x-empty", ""), Pair("x-blank", "")));
}

TEST(RawHeaders, NameIsTakenUpToTheFirstColonUntrimmed)
{
    EXPECT_THAT(parse_raw_headers("HTTP/1.1 200 OK\r\nSet-Cookie: a=b: c\r\nX-Spaced : v\r\n"),
                ElementsAre(Pair("set-cookie", "a=b: c"), Pair("x-spaced ", "v")));
}

TEST(RawHeaders, DuplicatesStayInOrder)
{
    EXPECT_THAT(parse_raw_headers("HTTP/1.1 200 OK\r\nVary: a\r\nVARY: b\r\n"),
                ElementsAre(Pair("vary", "a"), Pair("vary", "b")));
}

TEST(RawHeaders, OnlyAsciiLettersAreLowered)
{
    EXPECT_THAT(parse_raw_headers("HTTP/1.1 200 OK\r\nX-\xC3\x84Z: v\r\n"), ElementsAre(Pair("x-\xC3\x84z", "v")));
}

TEST(RawHeaders, NothingOrOnlyAStatusLineGivesNoHeaders)
{
    EXPECT_TRUE(parse_raw_headers("").empty());
    EXPECT_TRUE(parse_raw_headers("HTTP/1.1 204 No Content\r\n\r\n").empty());
}

// ---- failure texts ---------------------------------------------------------------------------

TEST(FailureText, KnownCodesCarryTheirSuffix)
{
    EXPECT_EQ(step_failure_text("WinHttpSendRequest", 12029),
              "WinHttpSendRequest failed (Win32 error 12029, cannot connect)");
    EXPECT_EQ(step_failure_text("WinHttpSendRequest", 12007),
              "WinHttpSendRequest failed (Win32 error 12007, name not resolved)");
    EXPECT_EQ(step_failure_text("WinHttpReadData", 12030),
              "WinHttpReadData failed (Win32 error 12030, connection error)");
    EXPECT_EQ(step_failure_text("WinHttpReceiveResponse", 12152),
              "WinHttpReceiveResponse failed (Win32 error 12152, invalid server response)");
    EXPECT_EQ(step_failure_text("WinHttpReceiveResponse", 12156),
              "WinHttpReceiveResponse failed (Win32 error 12156, redirect refused)");
    EXPECT_EQ(step_failure_text("WinHttpSendRequest", 12175),
              "WinHttpSendRequest failed (Win32 error 12175, TLS failure)");
}

TEST(FailureText, OtherCodesHaveNoSuffix)
{
    EXPECT_EQ(step_failure_text("WinHttpSendRequest", 12157), "WinHttpSendRequest failed (Win32 error 12157)");
    EXPECT_EQ(step_failure_text("WinHttpOpen", 0), "WinHttpOpen failed (Win32 error 0)");
    EXPECT_EQ(step_failure_text("WinHttpQueryHeaders(headers)", 4294967295u),
              "WinHttpQueryHeaders(headers) failed (Win32 error 4294967295)");
}

TEST(FailureText, IsCutToTheBuffer)
{
    const std::string text = step_failure_text(std::string(300, 'S'), 12029);
    EXPECT_EQ(text, std::string(159, 'S'));
}

TEST(FailureText, WaitedStepsReportTimeOutsAsTheDeadline)
{
    EXPECT_EQ(waited_step_failure_text("WinHttpReceiveResponse", 12002, false), "deadline exceeded");
    EXPECT_EQ(waited_step_failure_text("WinHttpSendRequest", 12029, true), "deadline exceeded");
    EXPECT_EQ(waited_step_failure_text("WinHttpSendRequest", 12029, false),
              "WinHttpSendRequest failed (Win32 error 12029, cannot connect)");
}

TEST(FailureText, UnwaitedStepsKeepTheTimeOutCode)
{
    EXPECT_EQ(step_failure_text("WinHttpConnect", 12002), "WinHttpConnect failed (Win32 error 12002)");
}

TEST(ProxyRoute, OnlyANamedProxyThatTheHostDoesNotBypassTakesTheWindowsSignIn)
{
    const struct {
        const wchar_t *proxies, *bypass, *host;
        bool named;
    } cases[] = {
        {L"proxy.corp.test:8080", L"", L"tarnwick.test", true},
        {L"https=p:3128;http=q:80", L"", L"tarnwick.test", true},
        {L"", L"", L"tarnwick.test", false},
        {L" ; ", L"", L"tarnwick.test", false},
        {L"https=", L"", L"tarnwick.test", false},
        {L"p:3128", L"<local>", L"intranet", false},
        {L"p:3128", L"<local>", L"tarnwick.test", true},
        {L"p:3128", L"*.tarnwick.test; 10.*", L"downloads.TARNWICK.test", false},
        {L"p:3128", L"*.tarnwick.test", L"tarnwick.test", true},
        {L"p:3128", L"tarnwick.test", L"Tarnwick.Test", false},
        {L"p:3128", L"tarn*k.test", L"tarnwick.test", false},
        {L"p:3128", L"tarn*k.test", L"tarnwick.test.evil", true},
        {L"p:3128", L"", L"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(proxy_named_for_host(c.proxies, c.bypass, c.host), c.named)
            << std::string(c.host, c.host + std::wcslen(c.host));
    EXPECT_TRUE(is_proxy_refusal(407, true));
    EXPECT_FALSE(is_proxy_refusal(407, false));
    EXPECT_FALSE(is_proxy_refusal(401, true));
}

}  // namespace
