#include "tools/catalog/labels.h"

namespace tw::tool {
namespace {

std::string place(const char* list, std::size_t position)
{
    return std::string(list) + "[" + std::to_string(position) + "]";
}

}  // namespace

std::string product_label(const catalog::CatalogProduct* product, std::size_t position)
{
    if (product != nullptr && !product->name.empty())
        return product->name;
    std::string label = place("products", position);
    if (product != nullptr && !product->slug.empty())
        label += " (slug " + in_quotes(product->slug) + ")";
    return label;
}

std::string build_label(const catalog::CatalogBuild& build)
{
    return build.version.empty() ? "fileName " + in_quotes(build.file_name) : build.version;
}

std::string dropped_build_label(const catalog::CatalogBuild* build, std::size_t position)
{
    if (build != nullptr && !build->version.empty())
        return build->version;
    return place("builds", position);
}

std::string in_quotes(std::string_view text)
{
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted += '"';
    quoted += text;
    quoted += '"';
    return quoted;
}

}  // namespace tw::tool
