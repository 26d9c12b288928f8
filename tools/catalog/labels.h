#pragma once
// How findings name products and builds: by name and version where the document gives them,
// otherwise by their place in it.

#include "catalog/catalog.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace tw::tool {

std::string product_label(const catalog::CatalogProduct* product, std::size_t position);

// A kept build: by its version, or by its file name when it has none.
std::string build_label(const catalog::CatalogBuild& build);

// A build the parser left out: by its version, or by its place when it has none.
std::string dropped_build_label(const catalog::CatalogBuild* build, std::size_t position);

inline constexpr const char* installer_label = "installer";

// A value as the report quotes it.
std::string in_quotes(std::string_view text);

}  // namespace tw::tool
