#include "client/display_text.h"

namespace tw::client {
namespace {

bool is_control(unsigned char byte)
{
    return byte < 0x20 || byte == 0x7F;
}

bool in_range(unsigned char byte, unsigned char low, unsigned char high)
{
    return byte >= low && byte <= high;
}

// The second byte is where overlong forms, surrogates and code points above U+10FFFF show.
bool second_byte_fits(unsigned char lead, unsigned char second)
{
    switch (lead) {
    case 0xE0: return in_range(second, 0xA0, 0xBF);
    case 0xED: return in_range(second, 0x80, 0x9F);
    case 0xF0: return in_range(second, 0x90, 0xBF);
    case 0xF4: return in_range(second, 0x80, 0x8F);
    default: return in_range(second, 0x80, 0xBF);
    }
}

std::size_t expected_length(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if (in_range(lead, 0xC2, 0xDF))
        return 2;
    if (in_range(lead, 0xE0, 0xEF))
        return 3;
    if (in_range(lead, 0xF0, 0xF4))
        return 4;
    return 0;
}

// The length of the well-formed sequence at the start of text, or 0 when there is none.
std::size_t sequence_length(std::string_view text)
{
    const auto lead = static_cast<unsigned char>(text.front());
    const std::size_t length = expected_length(lead);
    if (length <= 1)
        return length;
    if (text.size() < length || !second_byte_fits(lead, static_cast<unsigned char>(text[1])))
        return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (!in_range(static_cast<unsigned char>(text[i]), 0x80, 0xBF))
            return 0;
    }
    return length;
}

std::string blank_controls(std::string_view text)
{
    std::string blanked(text);
    for (char& c : blanked) {
        if (is_control(static_cast<unsigned char>(c)))
            c = ' ';
    }
    return blanked;
}

}  // namespace

std::string sanitize_for_display(std::string_view text, std::size_t max_chars) noexcept
{
    try {
        const std::string blanked = blank_controls(text);
        std::string_view rest = blanked;
        std::string shown;
        for (std::size_t chars = 0; chars < max_chars && !rest.empty(); ++chars) {
            const std::size_t length = sequence_length(rest);
            if (length == 0) {
                shown.push_back('?');
                rest.remove_prefix(1);
            } else {
                shown.append(rest.substr(0, length));
                rest.remove_prefix(length);
            }
        }
        return shown;
    } catch (...) {
        return {};
    }
}

}  // namespace tw::client
