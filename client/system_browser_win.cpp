#include "client/system_browser_win.h"

#include "client/text_win.h"

#include <windows.h>
#include <shellapi.h>

namespace tw::client::platform {

bool SystemBrowserOpener::open(const std::string& url) noexcept
{
    if (!is_openable_url(url))
        return false;
    try {
        const std::wstring wide = widen(url_before_nul(url));
        const HINSTANCE shown = ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        // The shell reports success as any value above 32, an old convention of its own.
        return reinterpret_cast<INT_PTR>(shown) > 32;
    } catch (...) {
        return false;
    }
}

}  // namespace tw::client::platform
