#pragma once

#include "app/version.h"  // generated from the project's VERSION

#include <string>
#include <string_view>

namespace tw::app {

inline constexpr std::string_view installer_version = TWI_INSTALLER_VERSION;

// The host of an origin: no scheme, path or port; an IPv6 literal keeps its brackets.
std::string site_host_of(std::string_view origin);

// "tarnwick-installer/1.0.0 (windows; release)"
const std::string& user_agent();

}  // namespace tw::app
