#pragma once

#include "client/clock.h"

namespace tw::client::platform {

// Stateless: any thread may use any instance. Opens only what is_openable_url accepts.
class SystemBrowserOpener final : public BrowserOpener {
public:
    bool open(const std::string& url) noexcept override;
};

}  // namespace tw::client::platform
