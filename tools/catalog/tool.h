#pragma once
// tarnwick-catalog as a function of its arguments, so that tests can run it whole.

#include <ostream>
#include <string>
#include <vector>

namespace tw::tool {

// `arguments` excludes the program's name. Returns the exit status.
int run_tool(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace tw::tool
