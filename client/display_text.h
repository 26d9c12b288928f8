#pragma once
// Text from the network made safe for a one-line diagnostic.

#include <cstddef>
#include <string>
#include <string_view>

namespace tw::client {

inline constexpr std::size_t label_display_chars = 64;   // operation labels, unrecognised codes
inline constexpr std::size_t detail_display_chars = 200; // transport failures, error messages

// Control bytes become blanks, so the text stays on one line; then every byte that does not
// start a well-formed, shortest-form UTF-8 sequence becomes "?". At most max_chars characters
// are kept, a whole sequence or a "?" counting as one. Empty when the text cannot be built.
std::string sanitize_for_display(std::string_view text, std::size_t max_chars) noexcept;

}  // namespace tw::client
