#include "client/tls_floor_win.h"

#include <atomic>

namespace tw::client::platform {
namespace {

std::atomic<SessionOptionSetter> active_setter{&WinHttpSetOption};

bool offer(HINTERNET session, DWORD protocols)
{
    return active_setter.load()(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols) != FALSE;
}

}  // namespace

bool require_modern_tls(HINTERNET session)
{
    return offer(session, tls12_and_13) || offer(session, tls12_only);
}

void set_session_option_setter(SessionOptionSetter setter)
{
    active_setter.store(setter ? setter : &WinHttpSetOption);
}

}  // namespace tw::client::platform
