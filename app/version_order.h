#pragma once

#include <string_view>

namespace tw::app {

// -1, 0 or 1. major.minor.patch numerically; a pre-release is lower than its release;
// build metadata after "+" is ignored.
int compare_versions(std::string_view a, std::string_view b);

}  // namespace tw::app
