#pragma once
// Every WinHTTP session speaks TLS 1.2 or later and nothing older.

#include <windows.h>
#include <winhttp.h>

namespace tw::client::platform {

inline constexpr DWORD tls12_and_13 = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;
inline constexpr DWORD tls12_only = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;

// Asks for TLS 1.2 and 1.3, then for 1.2 alone. A WinHTTP that does not know TLS 1.3 refuses the
// first with ERROR_INVALID_PARAMETER, and a refused option leaves the system's defaults, which on
// Windows 10 still allow TLS 1.0 and 1.1. False when neither was taken: then nothing may be sent.
bool require_modern_tls(HINTERNET session);

using SessionOptionSetter = BOOL(WINAPI*)(HINTERNET handle, DWORD option, LPVOID buffer, DWORD length);

// Tests stand in for an older WinHTTP here; null restores WinHttpSetOption.
void set_session_option_setter(SessionOptionSetter setter);

}  // namespace tw::client::platform
