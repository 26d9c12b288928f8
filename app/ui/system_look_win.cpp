#include "app/ui/system_look_win.h"

#include <windows.h>

#include <atomic>

namespace tw::app::ui {
namespace {

bool high_contrast_on()
{
    HIGHCONTRASTW state{};
    state.cbSize = sizeof state;
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof state, &state, 0) &&
           (state.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

SystemLook read_real_look() { return {high_contrast_on(), current_system_colours()}; }

std::atomic<SystemLookReader> active_reader{&read_real_look};

}  // namespace

SystemColours current_system_colours()
{
    SystemColours c;
    c.window = GetSysColor(COLOR_WINDOW);
    c.window_text = GetSysColor(COLOR_WINDOWTEXT);
    c.highlight = GetSysColor(COLOR_HIGHLIGHT);
    c.highlight_text = GetSysColor(COLOR_HIGHLIGHTTEXT);
    c.button_face = GetSysColor(COLOR_BTNFACE);
    c.button_text = GetSysColor(COLOR_BTNTEXT);
    c.gray_text = GetSysColor(COLOR_GRAYTEXT);
    c.hot_light = GetSysColor(COLOR_HOTLIGHT);
    return c;
}

SystemLook read_system_look() { return active_reader.load()(); }

void set_system_look_reader(SystemLookReader reader) { active_reader.store(reader ? reader : &read_real_look); }

}  // namespace tw::app::ui
