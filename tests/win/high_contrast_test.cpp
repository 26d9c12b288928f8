// The real window in high contrast. Wine cannot turn the mode on, so the system colours are set
// for real and only the mode's flag comes through the test reader.
#include "app/main_window_win.h"
#include "tests/win/main_window_probe.h"
#include "app/messages_win.h"
#include "app/ui/system_look_win.h"
#include "app/workers_win.h"
#include "tests/driver/driver_capture.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace tw::app {
namespace {

constexpr int elements[] = {COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_HIGHLIGHT, COLOR_HIGHLIGHTTEXT,
                            COLOR_HOTLIGHT, COLOR_GRAYTEXT, COLOR_BTNFACE, COLOR_BTNTEXT};
constexpr COLORREF scheme[] = {RGB(0, 0, 0), RGB(255, 255, 255), RGB(0, 255, 255), RGB(0, 0, 0),
                               RGB(255, 255, 0), RGB(0, 255, 0), RGB(0, 0, 0), RGB(255, 255, 255)};

std::string build(const char* version)
{
    return std::string(R"({"version":")") + version + R"(","fileName":"a.exe","downloadUrl":"https://localhost/a",)" +
           R"("sizeBytes":1048576,"sha256":")" + std::string(64, '0') + "\"}";
}

std::string two_products()
{
    return R"({"publisher":"Tarnwick Software Ltd","products":[{"slug":"studio-pro","name":"Studio Pro","builds":[)" +
           build("2.1.0") + "," + build("2.0.0") + R"(]},{"slug":"notes","name":"Notes","builds":[)" + build("1.0.0") +
           "]}]}";
}

bool contrast_on = true;
ui::SystemLook test_look() { return {contrast_on, ui::current_system_colours()}; }

using test_support::pump_messages;

class HighContrastTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        for (size_t i = 0; i < std::size(elements); ++i)
            saved[i] = GetSysColor(elements[i]);
        ASSERT_TRUE(SetSysColors(static_cast<int>(std::size(elements)), elements, scheme));
        contrast_on = true;
        ui::set_system_look_reader(test_look);
        ASSERT_TRUE(MainWindow::register_class(GetModuleHandleW(nullptr)));
        window = MainWindow::create(GetModuleHandleW(nullptr), {});
        ASSERT_NE(window, nullptr);
        main = MainWindow::of(window);
        ShowWindow(window, SW_SHOW);
        hand_report({window, MainWindowProbe::site(*main).reports}, catalog::CatalogReply{200, two_products()});
        pump_messages();
    }

    void TearDown() override
    {
        set_thread_launcher(nullptr);
        if (IsWindow(window))
            DestroyWindow(window);
        pump_messages();
        ui::set_system_look_reader(nullptr);
        SetSysColors(static_cast<int>(std::size(elements)), elements, saved);
    }

    // Shows the window as it is now and keeps a copy in the artifacts folder.
    twi::driver::Pixels shoot(const char* screen)
    {
        pump_messages();
        auto pixels = twi::driver::capture(window, twi::driver::CaptureArea::client);
        EXPECT_TRUE(pixels) << screen;
        if (!pixels)
            return {};
        const std::string folder = TWI_ARTIFACTS_DIR;
        CreateDirectoryA(folder.c_str(), nullptr);
        const std::string path = folder + "/hc-" + std::to_string(main->view().dpi) + "-" + screen + ".bmp";
        EXPECT_TRUE(twi::driver::save_bmp(*pixels, std::wstring(path.begin(), path.end()))) << path;
        return *pixels;
    }

    // A point of the window's own background, left of the list.
    COLORREF background(const twi::driver::Pixels& pixels) const
    {
        const RECT& list = main->view().areas.list_rect;
        return pixels.at(list.left / 2, (list.top + list.bottom) / 2);
    }

    // Inside the selected row, between its bar and its text.
    COLORREF selected_row(const twi::driver::Pixels& pixels, HWND list) const
    {
        const int row = static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0));
        RECT r{};
        SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r));
        MapWindowPoints(list, window, reinterpret_cast<POINT*>(&r), 2);
        return pixels.at(r.left + ui::scale(main->view(), 12), r.top + ui::scale(main->view(), 6));
    }

    COLORREF saved[std::size(elements)] = {};
    HWND window = nullptr;
    MainWindow* main = nullptr;
};

TEST_P(HighContrastTest, EveryScreenDrawsWithTheSystemColours)
{
    if (GetParam() != 96) {
        RECT r;
        GetWindowRect(window, &r);
        RECT suggested{r.left, r.top, r.left + (r.right - r.left) * 3 / 2, r.top + (r.bottom - r.top) * 3 / 2};
        SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(GetParam(), GetParam()), reinterpret_cast<LPARAM>(&suggested));
    }
    ASSERT_EQ(main->view().dpi, GetParam());

    const auto products = shoot("products");
    EXPECT_EQ(background(products), GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(selected_row(products, main->view().controls.product_list), GetSysColor(COLOR_HIGHLIGHT));

    main->open_product(0);
    const auto versions = shoot("versions");
    EXPECT_EQ(selected_row(versions, main->view().controls.version_list), GetSysColor(COLOR_HIGHLIGHT));

    // The worker is never run, so its payload is left behind: the window is what is looked at.
    set_thread_launcher([](ThreadEntry, void*) { return true; });
    main->start_install();
    hand_report({window, MainWindowProbe::site(*main).reports}, ProgressReport{400});
    const auto download = shoot("download");
    const RECT& bar = main->view().areas.progress_rect;
    EXPECT_EQ(download.at(bar.left + (bar.right - bar.left) / 5, (bar.top + bar.bottom) / 2), GetSysColor(COLOR_HIGHLIGHT));

    hand_report({window, MainWindowProbe::site(*main).reports},
                WorkResult{Status{text::installed(L"Studio Pro 2.1.0"), StatusKind::success}});
    EXPECT_EQ(background(shoot("outcome")), GetSysColor(COLOR_WINDOW));
}

INSTANTIATE_TEST_SUITE_P(Dpi, HighContrastTest, ::testing::Values(96, 144));

TEST_F(HighContrastTest, TheWindowFollowsTheModeWhileItRuns)
{
    for (const bool on : {false, true, false}) {
        contrast_on = on;
        SendMessageW(window, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
        const auto pixels = shoot(on ? "switched-on" : "switched-off");
        EXPECT_EQ(background(pixels), on ? GetSysColor(COLOR_WINDOW) : ui::window_background) << on;
    }
}

}  // namespace
}  // namespace tw::app
