#include "app/ui/live_region_win.h"

#include <utility>

namespace tw::app::ui {
namespace {

// Older MinGW headers name neither the property nor its values; the GUIDs are defined here so the
// program needs no oleacc import library.
constexpr GUID live_setting_property{0xc12bcd8e, 0x2a8e, 0x4950, {0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d, 0x58, 0xeb}};
constexpr GUID acc_prop_services_class{0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
constexpr GUID acc_prop_services_interface{0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};
constexpr LONG live_setting_polite = 1;
constexpr DWORD event_live_region_changed = 0x8019;  // EVENT_OBJECT_LIVEREGIONCHANGED

}  // namespace

LiveRegionMark LiveRegion::mark(HWND control)
{
    clear();
    void* made = nullptr;
    if (FAILED(CoCreateInstance(acc_prop_services_class, nullptr, CLSCTX_INPROC_SERVER, acc_prop_services_interface,
                                &made)) ||
        !made)
        return LiveRegionMark::no_service;
    services_.reset(static_cast<IAccPropServices*>(made));
    VARIANT polite{};
    polite.vt = VT_I4;
    polite.lVal = live_setting_polite;
    if (FAILED(services_.get()->SetHwndProp(control, OBJID_CLIENT, CHILDID_SELF, live_setting_property, polite)))
        return LiveRegionMark::refused;
    control_ = control;
    return LiveRegionMark::marked;
}

void LiveRegion::clear()
{
    const HWND control = std::exchange(control_, nullptr);
    if (control && services_) {
        MSAAPROPID property = live_setting_property;
        services_.get()->ClearHwndProps(control, OBJID_CLIENT, CHILDID_SELF, &property, 1);
    }
}

void LiveRegion::announce(HWND control)
{
    if (control)
        NotifyWinEvent(event_live_region_changed, control, OBJID_CLIENT, CHILDID_SELF);
}

}  // namespace tw::app::ui
