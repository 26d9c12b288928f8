#pragma once
// A proxy that asks who is behind it (407): the signed-in Windows user answers for the proxy
// alone, through Negotiate or NTLM; nobody answers for the site.

#include <windows.h>
#include <winhttp.h>

namespace tw::client::platform {

enum class ProxyChallenge { none, answered, refused };

// On a request just opened: WinHTTP sends no Windows credentials of its own accord, not even to a
// host it takes for the intranet. False when the handle refused the setting.
bool refuse_automatic_logon(HINTERNET request);

// After WinHttpReceiveResponse. none: the status is not 407, or no proxy is in use
// (`through_proxy` false), when a 407 is the site's answer like any other. answered: the proxy offered Negotiate
// or NTLM, this request had not answered yet (asked_before false), and the signed-in user's
// credentials are now set for the proxy; send the request again on the same handle, once.
// refused: anything else (Basic or Digest only, a second 407, credentials not taken); the 407
// is the answer.
ProxyChallenge answer_proxy_challenge(HINTERNET request, bool asked_before, bool through_proxy);

}  // namespace tw::client::platform
