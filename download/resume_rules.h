#pragma once
// What a download that broke part way does next, decided without the network: whether the break
// is worth another try, how long to wait first, what to ask for, and how the answer is taken.

#include <cstdint>
#include <string>
#include <string_view>

namespace tw::download {

inline constexpr int max_retries = 3;

// True for the WinHTTP failures of a line that drops, resets or stalls, which a moment later may
// not recur. A refused certificate or a cancel is no such failure.
bool is_passing_network_error(std::uint32_t error);

// Milliseconds to wait before retry `retry` (1 to max_retries): 1, 2, then 4 seconds.
std::int64_t wait_before_retry_ms(int retry);

// What the first 200 answer said about the file.
struct FirstAnswer {
    std::int64_t length = 0;  // 0 when it gave none
    bool accepts_ranges = false;
    std::string etag;
    std::string last_modified;
};

// An Accept-Ranges value that lists the "bytes" unit.
bool accepts_byte_ranges(std::string_view accept_ranges);

// The next request's extra lines: with `from` 0 the whole file again and no lines.
struct RetryAsk {
    std::int64_t from = 0;
    std::string range;     // "bytes=N-"
    std::string if_range;  // the validator the kept bytes came with
};

RetryAsk plan_retry(const FirstAnswer& first, std::int64_t kept);

struct ContentRange {
    std::int64_t first = -1;
    std::int64_t last = -1;
    std::int64_t total = -1;  // -1 for "*" or anything unreadable
};

// "bytes A-B/T"; every field -1 when the text is no such range.
ContentRange parse_content_range(std::string_view text);

// continue_at_kept: the 206 carries the rest of the kept bytes' file. restart: a 200 to take from
// its first byte. ask_whole: a 206 that cannot be shown to be of the kept bytes' file, so they go
// and the whole file is asked for again, as another try.
enum class RetryVerdict { continue_at_kept, restart, ask_whole, fail };

// The new answer's own validators, empty where it gave none.
struct AnswerValidators {
    std::string_view etag;
    std::string_view last_modified;
};

// A 206 continues the kept bytes only when it names the validator the If-Range sent: the same
// strong ETag, or the same Last-Modified.
bool carries_if_range_validator(std::string_view if_range, const AnswerValidators& answer);

RetryVerdict judge_retry_answer(const RetryAsk& ask, const FirstAnswer& first, std::uint32_t status,
                                std::string_view content_range, const AnswerValidators& answer);

}  // namespace tw::download
