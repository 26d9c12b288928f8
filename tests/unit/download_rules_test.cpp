// Staged file names and the downloader's decisions that need no network.
#include "client/contract_error.h"
#include "download/download_rules.h"
#include "download/file_names.h"
#include "download/resume_rules.h"
#include "download/signer_rule.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace {

using namespace tw::download;

TEST(FileNames, RefusedCharactersGoAndEmptyNamesGetAStandIn)
{
    const struct {
        std::wstring name;
        std::wstring safe;
    } cases[] = {
        {L"Studio Pro 4.2.1 setup.x64.exe", L"Studio Pro 4.2.1 setup.x64.exe"},
        {L"a/b\\c:d.exe", L"abcd.exe"},
        {L"..\\..\\Windows\\evil.exe", L"....Windowsevil.exe"},
        {L"<>:\"|?*setup.exe", L"setup.exe"},
        {L"tab\there\nline\x1f.exe", L"tabhereline.exe"},
        {L"caf\u00e9 \u03b2\u0113ta.exe", L"caf\u00e9 \u03b2\u0113ta.exe"},
        {L"", L"installer.exe"},
        {L"\\/:*?", L"installer.exe"},
        {L".", L"installer.exe"},
        {L"..", L"installer.exe"},
        {L"./.", L"installer.exe"},  // judged after the refused characters are gone
        {L"...", L"..."},
        {L"CON", L"_CON"},
        {L"nul.exe", L"_nul.exe"},
        {L"Com1 .tar.exe", L"_Com1 .tar.exe"},
        {L"LPT\u00b9.exe", L"_LPT\u00b9.exe"},
        {L"CONSOLE.exe", L"CONSOLE.exe"},
        {L"COM10.exe", L"COM10.exe"},
        {L"my CON.exe", L"my CON.exe"},
        {std::wstring(200, L'S') + L".exe", std::wstring(124, L'S') + L".exe"},
        {std::wstring(200, L'S') + L".not-an-extension-at-all", std::wstring(128, L'S')},
        {std::wstring(127, L'S') + L"\xD83D\xDE00", std::wstring(127, L'S')},  // no half of a surrogate pair
    };
    for (const auto& c : cases)
        EXPECT_EQ(sanitise_file_name(c.name), c.safe);
}

TEST(FileNames, ParentsAndJoins)
{
    EXPECT_EQ(parent_folder(L"C:\\Temp\\TarnwickInstaller\\{G}\\setup.exe"), L"C:\\Temp\\TarnwickInstaller\\{G}");
    EXPECT_EQ(parent_folder(L"C:/Temp//{G}//setup.exe"), L"C:/Temp//{G}");
    EXPECT_EQ(parent_folder(L"setup.exe"), L"");
    EXPECT_EQ(join_path(L"C:\\Temp\\", L"TarnwickInstaller"), L"C:\\Temp\\TarnwickInstaller");
    EXPECT_EQ(join_path(L"C:\\Temp", L"TarnwickInstaller"), L"C:\\Temp\\TarnwickInstaller");
    EXPECT_EQ(join_path(L"C:/Temp/", L"x"), L"C:/Temp/x");
}

