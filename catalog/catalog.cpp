#include "catalog/catalog.h"

#include <nlohmann/json.hpp>

#include <utility>

namespace tw::catalog {
namespace {

using nlohmann::json;

const json* member(const json& object, const char* key)
{
    const auto found = object.find(key);
    return found == object.end() ? nullptr : &*found;
}

// Missing keys and values of another type read as the empty string, false or 0: only the
// fields the Installer cannot work without are checked afterwards.
std::string read_string(const json& object, const char* key)
{
    const json* value = member(object, key);
    return value != nullptr && value->is_string() ? value->get_ref<const std::string&>()
                                                  : std::string();
}

bool read_bool(const json& object, const char* key)
{
    const json* value = member(object, key);
    return value != nullptr && value->is_boolean() && value->get<bool>();
}

// Only a plain integer counts; a negative one wraps around. The JSON reader keeps numbers
// with a fraction or an exponent (and integers too long for 64 bits) as floating point,
// so those read as 0 like any other type.
std::uint64_t read_integer(const json& object, const char* key)
{
    const json* value = member(object, key);
    if (value == nullptr)
        return 0;
    if (value->is_number_unsigned())
        return value->get<std::uint64_t>();
    if (value->is_number_integer())
        return static_cast<std::uint64_t>(value->get<std::int64_t>());
    return 0;
}

// The download check compares lower-case text, so upper-case digits would never match.
bool is_sha256_hex(std::string_view text)
{
    if (text.size() != 64)
        return false;
    for (const char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

// An explicit track overrides everything; older services only mark betas by channel or by a
// pre-release version.
bool is_beta_build(std::string_view track, std::string_view channel, std::string_view version)
{
    if (!track.empty())
        return track == "beta";
    if (channel == "test")
        return true;
    return version.find('-') != std::string_view::npos;
}

std::optional<InstallerRelease> read_installer(const json& document)
{
    const json* object = member(document, "installer");
    if (object == nullptr || !object->is_object())
        return std::nullopt;
    InstallerRelease release;
    release.version = read_string(*object, "version");
    release.fileName = read_string(*object, "fileName");
    release.sizeBytes = read_integer(*object, "sizeBytes");
    release.sha256 = read_string(*object, "sha256");
    release.downloadUrl = read_string(*object, "downloadUrl");
    if (release.version.empty() || !is_sha256_hex(release.sha256) || release.downloadUrl.empty())
        return std::nullopt;
    return release;
}

std::optional<CatalogBuild> read_build(const json& object)
{
    CatalogBuild build;
    build.packageId = read_string(object, "packageId");
    build.channel = read_string(object, "channel");
    build.version = read_string(object, "version");
    build.beta = is_beta_build(read_string(object, "track"), build.channel, build.version);
    build.fileName = read_string(object, "fileName");
    build.sizeBytes = read_integer(object, "sizeBytes");
    build.sha256 = read_string(object, "sha256");
    build.downloadUrl = read_string(object, "downloadUrl");
    if (build.fileName.empty() || !is_sha256_hex(build.sha256) || build.downloadUrl.empty())
        return std::nullopt;
    return build;
}

// The records an array holds, in order; elements that are not objects, or fail their reader,
// are dropped without a trace.
template <class Record>
std::vector<Record> read_valid(const json& list, std::optional<Record> (*read)(const json&))
{
    std::vector<Record> records;
    for (const json& element : list) {
        if (!element.is_object())
            continue;
        if (auto record = read(element))
            records.push_back(std::move(*record));
    }
    return records;
}

std::vector<CatalogBuild> read_builds(const json& product)
{
    const json* list = member(product, "builds");
    if (list == nullptr || !list->is_array())
        return {};
    return read_valid(*list, read_build);
}

bool has_beta_build(const CatalogProduct& product)
{
    for (const auto& build : product.builds) {
        if (build.beta)
            return true;
    }
    return false;
}

// A product with nothing to download is still listed when the service says betas exist:
// the tester signs in and the reload then brings its builds.
std::optional<CatalogProduct> read_product(const json& object)
{
    CatalogProduct product;
    product.slug = read_string(object, "slug");
    product.name = read_string(object, "name");
    product.betaAvailable = read_bool(object, "betaAvailable");
    product.betasNeedSignIn = read_bool(object, "betasNeedSignIn");
    product.builds = read_builds(object);
    product.betaAvailable = product.betaAvailable || has_beta_build(product);
    if (product.name.empty() || (product.builds.empty() && !product.betaAvailable))
        return std::nullopt;
    return product;
}

std::optional<Catalog> read_catalog(const json& document)
{
    if (!document.is_object())
        return std::nullopt;
    const json* products = member(document, "products");
    if (products == nullptr || !products->is_array())
        return std::nullopt;
    Catalog catalog;
    catalog.minimumInstallerVersion = read_string(document, "minimumInstallerVersion");
    catalog.publisher = read_string(document, "publisher");
    if (catalog.publisher.empty())
        return std::nullopt;
    catalog.installer = read_installer(document);
    catalog.products = read_valid(*products, read_product);
    return catalog;
}

}  // namespace

std::optional<Catalog> parse_catalog(std::string_view body) noexcept
{
    try {
        // No exceptions and no comments; anything but white space after the value is an error.
        const json document = json::parse(body, nullptr, false);
        if (document.is_discarded())
            return std::nullopt;
        return read_catalog(document);
    } catch (...) {
        // Allocation failure is the only thing left to throw here; refuse rather than half-fill.
        return std::nullopt;
    }
}

}  // namespace tw::catalog
