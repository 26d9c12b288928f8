// The support log's lines: the stamp, what is left out of an address, and one step to a line.
#include "client/support_log.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace tw::client::support_log;

TEST(SupportLog, EachStepIsOneLineWithoutItsSecrets)
{
    const struct {
        std::int64_t unix_ms;
        Step step;
        std::string line;
    } cases[] = {
        {1796828400123, StartStep{"1.0.0", "10.0.19045", 144, ProxyChoice::system_default},
         "2026-12-09T15:00:00.123Z start Installer 1.0.0, Windows 10.0.19045, dpi 144, proxy default\n"},
        {1709251199999,
         RequestStep{"POST", "https://localhost:7410/api/installer/v1/link/poll?t=secret#x", 401, 52, 9, ""},
         "2024-02-29T23:59:59.999Z request POST /api/installer/v1/link/poll status 401, 52 bytes, 9 ms\n"},
        {0, RequestStep{"GET", "https://localhost?platform=windows", 0, 0, 15000, "deadline exceeded"},
         "1970-01-01T00:00:00.000Z request GET / status 0, 0 bytes, 15000 ms, deadline exceeded\n"},
        {0, DownloadStep{"StudioSetup.exe", 200, 4096, 2, 80, ""},
         "1970-01-01T00:00:00.000Z download GET StudioSetup.exe status 200, 4096 bytes, 2 tries, 80 ms\n"},
        {0, DownloadStep{"Setup.exe", 404, 0, 0, 3, "The site answered 404."},
         "1970-01-01T00:00:00.000Z download GET Setup.exe status 404, 0 bytes, 0 tries, 3 ms, "
         "The site answered 404.\n"},
        {0, HashStep{"ab", "cd", false}, "1970-01-01T00:00:00.000Z hash differs, expected ab, actual cd\n"},
        {0, SignerStep{"Evil\r\nCorp", "Tarnwick", false},
         "1970-01-01T00:00:00.000Z signer refused, read \"Evil\\x0D\\x0ACorp\", wanted \"Tarnwick\"\n"},
        {0, SetupStep{true, false, 3010, ""}, "1970-01-01T00:00:00.000Z setup exit code 3010\n"},
        {0, SetupStep{false, false, 0, "Windows could not start the installer (error 2)."},
         "1970-01-01T00:00:00.000Z setup not started, Windows could not start the installer (error 2).\n"},
        {0, HandOverStep{false, "Access is denied.\r\n"},
         "1970-01-01T00:00:00.000Z new Installer not started, Access is denied.\\x0D\\x0A\n"},
        {0, OutcomeStep{"Studio 2.1.0 is installed.\x7F"},
         "1970-01-01T00:00:00.000Z outcome Studio 2.1.0 is installed.\\x7F\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(format_line(c.unix_ms, c.step), c.line);
}

// Whatever a viewer breaks a line at or reads the other way round is written as a code; the
// neighbours of each range, and sequences cut short, pass as they are.
TEST(SupportLog, EscapesEveryCharacterThatBreaksOrTurnsALine)
{
    const struct {
        std::string text;
        std::string written;
    } cases[] = {
        {"Studio\u2028Pro", "Studio\\u2028Pro"},
        {"a\u2029b\u0085c", "a\\u2029b\\u0085c"},
        {"\u202A\u202B\u202C\u202D\u202E", "\\u202A\\u202B\\u202C\\u202D\\u202E"},
        {"\u2066\u2067\u2068\u2069", "\\u2066\\u2067\\u2068\\u2069"},
        {"\u2027\u202F\u2065\u206A\u0084\u0086 T\u00e4rnwick \u2014 \u6f22", "\u2027\u202F\u2065\u206A\u0084\u0086 T\u00e4rnwick \u2014 \u6f22"},
        {"cut \xE2\x80", "cut \xE2\x80"},
        {"cut \xC2", "cut \xC2"},
        {"tab\there", "tab\\x09here"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(escaped(c.text), c.written) << c.written;
}

TEST(SupportLog, TurnsOverOnlyWhenTheLineWouldPassTheLimit)
{
    const struct {
        std::uint64_t file_bytes;
        std::uint64_t line_bytes;
        bool rotates;
    } cases[] = {
        {0, file_limit_bytes + 1, false},
        {file_limit_bytes - 10, 10, false},
        {file_limit_bytes - 10, 11, true},
        {file_limit_bytes + 5, 1, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(rotates_before(c.file_bytes, c.line_bytes), c.rotates) << c.file_bytes << " + " << c.line_bytes;
}

}  // namespace

namespace {

TEST(SupportLog, CatalogTrustNamesKeyExpiryAndPin)
{
    const struct {
        CatalogTrustStep step;
        std::string line;
    } cases[] = {
        {{"accepted", "0123456789abcdef", "2026-12-16T15:00:00Z", "Tarnwick", ""},
         "1970-01-01T00:00:00.000Z catalog accepted, key 0123456789abcdef, expires 2026-12-16T15:00:00Z, "
         "publisher pinned \"Tarnwick\"\n"},
        {{"another publisher", "", "", "Tarnwick", "Evil\nCorp"},
         "1970-01-01T00:00:00.000Z catalog another publisher, publisher pinned \"Tarnwick\", read \"Evil\\x0ACorp\"\n"},
        {{"unknown key", "", "", "", ""}, "1970-01-01T00:00:00.000Z catalog unknown key\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(format_line(0, c.step), c.line);
}

}  // namespace
