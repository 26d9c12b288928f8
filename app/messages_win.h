#pragma once
// Private window messages from workers, and the heap records some of them carry. The worker
// posts a record's address; the window owns it once the post succeeds, the worker otherwise.

#include "app/window_model.h"

#include <windows.h>

#include <memory>
#include <string>

namespace tw::app {

inline constexpr UINT msg_catalog_reply = WM_APP + 1;         // lParam: catalog::CatalogReply*
inline constexpr UINT msg_sign_in_code = WM_APP + 2;          // lParam: SignInCodeReady*
inline constexpr UINT msg_sign_in_result = WM_APP + 3;        // lParam: SignInEnd*
inline constexpr UINT msg_progress = WM_APP + 4;              // wParam: thousandths done
inline constexpr UINT msg_status = WM_APP + 5;                // lParam: static wide string literal
inline constexpr UINT msg_work_result = WM_APP + 6;           // lParam: WorkResult*
inline constexpr UINT msg_self_update_launched = WM_APP + 7;

struct SignInCodeReady {
    std::wstring code;
    std::string approval_url;
    bool browser_opened = false;
};

// Hands a record to the window; when the window is gone the record dies here.
template <class Record>
void post_record(HWND window, UINT message, std::unique_ptr<Record> record)
{
    if (PostMessageW(window, message, 0, reinterpret_cast<LPARAM>(record.get())))
        record.release();
}

template <class Record>
std::unique_ptr<Record> take_record(LPARAM lparam)
{
    return std::unique_ptr<Record>(reinterpret_cast<Record*>(lparam));
}

}  // namespace tw::app
