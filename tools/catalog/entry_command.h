#pragma once
// `tarnwick-catalog entry`: the catalog entry of one signed setup program, ready to paste.

#include "tools/catalog/command_line.h"

#include <ostream>

namespace tw::tool {

// 0 with the entry on `out`; 1 when the file's signature is missing or does not hold; 2 for an
// input error.
int run_entry(const EntryOptions& options, std::ostream& out, std::ostream& err);

}  // namespace tw::tool
