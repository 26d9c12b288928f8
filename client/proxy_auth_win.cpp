#include "client/proxy_auth_win.h"

#include "client/async_request_win.h"

namespace tw::client::platform {
namespace {

constexpr DWORD proxy_authentication_required = 407;

bool set_logon_policy(HINTERNET request, DWORD level)
{
    return WinHttpSetOption(request, WINHTTP_OPTION_AUTOLOGON_POLICY, &level, sizeof level) != FALSE;
}

// Negotiate before NTLM; 0 when the proxy offers neither, or the challenge is not the proxy's.
DWORD windows_scheme_offered(HINTERNET request)
{
    DWORD supported = 0;
    DWORD first = 0;
    DWORD target = 0;
    if (!WinHttpQueryAuthSchemes(request, &supported, &first, &target) || target != WINHTTP_AUTH_TARGET_PROXY)
        return 0;
    if (supported & WINHTTP_AUTH_SCHEME_NEGOTIATE)
        return WINHTTP_AUTH_SCHEME_NEGOTIATE;
    if (supported & WINHTTP_AUTH_SCHEME_NTLM)
        return WINHTTP_AUTH_SCHEME_NTLM;
    return 0;
}

}  // namespace

bool refuse_automatic_logon(HINTERNET request)
{
    return set_logon_policy(request, WINHTTP_AUTOLOGON_SECURITY_LEVEL_HIGH);
}

ProxyChallenge answer_proxy_challenge(HINTERNET request, bool asked_before, bool through_proxy)
{
    if (!through_proxy || response_status(request) != proxy_authentication_required)
        return ProxyChallenge::none;
    const DWORD scheme = asked_before ? 0 : windows_scheme_offered(request);
    if (scheme == 0)
        return ProxyChallenge::refused;
    // Medium lets the default credentials go to a proxy and to intranet hosts, which a host
    // reached through this proxy is not; low would hand them to any site that asks with a 401.
    if (!set_logon_policy(request, WINHTTP_AUTOLOGON_SECURITY_LEVEL_MEDIUM))
        return ProxyChallenge::refused;
    // Null user and password: the signed-in user's own credentials, for the proxy target only.
    if (!WinHttpSetCredentials(request, WINHTTP_AUTH_TARGET_PROXY, scheme, nullptr, nullptr, nullptr))
        return ProxyChallenge::refused;
    return ProxyChallenge::answered;
}

}  // namespace tw::client::platform
