#pragma once
// Pixel copies of another process's window, for the end-to-end driver. Test tooling only.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace twi::driver {

// A top-down 32-bit BGRX copy of some pixels.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> data;

    COLORREF at(int x, int y) const;
};

enum class CaptureArea { client, window, screen };

// Copies the area from the window's own device context (or the screen's). Empty when the
// window has no such area or the copy fails.
std::optional<Pixels> capture(HWND window, CaptureArea area);

// Writes a 24-bit bottom-up BMP; false when the file cannot be written.
bool save_bmp(const Pixels& pixels, const std::wstring& path);

}  // namespace twi::driver
