#include "app/catalog_choice.h"

#include "app/product_hint.h"
#include "app/site.h"
#include "app/version_order.h"
#include "client/proxy_rules.h"


namespace tw::app {

ReplyVerdict judge_catalog_reply(const catalog::CatalogReply& reply)
{
    if (reply.status == 401 && reply.pass_sent)
        return ReplyVerdict::pass_ended;
    if (reply.status == 0)
        return ReplyVerdict::unreachable;
    if (client::is_proxy_refusal(reply.status, reply.through_proxy))
        return ReplyVerdict::proxy_refused;
    if (reply.status == 200 && reply.trust == catalog::TrustVerdict::expired)
        return ReplyVerdict::expired;
    if (reply.status == 200 && reply.trust == catalog::TrustVerdict::believed)
        return ReplyVerdict::catalog;
    return ReplyVerdict::unexpected;
}

bool installer_out_of_date(const catalog::Catalog& catalog)
{
    return installer_out_of_date(catalog, installer_version);
}

bool installer_out_of_date(const catalog::Catalog& catalog, std::string_view version)
{
    return !catalog.minimum_installer_version.empty() && compare_versions(version, catalog.minimum_installer_version) < 0;
}

int product_to_open(const catalog::Catalog& catalog, std::string_view remembered_slug,
                    std::string_view product_hint)
{
    const auto& products = catalog.products;
    if (!remembered_slug.empty()) {
        for (size_t i = 0; i < products.size(); ++i) {
            if (products[i].slug == remembered_slug)
                return static_cast<int>(i);
        }
    }
    if (!product_hint.empty()) {
        for (size_t i = 0; i < products.size(); ++i) {
            if (normalize_product_key(products[i].slug) == product_hint ||
                normalize_product_key(products[i].name) == product_hint)
                return static_cast<int>(i);
        }
    }
    return products.size() == 1 ? 0 : -1;
}

Channel initial_channel(const catalog::CatalogProduct& product)
{
    for (const auto& build : product.builds) {
        if (!build.beta)
            return Channel::official;
    }
    return product.beta_available ? Channel::beta : Channel::official;
}

}  // namespace tw::app
