#pragma once
// The window's one dark look. Colours use the COLORREF layout (0x00BBGGRR) so that they pass
// straight to GDI, but this header needs no Windows headers and is tested natively.

#include <algorithm>
#include <cstdint>

namespace tw::app::ui {

using Colour = std::uint32_t;

constexpr Colour rgb(unsigned r, unsigned g, unsigned b)
{
    return (r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16);
}
constexpr unsigned red_of(Colour c) { return c & 0xFF; }
constexpr unsigned green_of(Colour c) { return (c >> 8) & 0xFF; }
constexpr unsigned blue_of(Colour c) { return (c >> 16) & 0xFF; }

inline constexpr Colour window_background = rgb(20, 16, 25);
inline constexpr Colour caption_colour = rgb(36, 28, 48);
inline constexpr Colour card_background = rgb(14, 10, 19);
inline constexpr Colour list_background = rgb(30, 23, 38);
inline constexpr Colour hover_fill = rgb(42, 33, 56);
inline constexpr Colour border_colour = rgb(117, 98, 143);
inline constexpr Colour text_colour = rgb(232, 226, 240);
inline constexpr Colour text_bright = rgb(240, 234, 246);
inline constexpr Colour text_muted = rgb(167, 159, 184);
inline constexpr Colour text_disabled = rgb(122, 112, 144);
inline constexpr Colour fill_disabled = rgb(27, 21, 34);
inline constexpr Colour accent = rgb(167, 139, 250);
inline constexpr Colour accent_hover = rgb(183, 157, 251);
inline constexpr Colour focus_ring = rgb(196, 176, 252);
inline constexpr Colour gold = rgb(212, 175, 55);
inline constexpr Colour status_warning = rgb(242, 184, 75);
inline constexpr Colour status_success = rgb(70, 214, 160);

// Per channel (a * alpha + b * (255 - alpha) + 127) / 255.
constexpr Colour blend(Colour a, Colour b, unsigned alpha)
{
    const auto mix = [alpha](unsigned x, unsigned y) { return (x * alpha + y * (255 - alpha) + 127) / 255; };
    return rgb(mix(red_of(a), red_of(b)), mix(green_of(a), green_of(b)), mix(blue_of(a), blue_of(b)));
}

inline constexpr Colour selected_row_tint = blend(accent, list_background, 31);
inline constexpr Colour card_outline = blend(border_colour, card_background, 128);

// MulDiv(value, dpi, 96): rounds half away from zero, as MulDiv does.
constexpr int scale_to_dpi(int value, int dpi)
{
    const std::int64_t product = static_cast<std::int64_t>(value) * dpi;
    const std::int64_t half = product >= 0 ? 48 : -48;
    return static_cast<int>((product + half) / 96);
}

// A line one unit thick: the hairlines of the caption's edge, the list's outline and the badge.
inline constexpr int hairline_units = 1;

// That line at `dpi`, never thinner than a pixel.
constexpr int hairline_px(int dpi) { return std::max(scale_to_dpi(hairline_units, dpi), 1); }

}  // namespace tw::app::ui
