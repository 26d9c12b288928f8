#pragma once
// What the tool tells about a catalog: one finding a line, each naming the product, the build and
// the field it is about.

#include <string>
#include <vector>

namespace tw::tool {

// An error is something the Installer drops or something that fails on the user's machine; a
// warning is shown differently from what the publisher probably meant; a note only describes.
enum class Severity { error, warning, note };

struct Finding {
    Severity severity = Severity::note;
    std::string product;  // empty when about the whole document
    std::string build;    // the build's version or place; "installer" for the installer entry
    std::string field;    // the document's key; empty when about the whole entry
    std::string message;
};

using Findings = std::vector<Finding>;

int count(const Findings& findings, Severity severity);

const char* severity_name(Severity severity);

}  // namespace tw::tool
