#include "app/ui/fonts_win.h"

#include "app/translation.h"
#include "app/ui/draw_primitives_win.h"

#include <cwchar>
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

// Fonts do not come and go while the program runs, so the system is asked once.
const Faces& faces()
{
    static const Faces chosen = choose_faces();
    return chosen;
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
    view.resources.body_font_px = MulDiv(15, dpi, 96);
    if (c.product_list)
        SendMessageW(c.product_list, LB_SETITEMHEIGHT, 0, scale(view, 48));
    if (c.version_list)
        SendMessageW(c.version_list, LB_SETITEMHEIGHT, 0, scale(view, 44));
}

}  // namespace tw::app::ui
