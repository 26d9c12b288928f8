#pragma once
// A catalog as Installer 1.0.0 reads it: what it refuses or drops and why, what its window shows,
// and the mistakes that only show on a user's machine.

#include "catalog/catalog.h"
#include "tools/catalog/findings.h"
#include "tools/catalog/window_view.h"

#include <optional>
#include <string_view>

namespace tw::tool {

struct CatalogReview {
    std::optional<catalog::Catalog> catalog;  // absent when the Installer refuses the document
    Findings findings;
    WindowView window;
};

// `site_host` is the host the address policy judges download addresses for; empty leaves them
// unjudged.
CatalogReview review_catalog(std::string_view body, std::string_view site_host);

}  // namespace tw::tool
