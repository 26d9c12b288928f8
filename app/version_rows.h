#pragma once
// The rows of the version list: one channel's builds of one product.

#include "app/ui_state.h"
#include "catalog/catalog.h"

#include <vector>

namespace tw::app {

struct VersionRow {
    const catalog::CatalogBuild* build = nullptr;  // points into the product it was made from
    bool latest = false;
};

// The product's builds on `channel` in document order. The first counts as
// the latest: the service lists builds newest first, and the window takes its word for it.
std::vector<VersionRow> version_rows(const catalog::CatalogProduct& product, Channel channel);

}  // namespace tw::app
