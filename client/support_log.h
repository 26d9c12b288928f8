#pragma once
// The support log's lines: the steps of a run as typed values, how one becomes one line, and when
// the file turns over. A step carries no secret by construction: no header value, no body, no
// query string, and of a download's address only the host of each hop; the download itself goes
// by the catalog's fileName.

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace tw::client::support_log {

enum class ProxyChoice { none, system_default, automatic };

struct StartStep {
    std::string installer_version;
    std::string windows_version;
    int dpi = 0;
    ProxyChoice proxy = ProxyChoice::none;
};

// One exchange with the site's API; `url` is cut to its path when written.
struct RequestStep {
    std::string method;
    std::string url;
    std::int32_t status = 0;  // 0: no answer
    std::uint64_t bytes = 0;
    std::int64_t ms = 0;
    std::string error;        // the transport's own account of no answer
};

// Named by the catalog's fileName: a download's address may carry a signed token in its query or
// in any segment of its path, the last one included.
struct DownloadStep {
    std::string file_name;
    std::uint32_t status = 0;
    std::int64_t bytes = 0;
    int tries = 0;
    std::int64_t ms = 0;
    std::string failure;  // the downloader's own sentence for why it stopped
};

struct HopStep {
    std::string host;
    std::uint32_t status = 0;
};

struct HashStep {
    std::string expected;
    std::string actual;
    bool matched = false;
};

struct SignerStep {
    std::string read;
    std::string wanted;
    bool accepted = false;
};

struct SetupStep {
    bool started = false;
    bool declined = false;
    std::uint32_t exit_code = 0;
    std::string reason;  // why it did not start, as the runner put it
};

// A self-update hands over to the new Installer without waiting for it.
struct HandOverStep {
    bool started = false;
    std::string reason;  // the system's account of why it did not start
};

// How a signed or pinned catalog was judged; the fields a build does not ask for stay empty.
struct CatalogTrustStep {
    std::string verdict;           // "accepted", or the refusal's own words
    std::string key_id;
    std::string expires;           // as the catalog wrote it, once its signature verified
    std::string pinned_publisher;
    std::string publisher_read;    // what a refused catalog named instead
};

// The sentence as the status line shows it.
struct OutcomeStep {
    std::string sentence;
};

using Step = std::variant<StartStep, RequestStep, DownloadStep, HopStep, HashStep, SignerStep, SetupStep, HandOverStep,
                          OutcomeStep, CatalogTrustStep>;

inline constexpr std::uint64_t file_limit_bytes = 1u << 20;

// "2026-12-09T15:00:00.123Z" for milliseconds since 1970-01-01 00:00:00 UTC.
std::string utc_stamp(std::int64_t unix_ms);

// The path alone: no scheme, host, query or fragment.
std::string request_path(std::string_view url);

// Control characters become \xNN, and the characters beyond them that break or turn a line
// (U+0085, U+2028, U+2029, U+202A to U+202E, U+2066 to U+2069) \uNNNN, so that whatever a value
// holds, a step stays one line that reads in order.
std::string escaped(std::string_view text);

// One line, ending in "\n".
std::string format_line(std::int64_t unix_ms, const Step& step);

// True when `line_bytes` more would take the file past the limit; an empty file takes any line.
bool rotates_before(std::uint64_t file_bytes, std::uint64_t line_bytes);

}  // namespace tw::client::support_log
