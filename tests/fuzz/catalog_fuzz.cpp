// libFuzzer target: any body from the network either becomes a whole, valid catalog or is
// refused, without crashing, leaking or breaking the records' promises.

#include "catalog/catalog.h"
#include "tests/fuzz/oracle.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

using tw::fuzz::require;

bool is_lower_hex_digest(std::string_view text)
{
    if (text.size() != 64)
        return false;
    for (const char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

void check_product(const tw::catalog::CatalogProduct& product)
{
    require(!product.name.empty());
    require(!product.builds.empty() || product.beta_available);
    for (const auto& build : product.builds) {
        require(!build.file_name.empty());
        require(!build.download_url.empty());
        require(is_lower_hex_digest(build.sha256));
        require(!build.beta || product.beta_available);
    }
}

void check_catalog(const tw::catalog::Catalog& catalog)
{
    require(!catalog.publisher.empty());
    if (catalog.installer) {
        require(!catalog.installer->version.empty());
        require(!catalog.installer->download_url.empty());
        require(is_lower_hex_digest(catalog.installer->sha256));
    }
    for (const auto& product : catalog.products)
        check_product(product);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    const auto catalog = tw::catalog::parse_catalog(body);
    if (catalog)
        check_catalog(*catalog);
    // The same bytes must always get the same answer.
    require(tw::catalog::parse_catalog(body).has_value() == catalog.has_value());
    return 0;
}
