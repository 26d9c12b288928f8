#include "client/support_log.h"

#include <chrono>
#include <cstdio>

namespace tw::client::support_log {
namespace {

std::string_view proxy_name(ProxyChoice proxy)
{
    switch (proxy) {
    case ProxyChoice::none:
        return "none";
    case ProxyChoice::system_default:
        return "default";
    case ProxyChoice::automatic:
        return "automatic";
    }
    return "unknown";
}

// Characters outside C0 that a viewer breaks a line at (NEL, LINE and PARAGRAPH SEPARATOR) or
// that turn the text after them around (the bidirectional embeddings, overrides and isolates): a
// product name holding one made a line in a support log read as two, or read backwards.
bool breaks_or_turns_lines(char32_t c)
{
    return c == 0x85 || c == 0x2028 || c == 0x2029 || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

std::size_t utf8_length(char32_t c)
{
    return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

// The code point of a well-formed two- or three-byte sequence at `at` when it is one of those
// characters, else 0. A malformed sequence is no character a viewer acts on; its bytes pass as
// they are.
char32_t line_breaker_at(std::string_view text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const auto continues = [&](std::size_t i) { return at + i < text.size() && (byte(i) & 0xC0) == 0x80; };
    char32_t c = 0;
    if (byte(0) == 0xC2 && continues(1))
        c = static_cast<char32_t>(((byte(0) & 0x1F) << 6) | (byte(1) & 0x3F));
    else if (byte(0) == 0xE2 && continues(1) && continues(2))
        c = static_cast<char32_t>(((byte(0) & 0x0F) << 12) | ((byte(1) & 0x3F) << 6) | (byte(2) & 0x3F));
    return breaks_or_turns_lines(c) ? c : 0;
}

std::string number(std::int64_t value)
{
    return std::to_string(value);
}

std::string describe(const StartStep& step)
{
    return "start Installer " + escaped(step.installer_version) + ", Windows " + escaped(step.windows_version) +
           ", dpi " + number(step.dpi) + ", proxy " + std::string(proxy_name(step.proxy));
}

std::string describe(const RequestStep& step)
{
    std::string text = "request " + escaped(step.method) + ' ' + escaped(request_path(step.url)) + " status " +
                       number(step.status) + ", " + number(static_cast<std::int64_t>(step.bytes)) + " bytes, " +
                       number(step.ms) + " ms";
    if (!step.error.empty())
        text += ", " + escaped(step.error);
    return text;
}

std::string describe(const DownloadStep& step)
{
    std::string text = "download GET " + escaped(step.file_name) + " status " + number(step.status) + ", " +
                       number(step.bytes) + " bytes, " + number(step.tries) + " tries, " + number(step.ms) + " ms";
    if (!step.failure.empty())
        text += ", " + escaped(step.failure);
    return text;
}

std::string describe(const HopStep& step)
{
    return "hop " + escaped(step.host) + " status " + number(step.status);
}

std::string describe(const HashStep& step)
{
    return std::string("hash ") + (step.matched ? "matches" : "differs") + ", expected " + escaped(step.expected) +
           ", actual " + escaped(step.actual);
}

std::string describe(const SignerStep& step)
{
    return std::string("signer ") + (step.accepted ? "accepted" : "refused") + ", read \"" + escaped(step.read) +
           "\", wanted \"" + escaped(step.wanted) + '"';
}

std::string describe(const SetupStep& step)
{
    if (step.declined)
        return "setup declined";
    if (!step.started)
        return "setup not started, " + escaped(step.reason);
    return "setup exit code " + number(step.exit_code);
}

std::string describe(const HandOverStep& step)
{
    if (step.started)
        return "new Installer started";
    return "new Installer not started, " + escaped(step.reason);
}

std::string describe(const CatalogTrustStep& step)
{
    std::string text = "catalog " + escaped(step.verdict);
    if (!step.key_id.empty())
        text += ", key " + escaped(step.key_id);
    if (!step.expires.empty())
        text += ", expires " + escaped(step.expires);
    if (!step.pinned_publisher.empty())
        text += ", publisher pinned \"" + escaped(step.pinned_publisher) + '"';
    if (!step.publisher_read.empty() && step.publisher_read != step.pinned_publisher)
        text += ", read \"" + escaped(step.publisher_read) + '"';
    return text;
}

std::string describe(const OutcomeStep& step)
{
    return "outcome " + escaped(step.sentence);
}

}  // namespace

std::string utc_stamp(std::int64_t unix_ms)
{
    using namespace std::chrono;
    const sys_time<milliseconds> time{milliseconds(unix_ms)};
    const sys_days day = floor<days>(time);
    const year_month_day date(day);
    const hh_mm_ss clock(time - day);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()), static_cast<int>(clock.subseconds().count()));
    return text;
}

std::string request_path(std::string_view url)
{
    if (const auto scheme_end = url.find("://"); scheme_end != std::string_view::npos) {
        const auto path_start = url.find_first_of("/?#", scheme_end + 3);
        url = path_start == std::string_view::npos ? std::string_view() : url.substr(path_start);
    }
    url = url.substr(0, url.find_first_of("?#"));
    return url.empty() ? std::string("/") : std::string(url);
}

std::string escaped(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        if (const char32_t breaker = line_breaker_at(text, at)) {
            char code[9];
            std::snprintf(code, sizeof code, "\\u%04X", static_cast<unsigned>(breaker));
            out += code;
            at += utf8_length(breaker);
            continue;
        }
        const auto byte = static_cast<unsigned char>(text[at++]);
        if (byte >= 0x20 && byte != 0x7f) {
            out += static_cast<char>(byte);
            continue;
        }
        char code[5];
        std::snprintf(code, sizeof code, "\\x%02X", byte);
        out += code;
    }
    return out;
}

std::string format_line(std::int64_t unix_ms, const Step& step)
{
    return utc_stamp(unix_ms) + ' ' + std::visit([](const auto& kind) { return describe(kind); }, step) + '\n';
}

bool rotates_before(std::uint64_t file_bytes, std::uint64_t line_bytes)
{
    return file_bytes > 0 && file_bytes + line_bytes > file_limit_bytes;
}

}  // namespace tw::client::support_log
