#pragma once
// The downloader's decisions that need no network: which answers are redirects and where they
// lead, who may receive the download pass, and how the length and error answers are read.

#include <cstdint>
#include <string>
#include <string_view>

namespace tw::download {

inline constexpr int max_redirects = 5;
inline constexpr std::size_t file_buffer_size = 262'144;
inline constexpr std::size_t error_body_chunk = 4096;
inline constexpr std::size_t error_body_limit = 65'536;
inline constexpr std::uint32_t first_read_size = 16'384;
inline constexpr std::uint32_t smallest_read_size = 4096;

bool is_followed_redirect(std::uint32_t status);

// A host as it stands in an address: an IPv6 literal in brackets, whichever way it came.
std::string address_host(std::string_view host);

// The next address for a Location answer. A "/"-led location stays on the connection's scheme,
// host and port (a default port is left out); anything else is taken as it stands, for the
// address policy to judge.
std::string redirect_target(bool secure, std::string_view host, std::uint16_t port, std::string_view location);

enum class HopVerdict { follow, no_location, too_many, foreign };

struct HopJudgement {
    HopVerdict verdict = HopVerdict::foreign;
    std::string next;  // follow: the address to ask next
};

// A redirect answer from the address (secure, host, port) after `hops_taken` redirects, judged
// before anything connects to its target: at most max_redirects, never from https to http, and
// only where the address policy lets a download go.
HopJudgement judge_hop(bool secure, std::string_view host, std::uint16_t port, std::string_view location,
                       int hops_taken, std::string_view site_host);

// Leading blanks and a sign allowed, digits up to the first other character; 0 when there are
// none. A length too large for 64 bits reads as the largest, which no body can match.
std::int64_t parse_content_length(std::string_view text);

// The pass goes to the site host itself and nowhere else, not even its "downloads." host. A pass
// that could break the request head is never sent.
bool sends_pass(std::string_view host, std::string_view site_host, std::string_view pass);

// How much the next read of the body asks for, after a read of `size` that brought `got` bytes in
// `took_ms`. A read ends only once it is full, so the size follows the line: whole buffers on a
// fast one, where every read costs a hand-over between threads, and pieces that keep the bar
// moving every few dozen milliseconds on a slow one.
std::uint32_t next_read_size(std::uint32_t size, std::uint32_t got, std::int64_t took_ms);

// Why a download failed, where the window names the cause rather than the connection. too_long:
// the body ran past what the catalog said the file is, which only a file other than the
// published one does.
// unsafe_staging: the temporary folder could not keep the download from other programs.
enum class DownloadFailureKind { other, not_enough_space, too_long, unsafe_staging };

// How much of a body may be read, from its Content-Length (0: none) and the catalog's size
// (0: unknown). `limit` 0 means no bound; `refused` means none of the body is to be read.
struct BodyBound {
    std::int64_t limit = 0;
    bool refused = false;
    bool past_limit_fails = false;  // a byte beyond `limit` ends the download as too_long
};

// With a length, never past it. Without one, up to the catalog's size and the larger of a tenth
// of it and 1 MiB more: a server (or anything posing as one) could otherwise fill the disk.
// `size_is_limit` makes the catalog's size the bound itself: a longer announced length is
// refused, and no byte past the size is read.
BodyBound body_bound(std::int64_t announced, std::int64_t expected, bool size_is_limit);

// The length the free-space check asks for: the announced one, else the catalog's size.
std::int64_t space_to_ask(std::int64_t announced, std::int64_t expected);

// A length of 0 or less is unknown and is let through: the writes then tell.
bool fits_free_space(std::int64_t length, std::uint64_t free_bytes);

// The service error body's error.code when it is a string; empty for anything else.
std::string error_code_of(std::string_view body);

}  // namespace tw::download
