#pragma once
// The parser's faults in the words of the people who write the catalog.

#include "catalog/catalog.h"
#include "tools/catalog/findings.h"

namespace tw::tool {

// Every fault is an error: it refuses the document or drops what it is about.
Finding describe_fault(const catalog::FaultReport& report);

}  // namespace tw::tool
