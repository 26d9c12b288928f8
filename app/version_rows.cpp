#include "app/version_rows.h"

#include "app/ui_state.h"

namespace tw::app {

std::vector<VersionRow> version_rows(const catalog::CatalogProduct& product, Channel channel)
{
    const bool want_beta = channel == Channel::beta;
    std::vector<VersionRow> rows;
    for (const auto& build : product.builds) {
        if (build.beta == want_beta)
            rows.push_back({&build, rows.empty()});
    }
    return rows;
}

}  // namespace tw::app
