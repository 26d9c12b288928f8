#include "app/ui/fonts.h"

#include "app/ui/window_ui.h"

#include <cwchar>

namespace tw::app::ui {
namespace {

struct Faces {
    const wchar_t* text;
    const wchar_t* display;
    const wchar_t* icons;
};

Faces choose_faces()
{
    const bool variable = font_installed(L"Segoe UI Variable Text");
    return {variable ? L"Segoe UI Variable Text" : L"Segoe UI",
            variable ? L"Segoe UI Variable Display" : L"Segoe UI",
            font_installed(L"Segoe Fluent Icons") ? L"Segoe Fluent Icons" : L"Segoe MDL2 Assets"};
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

void delete_font(HFONT& font)
{
    if (font)
        DeleteObject(font);
    font = nullptr;
}

}  // namespace

int scale(const InstallerApp& app, int units) { return MulDiv(units, app.dpi, 96); }

bool font_installed(std::wstring_view face)
{
    LOGFONTW query{};
    query.lfCharSet = DEFAULT_CHARSET;
    const size_t length = face.size() < LF_FACESIZE ? face.size() : LF_FACESIZE - 1;
    std::wmemcpy(query.lfFaceName, face.data(), length);
    query.lfFaceName[length] = L'\0';

    bool found = false;
    HDC screen = GetDC(nullptr);
    EnumFontFamiliesExW(screen, &query, note_found, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    return found;
}

void destroy_fonts(InstallerApp& app)
{
    Fonts& f = app.fonts;
    for (HFONT* font : {&f.body, &f.title, &f.heading, &f.button, &f.row_detail, &f.badge, &f.code, &f.label,
                        &f.chevron, &f.row_title, &f.segment, &f.segment_selected, &f.subtitle, &f.icon})
        delete_font(*font);
}

void build_fonts(InstallerApp& app)
{
    destroy_fonts(app);

    const Faces& face = faces();
    const int dpi = app.dpi;
    Fonts& f = app.fonts;
    f.body = create_font(15, 400, face.text, dpi);
    f.title = create_font(23, 600, face.display, dpi);
    f.heading = create_font(17, 600, face.display, dpi);
    f.button = create_font(15, 600, face.text, dpi);
    f.row_detail = create_font(14, 400, face.text, dpi);
    f.badge = create_font(12, 600, face.text, dpi);
    f.code = create_font(24, 700, L"Consolas", dpi);
    f.label = create_font(13, 700, face.display, dpi);
    f.chevron = create_font(22, 400, face.text, dpi);
    f.row_title = create_font(16, 600, face.text, dpi);
    f.segment = create_font(15, 400, face.text, dpi);
    f.segment_selected = create_font(15, 600, face.text, dpi);
    f.subtitle = create_font(18, 400, face.display, dpi);
    f.icon = create_font(20, 400, face.icons, dpi);
    app.body_font_px = MulDiv(15, dpi, 96);

    for (HWND label : {app.status_label, app.beta_note}) {
        if (label)
            SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(f.body), TRUE);
    }
    if (app.product_list)
        SendMessageW(app.product_list, LB_SETITEMHEIGHT, 0, scale(app, 48));
    if (app.version_list)
        SendMessageW(app.version_list, LB_SETITEMHEIGHT, 0, scale(app, 44));
}

}  // namespace tw::app::ui
