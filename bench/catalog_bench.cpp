// The least a Windows program can do to have the catalog: one synchronous WinHTTP GET of the
// catalog address with the session options the Installer's transport sets, reading the body.
//   bench_catalog URL
// It prints one line as soon as the body is in, before anything is closed:
//   catalog status=200 bytes=N unix_ms=T created_unix_ms=C
// T is the system clock when the body was complete and C when this process was made, both in Unix
// milliseconds, so that a caller on the Linux side can time it from before Wine's start, as it
// times the Installer until its window shows the catalog.
#include "bench/url_argument.h"
#include "client/http_rules.h"
#include "client/scoped_win.h"
#include "client/text_win.h"
#include "download/cracked_address_win.h"

#include <windows.h>
#include <winhttp.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

using tw::client::platform::InternetHandle;
using tw::client::platform::widen;

constexpr char installer_user_agent[] = "tarnwick-installer/1.0.0 (windows; release)";
constexpr DWORD catalog_timeout_ms = tw::client::default_timeout_ms;

double unix_ms(FILETIME time)
{
    const auto ticks = (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return static_cast<double>(ticks - 116444736000000000ULL) / 1e4;
}

double created_unix_ms()
{
    FILETIME created{}, ended{}, kernel{}, user{};
    return GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user) ? unix_ms(created) : 0;
}

void set_dword(HINTERNET handle, DWORD option, DWORD value)
{
    WinHttpSetOption(handle, option, &value, sizeof value);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_catalog URL\n");
        return 2;
    }
    const std::optional<tw::download::CrackedAddress> address = url_argument("bench_catalog", argv[1]);
    if (!address)
        return 2;
    // As the transport opens a session for a loopback host: no proxy, one limit for every step,
    // TLS 1.2 or 1.3, no redirect from https to http.
    const InternetHandle session(WinHttpOpen(widen(installer_user_agent).c_str(),
                                             tw::client::is_loopback_host(tw::client::platform::narrow(address->host))
                                                 ? WINHTTP_ACCESS_TYPE_NO_PROXY
                                                 : WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
                                             WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session)
        return 1;
    WinHttpSetTimeouts(session.get(), catalog_timeout_ms, catalog_timeout_ms, catalog_timeout_ms, catalog_timeout_ms);
    set_dword(session.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, catalog_timeout_ms);
    if (address->secure)
        set_dword(session.get(), WINHTTP_OPTION_SECURE_PROTOCOLS,
                  WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3);
    const InternetHandle connection(WinHttpConnect(session.get(), address->host.c_str(), address->port, 0));
    if (!connection)
        return 1;
    const InternetHandle request(WinHttpOpenRequest(connection.get(), L"GET", address->path.c_str(), nullptr,
                                                    WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                    address->secure ? WINHTTP_FLAG_SECURE : 0));
    if (!request)
        return 1;
    set_dword(request.get(), WINHTTP_OPTION_REDIRECT_POLICY, WINHTTP_OPTION_REDIRECT_POLICY_DISALLOW_HTTPS_TO_HTTP);
    const std::wstring headers = L"Accept: application/json\r\n";
    if (!WinHttpSendRequest(request.get(), headers.c_str(), static_cast<DWORD>(-1), WINHTTP_NO_REQUEST_DATA, 0, 0,
                            0) ||
        !WinHttpReceiveResponse(request.get(), nullptr)) {
        std::fprintf(stderr, "bench_catalog: no answer (error %lu)\n", GetLastError());
        return 1;
    }
    DWORD status = 0;
    DWORD size = sizeof status;
    WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                        WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
    std::string body;
    std::vector<char> buffer(tw::client::receive_buffer_size);
    for (;;) {
        DWORD read = 0;
        if (!WinHttpReadData(request.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read)) {
            std::fprintf(stderr, "bench_catalog: the body broke off (error %lu)\n", GetLastError());
            return 1;
        }
        if (read == 0)
            break;
        body.append(buffer.data(), read);
    }
    FILETIME now{};
    GetSystemTimePreciseAsFileTime(&now);
    std::printf("catalog status=%lu bytes=%zu unix_ms=%.3f created_unix_ms=%.3f\n", status, body.size(), unix_ms(now),
                created_unix_ms());
    std::fflush(stdout);
    return status == 200 ? 0 : 1;
}
