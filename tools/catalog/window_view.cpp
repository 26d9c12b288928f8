#include "tools/catalog/window_view.h"

#include "app/catalog_choice.h"
#include "app/ui_state.h"
#include "app/version_rows.h"

namespace tw::tool {
namespace {

std::vector<ShownRow> shown_rows(const catalog::CatalogProduct& product, app::Channel channel)
{
    std::vector<ShownRow> rows;
    for (const auto& row : app::version_rows(product, channel))
        rows.push_back({row.build->version, row.latest});
    return rows;
}

ShownProduct shown_product(const catalog::CatalogProduct& product)
{
    ShownProduct shown;
    shown.name = product.name;
    shown.slug = product.slug;
    shown.beta_channel = product.beta_available;
    shown.opens_on = app::initial_channel(product);
    shown.official = shown_rows(product, app::Channel::official);
    shown.beta = shown_rows(product, app::Channel::beta);
    return shown;
}

}  // namespace

WindowView window_view(const catalog::Catalog& catalog)
{
    WindowView view;
    view.out_of_date = app::installer_out_of_date(catalog);
    view.self_update = view.out_of_date && catalog.installer.has_value();
    // An out-of-date Installer drops every product and offers only itself.
    if (view.out_of_date)
        return view;
    for (const auto& product : catalog.products)
        view.products.push_back(shown_product(product));
    return view;
}

const char* channel_name(app::Channel channel) { return channel == app::Channel::beta ? "Beta" : "Official"; }

}  // namespace tw::tool
