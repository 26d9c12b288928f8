#include "app/ui/fonts_win.h"

#include "app/translation.h"
#include "app/ui/draw_primitives_win.h"

#include "app/texts.h"

#include <cwchar>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace tw::app::ui {
namespace {

struct Faces {
    const wchar_t* text;
    const wchar_t* display;
    const wchar_t* icons;
};

// Segoe UI has no CJK glyphs; where the system's UI font for the script is installed, the window
// draws in it outright, so that Latin and CJK in one line share its metrics. Without it, Segoe
// UI stays and the system's font linking finds the glyphs.
const wchar_t* script_face(Script script)
{
    switch (script) {
    case Script::japanese:
        return L"Yu Gothic UI";
    case Script::korean:
        return L"Malgun Gothic";
    case Script::chinese_simplified:
        return L"Microsoft YaHei UI";
    case Script::chinese_traditional:
        return L"Microsoft JhengHei UI";
    default:
        return nullptr;
    }
}

Faces choose_faces()
{
    const wchar_t* icons = font_installed(L"Segoe Fluent Icons") ? L"Segoe Fluent Icons" : L"Segoe MDL2 Assets";
    const wchar_t* script = script_face(shown_language().script);
    if (script && font_installed(script))
        return {script, script, icons};
    const bool variable = font_installed(L"Segoe UI Variable Text");
    return {variable ? L"Segoe UI Variable Text" : L"Segoe UI",
            variable ? L"Segoe UI Variable Display" : L"Segoe UI", icons};
}

// Fonts do not come and go while the program runs, so the system is asked once a language.
const Faces& faces()
{
    static std::map<std::string_view, Faces> chosen;
    static std::mutex guard;
    const std::lock_guard lock(guard);
    const auto [at, _] = chosen.try_emplace(shown_language().tag, choose_faces());
    return at->second;
}

// Room a label leaves in its button: the body's inset and a margin each side, which "Get the new
// Installer" in the designed 208 units still has at 144 DPI under a wide stand-in font.
constexpr int button_padding = 24;
constexpr int segment_padding = 24;
constexpr int link_padding = 16;

int label_units(HDC dc, TextId label, HFONT font, int padding, int dpi)
{
    const SIZE size = measure_text(dc, shown(label), font);
    return (size.cx * 96 + dpi - 1) / dpi + padding;
}

int CALLBACK note_found(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found)
{
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

HFONT create_font(int size, int weight, const wchar_t* face, int dpi)
{
    return CreateFontW(-MulDiv(size, dpi, 96), 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
}

}  // namespace

LabelWidths measure_labels(const WindowView& view)
{
    const client::platform::WindowDc screen(nullptr);
    const HDC dc = screen.get();
    const Fonts& f = view.resources.fonts;
    const int dpi = view.dpi;
    LabelWidths w;
    w.back = label_units(dc, text::all_products, f.button, link_padding, dpi);
    w.official = label_units(dc, text::official, f.segment_selected, segment_padding, dpi);
    w.beta = label_units(dc, text::beta, f.segment_selected, segment_padding, dpi);
    w.sign_in = label_units(dc, text::sign_in, f.button, button_padding, dpi);
    w.reopen_browser = label_units(dc, text::open_browser_again, f.button, button_padding, dpi);
    w.cancel_sign_in = label_units(dc, text::cancel, f.button, button_padding, dpi);
    w.install = label_units(dc, text::install, f.button, button_padding, dpi);
    w.get_new_installer = label_units(dc, text::get_new_installer, f.button, button_padding, dpi);
    w.close = label_units(dc, text::close, f.button, button_padding, dpi);
    return w;
}

bool font_installed(std::wstring_view face)
{
    LOGFONTW query{};
    query.lfCharSet = DEFAULT_CHARSET;
    const size_t length = face.size() < LF_FACESIZE ? face.size() : LF_FACESIZE - 1;
    std::wmemcpy(query.lfFaceName, face.data(), length);
    query.lfFaceName[length] = L'\0';

    bool found = false;
    const client::platform::WindowDc screen(nullptr);
    EnumFontFamiliesExW(screen.get(), &query, note_found, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

void build_fonts(WindowView& view)
{
    const Faces& face = faces();
    const int dpi = view.dpi;
    std::vector<GdiOwner<HFONT>> owned;
    const auto make = [&owned, dpi](int size, int weight, const wchar_t* font_face) {
        owned.emplace_back(create_font(size, weight, font_face, dpi));
        return owned.back().get();
    };
    Fonts f;
    f.body = make(15, 400, face.text);
    f.title = make(23, 600, face.display);
    f.heading = make(17, 600, face.display);
    f.button = make(15, 600, face.text);
    f.row_detail = make(14, 400, face.text);
    f.badge = make(12, 600, face.text);
    f.code = make(24, 700, L"Consolas");
    f.label = make(13, 700, face.display);
    f.chevron = make(22, 400, face.text);
    f.row_title = make(16, 600, face.text);
    f.segment = make(15, 400, face.text);
    f.segment_selected = make(15, 600, face.text);
    f.subtitle = make(18, 400, face.display);
    f.icon = make(20, 400, face.icons);

    const Controls& c = view.controls;
    for (HWND label : {c.status_label, c.beta_note}) {
        if (label)
            SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(f.body), TRUE);
    }
    // The labels hold the old body font until here; only now may it go.
    view.resources.fonts = f;
    view.resources.owned_fonts = std::move(owned);
    view.label_widths = measure_labels(view);
    view.resources.body_font_px = MulDiv(15, dpi, 96);
    if (c.product_list)
        SendMessageW(c.product_list, LB_SETITEMHEIGHT, 0, scale(view, 48));
    if (c.version_list)
        SendMessageW(c.version_list, LB_SETITEMHEIGHT, 0, scale(view, 44));
}

}  // namespace tw::app::ui
