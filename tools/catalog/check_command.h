#pragma once
// `tarnwick-catalog check`: a catalog read as the Installer reads it, reported.

#include "tools/catalog/command_line.h"

#include <ostream>

namespace tw::tool {

// 0, 1 or 2, as the usage text says.
int run_check(const CheckOptions& options, std::ostream& out, std::ostream& err);

}  // namespace tw::tool