TEST(Redirects, FollowedStatusesAndWhereTheyLead)
{
    for (const std::uint32_t status : {301u, 302u, 303u, 307u, 308u})
        EXPECT_TRUE(is_followed_redirect(status)) << status;
    for (const std::uint32_t status : {0u, 200u, 300u, 304u, 305u, 306u, 309u})
        EXPECT_FALSE(is_followed_redirect(status)) << status;

    const struct {
        bool secure;
        std::uint16_t port;
        const char* location;
        const char* next;
    } cases[] = {
        {true, 443, "/files/b.exe", "https://tarnwick.test/files/b.exe"},
        {true, 8443, "/files/b.exe", "https://tarnwick.test:8443/files/b.exe"},
        {false, 80, "/files/b.exe?x=1", "http://tarnwick.test/files/b.exe?x=1"},
        {false, 443, "/b", "http://tarnwick.test:443/b"},
        {true, 80, "/b", "https://tarnwick.test:80/b"},
        {true, 443, "files/b.exe", "files/b.exe"},  // not resolved: the policy refuses it
        {true, 443, "https://downloads.tarnwick.test/b", "https://downloads.tarnwick.test/b"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(redirect_target(c.secure, "tarnwick.test", c.port, c.location), c.next) << c.location;
    // An IPv6 literal may come back from cracking without its brackets; the address needs them.
    EXPECT_EQ(redirect_target(false, "::1", 8080, "/b"), "http://[::1]:8080/b");
    EXPECT_EQ(redirect_target(false, "[::1]", 8080, "/b"), "http://[::1]:8080/b");
}

TEST(ContentLength, ReadLikeANumberUpToItsFirstOtherCharacter)
{
    constexpr auto largest_length = std::numeric_limits<std::int64_t>::max();
    const struct {
        const char* text;
        std::int64_t length;
    } cases[] = {
        {"1000", 1000},   {"  \t42", 42},    {"+7", 7},        {"-5", -5},
        {"12abc", 12},    {"", 0},           {"abc", 0},       {"9223372036854775807", largest_length},
        {"99999999999999999999999", largest_length}, {"4294967296", 4294967296},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parse_content_length(c.text), c.length) << c.text;
}

TEST(Pass, GoesToTheSiteHostItselfOnly)
{
    const struct {
        const char* host;
        const char* pass;
        bool sent;
    } cases[] = {
        {"tarnwick.test", "twdp_abc", true},
        {"TARNWICK.Test", "twdp_abc", true},
        {"downloads.tarnwick.test", "twdp_abc", false},
        {"tarnwick.test.evil", "twdp_abc", false},
        {"tarnwick.test", "", false},
        {"tarnwick.test", "twdp_a\r\nX-Injected: 1", false},
        {"tarnwick.test", "twdp_\x7f", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sends_pass(c.host, "tarnwick.test", c.pass), c.sent) << c.host << " " << c.pass;
    EXPECT_TRUE(sends_pass("::1", "[::1]", "twdp_abc"));
}

TEST(ErrorBody, OnlyAStringCodeInsideAnErrorObjectCounts)
{
    const struct {
        const char* body;
        const char* code;
    } cases[] = {
        {R"({"error":{"code":"RATE_LIMITED","retryAfterSec":30}})", "RATE_LIMITED"},
        {R"({"error":{"code":"rate_limited"}})", "rate_limited"},
        {R"({"error":{"code":"SOMETHING_NEW","message":"x"}})", "SOMETHING_NEW"},
        {R"({"error":{"code":429}})", ""},
        {R"({"error":"RATE_LIMITED"})", ""},
        {R"({"code":"RATE_LIMITED"})", ""},
        {R"([{"error":{"code":"RATE_LIMITED"}}])", ""},
        {"<html><body>Too many requests</body></html>", ""},
        {R"({"error":{"code":"RATE_LIMITED"})", ""},  // cut short
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(error_code_of(c.body), c.code) << c.body;
}

TEST(DownloadErrorBody, OnlyTheExactNamesTheFlowsActOnAreKnown)
{
    using tw::client::ContractErrorCode;
    const struct {
        const char* name;
        ContractErrorCode code;
    } cases[] = {
        {"RATE_LIMITED", ContractErrorCode::RATE_LIMITED},
        {"AGREEMENT_REQUIRED", ContractErrorCode::AGREEMENT_REQUIRED},
        {"INVALID_TOKEN", ContractErrorCode::INVALID_TOKEN},
        {"", ContractErrorCode::NONE},
        {"rate_limited", ContractErrorCode::UNRECOGNIZED},
        {"AGREEMENT_REQUIRED ", ContractErrorCode::UNRECOGNIZED},
        {"NO_CONTRACT_BODY", ContractErrorCode::UNRECOGNIZED},  // this side's own names
        {"SOMETHING_NEW", ContractErrorCode::UNRECOGNIZED},
    };
    for (const auto& c : cases)
        EXPECT_EQ(tw::client::download_code_named(c.name), c.code) << c.name;
}

TEST(SignerRule, OnlyTheWholeExactNameIsThePublisher)
{
    using namespace std::string_literals;
    const struct {
        std::wstring signer, publisher;
        SignerVerdict verdict;
    } cases[] = {
        {L"Tarnwick Software Ltd", L"Tarnwick Software Ltd", SignerVerdict::publisher},
        {L"", L"Tarnwick Software Ltd", SignerVerdict::unreadable},
        {L"tarnwick software ltd", L"Tarnwick Software Ltd", SignerVerdict::someone_else},
        {L"Tarnwick Software Ltd\0 Holdings"s, L"Tarnwick Software Ltd", SignerVerdict::someone_else},
        {L"Tarnwick\0Ltd"s, L"Tarnwick\0Ltd"s, SignerVerdict::someone_else},  // not even a catalog's own NUL
    };
    for (const auto& c : cases) {
        EXPECT_EQ(judge_signer_name<wchar_t>(c.signer, c.publisher), c.verdict) << c.signer.size();
        const std::string narrow_signer(c.signer.begin(), c.signer.end());
        const std::string narrow_publisher(c.publisher.begin(), c.publisher.end());
        EXPECT_EQ(judge_signer_name<char>(narrow_signer, narrow_publisher), c.verdict) << c.signer.size();
    }
}

TEST(ReadSize, FollowsTheLineWithinItsBounds)
{
    const struct {
        std::uint32_t size, got;
        std::int64_t took_ms;
        std::uint32_t next;
    } cases[] = {
        {16384, 16384, 3, 32768},       // quick: ask for more
        {262144, 262144, 0, 262144},     // never past one buffer
        {65536, 65536, 60, 65536},       // steady
        {65536, 65536, 400, 32768},      // slow: smaller pieces keep the bar moving
        {4096, 4096, 5000, 4096},        // never below the smallest
        {65536, 100, 0, 65536},          // a short read says nothing of the line
    };
    for (const auto& c : cases)
        EXPECT_EQ(next_read_size(c.size, c.got, c.took_ms), c.next) << c.size << " " << c.took_ms;
}

TEST(Retry, OnlyALineThatDroppedOrStalledIsTriedAgainAfterLongerWaits)
{
    for (const std::uint32_t error : {12002u, 12007u, 12029u, 12030u, 12152u})
        EXPECT_TRUE(is_passing_network_error(error)) << error;
    for (const std::uint32_t error : {0u, 12017u, 12038u, 12175u, 112u})
        EXPECT_FALSE(is_passing_network_error(error)) << error;
    EXPECT_EQ(wait_before_retry_ms(1) + wait_before_retry_ms(2) + wait_before_retry_ms(3), 1000 + 2000 + 4000);
    EXPECT_TRUE(accepts_byte_ranges("none, Bytes ") && !accepts_byte_ranges("none"));
}

TEST(Retry, AsksForTheRestOnlyOfARangedFileWithAStrongValidator)
{
    const std::string date = "Tue, 01 Jul 2025 10:00:00 GMT";
    const struct {
        FirstAnswer first;
        std::int64_t kept;
        std::string asked;  // empty: the whole file again
    } cases[] = {
        {{1000, true, "\"v1\"", date}, 400, "400 bytes=400- \"v1\""},
        {{1000, true, "W/\"v1\"", date}, 400, "400 bytes=400- " + date},  // a weak ETag never matches
        {{1000, true, "W/\"v1\"", ""}, 400, ""},
        {{1000, false, "\"v1\"", date}, 400, ""},
        {{0, true, "\"v1\"", date}, 400, ""},  // no length to check the range's total against
    };
    for (const auto& c : cases) {
        const RetryAsk ask = plan_retry(c.first, c.kept);
        EXPECT_EQ(ask.from == 0 ? "" : std::to_string(ask.from) + " " + ask.range + " " + ask.if_range, c.asked);
    }
}

TEST(Retry, AnAnswerContinuesOnlyWhereTheKeptBytesEndAndWithTheValidatorAsked)
{
    const std::string date = "Tue, 01 Jul 2025 10:00:00 GMT";
    const FirstAnswer first{1000, true, "\"v1\"", date};
    const RetryAsk ranged{400, "bytes=400-", "\"v1\""};
    const RetryAsk by_date{400, "bytes=400-", date};
    const struct {
        RetryAsk ask;
        std::uint32_t status;
        const char *content_range, *etag, *last_modified;
        RetryVerdict verdict;
    } cases[] = {
        {ranged, 206, " bytes 400-999/1000", "\"v1\"", "", RetryVerdict::continue_at_kept},
        {by_date, 206, "bytes 400-999/1000", "", date.c_str(), RetryVerdict::continue_at_kept},
        {by_date, 206, "bytes 400-999/1000", "\"v2\"", date.c_str(), RetryVerdict::continue_at_kept},
        {ranged, 200, "", "\"v2\"", "", RetryVerdict::restart},
        {{}, 200, "", "", "", RetryVerdict::restart},
        // A 206 that does not name what If-Range asked for is of some file, not of the kept bytes'.
        {ranged, 206, "bytes 400-999/1000", "", "", RetryVerdict::ask_whole},
        {ranged, 206, "bytes 400-999/1000", "W/\"v1\"", "", RetryVerdict::ask_whole},
        {ranged, 206, "bytes 400-999/1000", "\"v2\"", "", RetryVerdict::ask_whole},
        {ranged, 206, "bytes 400-999/1000", "", date.c_str(), RetryVerdict::ask_whole},
        {by_date, 206, "bytes 400-999/1000", "\"v1\"", "", RetryVerdict::ask_whole},
        {by_date, 206, "bytes 400-999/1000", "", "Wed, 02 Jul 2025 10:00:00 GMT", RetryVerdict::ask_whole},
        {{}, 206, "bytes 0-999/1000", "\"v1\"", "", RetryVerdict::fail},
        {ranged, 206, "bytes 0-999/1000", "\"v1\"", "", RetryVerdict::fail},
        {ranged, 206, "bytes 400-999/2000", "\"v1\"", "", RetryVerdict::fail},
        {ranged, 206, "bytes 400-999/*", "\"v1\"", "", RetryVerdict::fail},
        {ranged, 416, "bytes */1000", "", "", RetryVerdict::fail},
    };
    for (const auto& c : cases)
        EXPECT_EQ(judge_retry_answer(c.ask, first, c.status, c.content_range, {c.etag, c.last_modified}), c.verdict)
            << c.ask.if_range << " " << c.content_range << " " << c.etag << " " << c.last_modified;
    EXPECT_TRUE(fits_free_space(1000, 1000) && fits_free_space(0, 0) && !fits_free_space(1001, 1000));
}

TEST(Redirects, EachHopIsJudgedBeforeItIsFollowed)
{
    const struct {
        const char* name;
        bool secure;
        const char* location;
        int hops_taken;
        HopVerdict verdict;
        const char* next;
    } cases[] = {
        {"within the site", true, "/api/installer/v1/catalog", 0, HopVerdict::follow,
         "https://tarnwick.test/api/installer/v1/catalog"},
        {"to the downloads host", true, "https://downloads.tarnwick.test/f", 4, HopVerdict::follow,
         "https://downloads.tarnwick.test/f"},
        {"a sixth", true, "/again", 5, HopVerdict::too_many, ""},
        {"nowhere", true, "", 0, HopVerdict::no_location, ""},
        {"off the site", true, "https://elsewhere.test/catalog.json", 0, HopVerdict::foreign, ""},
        {"a look-alike", true, "https://tarnwick.test.elsewhere.test/", 0, HopVerdict::foreign, ""},
        {"with user information", true, "https://x@tarnwick.test/", 0, HopVerdict::foreign, ""},
        {"down to plain http", true, "http://tarnwick.test/", 0, HopVerdict::foreign, ""},
        {"relative without a slash", true, "catalog", 0, HopVerdict::foreign, ""},
    };
    for (const auto& c : cases) {
        const HopJudgement hop = judge_hop(c.secure, "tarnwick.test", 443, c.location, c.hops_taken, "tarnwick.test");
        EXPECT_EQ(hop.verdict, c.verdict) << c.name;
        EXPECT_EQ(hop.next, c.next) << c.name;
    }
    // A loopback development site keeps plain http to itself, but never after https.
    EXPECT_EQ(judge_hop(false, "localhost", 8080, "/b", 0, "localhost").verdict, HopVerdict::follow);
    EXPECT_EQ(judge_hop(true, "localhost", 8443, "http://localhost:8080/b", 0, "localhost").verdict,
              HopVerdict::foreign);
}

TEST(BodyBound, AnUnsizedBodyStopsPastTheCatalogsSizeAndAStrictSizeIsTheLimit)
{
    constexpr std::int64_t mib = 1 << 20;
    const struct {
        const char* name;
        std::int64_t announced, expected;
        bool strict;
        BodyBound bound;
    } cases[] = {
        {"announced: never past it", 5000, 2 * mib, false, {5000, false, false}},
        {"announced, size unknown", 5000, 0, false, {5000, false, false}},
        {"nothing known", 0, 0, false, {0, false, false}},
        {"unsized small file: 1 MiB slack", 0, 2 * mib, false, {3 * mib, false, true}},
        {"unsized large file: a tenth", 0, 100 * mib, false, {110 * mib, false, true}},
        {"strict, longer length refused", 2 * mib + 1, 2 * mib, true, {0, true, false}},
        {"strict, the length itself", 2 * mib, 2 * mib, true, {2 * mib, false, false}},
        {"strict, shorter length checked as announced", 1000, 2 * mib, true, {1000, false, false}},
        {"strict, unsized: not a byte past the size", 0, 2 * mib, true, {2 * mib, false, false}},
        {"strict without a size is not strict", 0, 0, true, {0, false, false}},
    };
    for (const auto& c : cases) {
        const BodyBound bound = body_bound(c.announced, c.expected, c.strict);
        EXPECT_EQ(bound.limit, c.bound.limit) << c.name;
        EXPECT_EQ(bound.refused, c.bound.refused) << c.name;
        EXPECT_EQ(bound.past_limit_fails, c.bound.past_limit_fails) << c.name;
    }
    EXPECT_EQ(body_bound(0, std::numeric_limits<std::int64_t>::max() - 5, false).limit,
              std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(space_to_ask(0, 2 * mib), 2 * mib);
    EXPECT_EQ(space_to_ask(7, 2 * mib), 7);
}

}  // namespace
