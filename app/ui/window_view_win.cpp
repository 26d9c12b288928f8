#include "app/ui/window_view_win.h"

namespace tw::app::ui {

int scale(const WindowView& view, int units) { return MulDiv(units, view.dpi, 96); }

bool BackBuffer::ensure(HDC screen, int width, int height)
{
    if (dc_ && width_ == width && height_ == height)
        return true;
    release();
    dc_ = CreateCompatibleDC(screen);
    bitmap_.reset(CreateCompatibleBitmap(screen, width, height));
    if (!dc_ || !bitmap_) {
        release();
        return false;
    }
    previous_ = SelectObject(dc_, bitmap_.get());
    width_ = width;
    height_ = height;
    return true;
}

// The bitmap can be deleted only once the DC no longer holds it.
void BackBuffer::release()
{
    if (dc_) {
        if (previous_)
            SelectObject(dc_, previous_);
        DeleteDC(dc_);
    }
    bitmap_.reset();
    dc_ = nullptr;
    previous_ = nullptr;
    width_ = height_ = 0;
}

}  // namespace tw::app::ui
