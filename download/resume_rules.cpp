#include "download/resume_rules.h"

#include "client/http_rules.h"

#include <charconv>

namespace tw::download {
namespace {

constexpr std::uint32_t winhttp_timeout = 12002;
constexpr std::uint32_t winhttp_name_not_resolved = 12007;
constexpr std::uint32_t winhttp_cannot_connect = 12029;
constexpr std::uint32_t winhttp_connection_error = 12030;
constexpr std::uint32_t winhttp_invalid_server_response = 12152;

// A weak validator never matches in If-Range: the server would send the whole file every time.
bool is_weak(std::string_view etag)
{
    return etag.starts_with("W/");
}

bool read_number(std::string_view text, std::int64_t& value)
{
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return !text.empty() && error == std::errc{} && stop == end && value >= 0;
}

}  // namespace

bool is_passing_network_error(std::uint32_t error)
{
    // A name that resolved for the first request and not for the next is a line coming back up.
    return error == winhttp_timeout || error == winhttp_name_not_resolved || error == winhttp_cannot_connect ||
           error == winhttp_connection_error || error == winhttp_invalid_server_response;
}

std::int64_t wait_before_retry_ms(int retry)
{
    return retry < 1 ? 0 : std::int64_t{1000} << (retry - 1);
}

bool accepts_byte_ranges(std::string_view accept_ranges)
{
    while (!accept_ranges.empty()) {
        const auto comma = accept_ranges.find(',');
        if (client::equals_ascii_ci(client::trim_blanks(accept_ranges.substr(0, comma)), "bytes"))
            return true;
        accept_ranges = comma == std::string_view::npos ? std::string_view{} : accept_ranges.substr(comma + 1);
    }
    return false;
}

RetryAsk plan_retry(const FirstAnswer& first, std::int64_t kept)
{
    const std::string& validator =
        !first.etag.empty() && !is_weak(first.etag) ? first.etag : first.last_modified;
    if (!first.accepts_ranges || first.length < 1 || kept < 1 || kept >= first.length || validator.empty())
        return {};
    return {kept, "bytes=" + std::to_string(kept) + "-", validator};
}

ContentRange parse_content_range(std::string_view text)
{
    text = client::trim_blanks(text);
    constexpr std::string_view unit = "bytes ";
    const auto dash = text.find('-');
    const auto slash = text.find('/');
    ContentRange range;
    if (!client::starts_with_ascii_ci(text, unit) || dash == std::string_view::npos ||
        slash == std::string_view::npos || dash > slash)
        return {};
    if (!read_number(text.substr(unit.size(), dash - unit.size()), range.first) ||
        !read_number(text.substr(dash + 1, slash - dash - 1), range.last) || range.last < range.first)
        return {};
    if (!read_number(text.substr(slash + 1), range.total))
        range.total = -1;
    return range;
}

bool carries_if_range_validator(std::string_view if_range, const AnswerValidators& answer)
{
    if (if_range.empty())
        return false;
    // An If-Range holds an entity tag exactly when it is quoted; anything else is a date.
    if (if_range.starts_with('"'))
        return !is_weak(answer.etag) && answer.etag == if_range;
    return answer.last_modified == if_range;
}

RetryVerdict judge_retry_answer(const RetryAsk& ask, const FirstAnswer& first, std::uint32_t status,
                                std::string_view content_range, const AnswerValidators& answer)
{
    if (status == 200)
        return RetryVerdict::restart;
    if (status != 206 || ask.from < 1)
        return RetryVerdict::fail;
    // A server (or a cache before it) that ignored If-Range spliced another file's tail onto the
    // kept bytes, which only the hash caught, after the whole download.
    if (!carries_if_range_validator(ask.if_range, answer))
        return RetryVerdict::ask_whole;
    const ContentRange range = parse_content_range(content_range);
    const bool continues = range.first == ask.from && range.total == first.length && range.last == first.length - 1;
    return continues ? RetryVerdict::continue_at_kept : RetryVerdict::fail;
}

}  // namespace tw::download
