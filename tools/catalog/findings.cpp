#include "tools/catalog/findings.h"

#include <algorithm>

namespace tw::tool {

int count(const Findings& findings, Severity severity)
{
    return static_cast<int>(std::count_if(findings.begin(), findings.end(),
                                          [severity](const Finding& f) { return f.severity == severity; }));
}

const char* severity_name(Severity severity)
{
    switch (severity) {
    case Severity::error:
        return "error";
    case Severity::warning:
        return "warning";
    case Severity::note:
        break;
    }
    return "note";
}

}  // namespace tw::tool
