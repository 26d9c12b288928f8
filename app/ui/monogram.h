#pragma once
// The monogram of the window icons and of resources/tarnwick.ico, in a box of side 1: a rounded
// card, a gold "T" made of two bars and a violet "W" drawn as one stroke with round joins and
// caps. scripts/make-icon reads the values below from this file to draw the icon resource, so
// each stays on one line as `inline constexpr double name = number;` (arrays on one line too).

namespace tw::app::ui::monogram {

inline constexpr double corner_radius = 0.18;       // of the side
inline constexpr double min_corner_radius_px = 2.0; // keeps the smallest icons visibly rounded
inline constexpr double stroke = 0.095;             // T bars and the W's pen
inline constexpr double letter_top = 0.29;
inline constexpr double letter_bottom = 0.71;
inline constexpr double t_width = 0.22;
inline constexpr double w_width = 0.25;
inline constexpr double letter_gap = 0.05;

// The W's centre line as x, y pairs in its own box: w_width wide and the letter band less one
// pen high, so the stroke's round ends stay inside the band and its ink is one pen wider than
// w_width. (Measuring the ink by w_width instead closes the W into a blot at any size.)
inline constexpr double w_centre_line[] = {0.0, 0.0, 0.22, 1.0, 0.5, 0.15, 0.78, 1.0, 1.0, 0.0};

// Left edges of the letters' ink: the pair is centred, the gap is between the inks.
inline constexpr double t_left = (1.0 - (t_width + letter_gap + w_width + stroke)) / 2.0;
inline constexpr double w_left = t_left + t_width + letter_gap;

}  // namespace tw::app::ui::monogram
