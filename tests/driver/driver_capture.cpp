#include "driver_capture.h"

#include "client/scoped_win.h"

#include <cstring>

namespace twi::driver {
namespace {

using tw::client::platform::FileHandle;
using tw::client::platform::GdiObject;
using tw::client::platform::MemoryDc;
using tw::client::platform::SelectionScope;
using tw::client::platform::WindowDc;

WindowDc source_dc(HWND window, CaptureArea area)
{
    if (area == CaptureArea::window)
        return WindowDc::of_whole_window(window);
    return WindowDc(area == CaptureArea::screen ? nullptr : window);
}

bool write_all(const FileHandle& file, const void* data, std::size_t size)
{
    DWORD written = 0;
    return WriteFile(file.get(), data, static_cast<DWORD>(size), &written, nullptr) && written == size;
}

// The area's size and its origin inside the device context we copy from.
RECT area_rect(HWND window, CaptureArea area)
{
    RECT r{};
    switch (area) {
    case CaptureArea::client:
        GetClientRect(window, &r);
        break;
    case CaptureArea::window:
        GetWindowRect(window, &r);
        OffsetRect(&r, -r.left, -r.top);
        break;
    case CaptureArea::screen:
        r = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        break;
    }
    return r;
}

}  // namespace

COLORREF Pixels::at(int x, int y) const
{
    const std::uint32_t bgrx = data[static_cast<std::size_t>(y) * width + x];
    return RGB((bgrx >> 16) & 0xFF, (bgrx >> 8) & 0xFF, bgrx & 0xFF);
}

std::optional<Pixels> capture(HWND window, CaptureArea area)
{
    const RECT r = area_rect(window, area);
    Pixels pixels;
    pixels.width = r.right - r.left;
    pixels.height = r.bottom - r.top;
    if (pixels.width <= 0 || pixels.height <= 0) return std::nullopt;

    const WindowDc source = source_dc(window, area);
    if (!source.get()) return std::nullopt;
    MemoryDc memory(source.get());
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = pixels.width;
    info.bmiHeader.biHeight = -pixels.height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const GdiObject<HBITMAP> bitmap(CreateDIBSection(memory.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!memory.get() || !bitmap.get() || !bits) return std::nullopt;

    BOOL copied = FALSE;
    {
        const SelectionScope selected(memory.get(), bitmap.get());
        // A mirrored window's DC would hand its pixels over reflected: take them as the screen has them.
        SetLayout(source.get(), 0);
        copied = BitBlt(memory.get(), 0, 0, pixels.width, pixels.height, source.get(), r.left, r.top,
                        SRCCOPY | CAPTUREBLT);
        GdiFlush();
    }
    if (!copied) return std::nullopt;

    pixels.data.resize(static_cast<std::size_t>(pixels.width) * pixels.height);
    std::memcpy(pixels.data.data(), bits, pixels.data.size() * sizeof(std::uint32_t));
    return pixels;
}

bool save_bmp(const Pixels& pixels, const std::wstring& path)
{
    const int stride = (pixels.width * 3 + 3) & ~3;
    std::vector<unsigned char> rows(static_cast<std::size_t>(stride) * pixels.height, 0);
    for (int y = 0; y < pixels.height; ++y) {
        unsigned char* out = rows.data() + static_cast<std::size_t>(pixels.height - 1 - y) * stride;
        for (int x = 0; x < pixels.width; ++x) {
            const COLORREF c = pixels.at(x, y);
            out[x * 3 + 0] = GetBValue(c);
            out[x * 3 + 1] = GetGValue(c);
            out[x * 3 + 2] = GetRValue(c);
        }
    }
    BITMAPINFOHEADER info{};
    info.biSize = sizeof(info);
    info.biWidth = pixels.width;
    info.biHeight = pixels.height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = static_cast<DWORD>(rows.size());
    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42;  // "BM"
    header.bfOffBits = sizeof(header) + sizeof(info);
    header.bfSize = header.bfOffBits + info.biSizeImage;

    const FileHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.valid() && write_all(file, &header, sizeof(header)) && write_all(file, &info, sizeof(info)) &&
           write_all(file, rows.data(), rows.size());
}

}  // namespace twi::driver
