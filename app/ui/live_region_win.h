#pragma once
// The status line as a polite live region: a screen reader speaks each new sentence without the
// user moving to it. The mark is a dynamic annotation held by the accessibility runtime, so it is
// taken off again before the control goes.

#include "client/scoped_win.h"

#include <windows.h>
#include <oleacc.h>

namespace tw::app::ui {

enum class LiveRegionMark {
    marked,
    no_service,  // CLSID_AccPropServices could not be made (no COM on this thread, or no oleacc)
    refused,     // the service would not hold the property
};

class LiveRegion {
public:
    LiveRegion() = default;
    LiveRegion(const LiveRegion&) = delete;
    LiveRegion& operator=(const LiveRegion&) = delete;

    // Marks `control` polite. The window works the same without the mark; only the reader is quieter.
    LiveRegionMark mark(HWND control);
    // Takes the mark off while the control still exists; later calls do nothing.
    void clear();
    // Tells listeners the control's text is new; call after the text is set.
    static void announce(HWND control);

private:
    client::platform::ComReference<IAccPropServices> services_;
    HWND control_ = nullptr;
};

}  // namespace tw::app::ui
