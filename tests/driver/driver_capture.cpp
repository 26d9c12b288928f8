#include "driver_capture.h"

#include <cstring>

namespace twi::driver {
namespace {

class WindowDc {
public:
    WindowDc(HWND window, CaptureArea area)
        : window_(area == CaptureArea::screen ? nullptr : window),
          dc_(area == CaptureArea::window ? GetWindowDC(window_) : GetDC(window_)) {}
    ~WindowDc() { if (dc_) ReleaseDC(window_, dc_); }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

class MemoryDc {
public:
    explicit MemoryDc(HDC like) : dc_(CreateCompatibleDC(like)) {}
    ~MemoryDc() { if (dc_) DeleteDC(dc_); }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

class Bitmap {
public:
    explicit Bitmap(HBITMAP bitmap) : bitmap_(bitmap) {}
    ~Bitmap() { if (bitmap_) DeleteObject(bitmap_); }
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;
    HBITMAP get() const { return bitmap_; }

private:
    HBITMAP bitmap_;
};

class File {
public:
    explicit File(const std::wstring& path)
        : file_(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~File() { if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_); }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    bool is_open() const { return file_ != INVALID_HANDLE_VALUE; }
    bool write(const void* data, std::size_t size)
    {
        DWORD written = 0;
        return WriteFile(file_, data, static_cast<DWORD>(size), &written, nullptr) && written == size;
    }

private:
    HANDLE file_;
};

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

    WindowDc source(window, area);
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
    Bitmap bitmap(CreateDIBSection(memory.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!memory.get() || !bitmap.get() || !bits) return std::nullopt;

    const HGDIOBJ previous = SelectObject(memory.get(), bitmap.get());
    // A mirrored window's DC would hand its pixels over reflected: take them as the screen has them.
    SetLayout(source.get(), 0);
    const BOOL copied = BitBlt(memory.get(), 0, 0, pixels.width, pixels.height, source.get(), r.left, r.top,
                               SRCCOPY | CAPTUREBLT);
    GdiFlush();
    SelectObject(memory.get(), previous);
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

    File file(path);
    return file.is_open() && file.write(&header, sizeof(header)) && file.write(&info, sizeof(info)) &&
           file.write(rows.data(), rows.size());
}

}  // namespace twi::driver
