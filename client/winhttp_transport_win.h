#pragma once

#include "client/http.h"

#include <memory>

namespace tw::client::platform {

// The WinHTTP transport: one session per exchange, asynchronous WinHTTP driven step by step
// under one deadline. Keeps no state between calls, so any number of threads may share it.
std::shared_ptr<Transport> make_winhttp_transport();

}  // namespace tw::client::platform
