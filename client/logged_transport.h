#pragma once
// A transport that writes each exchange with the site to the support log as it ends: method,
// path, status, size and time, never a header or a body.

#include "client/http.h"
#include "client/support_log.h"

#include <memory>

namespace tw::client {

using StepSink = void (*)(const support_log::Step&) noexcept;

std::shared_ptr<Transport> log_exchanges(std::shared_ptr<Transport> inner, StepSink sink);

}  // namespace tw::client
