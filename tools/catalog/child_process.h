#pragma once
// Another program run to its end, or stopped at a deadline, with what it printed.

#include <chrono>
#include <string>
#include <vector>

namespace tw::tool {

struct ChildResult {
    bool started = false;
    bool timed_out = false;  // then it was killed
    int exit_code = -1;      // -1 unless it exited by itself
    std::string output;      // standard output and standard error together, cut at a megabyte
};

// argv[0] is looked up on PATH. Standard input is empty.
ChildResult run_child(const std::vector<std::string>& argv, std::chrono::milliseconds limit);

}  // namespace tw::tool
