#pragma once
// The report of `check`: lines for people, or one JSON document for release pipelines.

#include "tools/catalog/catalog_review.h"
#include "tools/catalog/file_review.h"

#include <ostream>
#include <string>
#include <vector>

namespace tw::tool {

struct CheckReport {
    std::string source;     // the file or address that was checked
    std::string site_host;  // empty when download addresses were not judged
    CatalogReview review;   // its findings include those about the files
    std::vector<CheckedFile> files;
    int exit_status = 0;
};

// 0 when nothing is dropped or fails, else 1.
int exit_status_of(const Findings& findings);

// One line a finding, then a summary line.
void print_text(std::ostream& out, const CheckReport& report);

void print_json(std::ostream& out, const CheckReport& report);

}  // namespace tw::tool
