#include "app/ui/window_view_win.h"

namespace tw::app::ui {

int scale(const WindowView& view, int units) { return MulDiv(units, view.dpi, 96); }

bool BackBuffer::ensure(HDC screen, int width, int height)
{
    if (dc() && width_ == width && height_ == height)
        return true;
    dc_.reset();
    bitmap_.reset(CreateCompatibleBitmap(screen, width, height));
    dc_.emplace(screen);
    if (!bitmap_ || !*dc_ || !dc_->select(bitmap_.get())) {
        dc_.reset();
        bitmap_.reset();
        return false;
    }
    // The window's own layout, so that a mirrored window paints in the coordinates its controls
    // have, and the copy onto the window is not mirrored a second time.
    SetLayout(dc_->get(), GetLayout(screen));
    width_ = width;
    height_ = height;
    return true;
}

}  // namespace tw::app::ui
