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
    std::string text = "download GET " + escaped(download_name(step.url)) + " status " + number(step.status) + ", " +
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

std::string download_name(std::string_view url)
{
    const std::string path = request_path(url);
    const auto last_slash = path.rfind('/');
    if (last_slash == 0 || last_slash == std::string::npos)
        return path;
    return ".../" + path.substr(last_slash + 1);
}

std::string escaped(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7f) {
            out += c;
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
