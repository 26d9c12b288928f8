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

// Where faults go: nowhere for the Installer, to the observer for a tool that explains them.
class Faults {
public:
    explicit Faults(FaultObserver* observer) : observer_(observer) {}

    bool listening() const { return observer_ != nullptr; }

    void tell(const FaultReport& report) const
    {
        if (observer_ != nullptr)
            observer_->on_fault(report);
    }

private:
    FaultObserver* observer_;
};

FaultReport fault_at(Fault fault, std::size_t product = no_position, const CatalogProduct* product_read = nullptr)
{
    FaultReport report;
    report.fault = fault;
    report.product = product;
    report.product_read = product_read;
    return report;
}

// One requirement a record must meet to be kept. Each record's table is the whole rule, so
// the Installer and the observed parse cannot disagree about it.
template <class Record>
struct Requirement {
    Fault fault;
    bool (*met)(const Record&);
};

constexpr Requirement<InstallerRelease> installer_requirements[] = {
    {Fault::installer_version_empty, [](const InstallerRelease& r) { return !r.version.empty(); }},
    {Fault::installer_sha256_invalid, [](const InstallerRelease& r) { return is_sha256_hex(r.sha256); }},
    {Fault::installer_url_empty, [](const InstallerRelease& r) { return !r.download_url.empty(); }},
};

constexpr Requirement<CatalogBuild> build_requirements[] = {
    {Fault::build_file_name_empty, [](const CatalogBuild& b) { return !b.file_name.empty(); }},
    {Fault::build_sha256_invalid, [](const CatalogBuild& b) { return is_sha256_hex(b.sha256); }},
    {Fault::build_url_empty, [](const CatalogBuild& b) { return !b.download_url.empty(); }},
};

constexpr Requirement<CatalogProduct> product_requirements[] = {
    {Fault::product_name_empty, [](const CatalogProduct& p) { return !p.name.empty(); }},
    {Fault::product_without_builds, [](const CatalogProduct& p) { return !p.builds.empty() || p.beta_available; }},
};

// Every requirement is asked, not only up to the first miss, so that all of them are told.
template <class Record, std::size_t count>
bool meets_all(const Record& record, const Requirement<Record> (&requirements)[count], const Faults& faults,
               FaultReport report)
{
    bool met = true;
    for (const auto& requirement : requirements) {
        if (requirement.met(record))
            continue;
        met = false;
        report.fault = requirement.fault;
        faults.tell(report);
    }
    return met;
}

std::optional<InstallerRelease> read_installer(const json& document, const Faults& faults)
{
    const json* object = member(document, "installer");
    if (object == nullptr || object->is_null())
        return std::nullopt;
    if (!object->is_object()) {
        faults.tell(fault_at(Fault::installer_not_object));
        return std::nullopt;
    }
    InstallerRelease release;
    release.version = read_string(*object, "version");
    release.file_name = read_string(*object, "fileName");
    release.size_bytes = read_integer(*object, "sizeBytes");
    release.sha256 = read_string(*object, "sha256");
    release.download_url = read_string(*object, "downloadUrl");
    FaultReport report;
    report.installer_read = &release;
    if (!meets_all(release, installer_requirements, faults, report))
        return std::nullopt;
    return release;
}

// Where in the document an element sits, and the product it belongs to while it is read.
struct Place {
    const Faults& faults;
    std::size_t product = no_position;
    const CatalogProduct* product_read = nullptr;
};

std::optional<CatalogBuild> read_build(const json& element, std::size_t position, const Place& place)
{
    FaultReport report = fault_at(Fault::build_not_object, place.product, place.product_read);
    report.build = position;
    if (!element.is_object()) {
        place.faults.tell(report);
        return std::nullopt;
    }
    CatalogBuild build;
    build.package_id = read_string(element, "packageId");
    build.channel = read_string(element, "channel");
    build.version = read_string(element, "version");
    build.beta = is_beta_build(read_string(element, "track"), build.channel, build.version);
    build.file_name = read_string(element, "fileName");
    build.size_bytes = read_integer(element, "sizeBytes");
    build.sha256 = read_string(element, "sha256");
    build.download_url = read_string(element, "downloadUrl");
    report.build_read = &build;
    if (!meets_all(build, build_requirements, place.faults, report))
        return std::nullopt;
    return build;
}

// The records an array holds, in order; elements that fail their reader are dropped, told to
// the observer only.
template <class Record, class Read>
std::vector<Record> read_valid(const json& list, Read read)
{
    std::vector<Record> records;
    std::size_t position = 0;
    for (const json& element : list) {
        if (auto record = read(element, position++))
            records.push_back(std::move(*record));
    }
    return records;
}

std::vector<CatalogBuild> read_builds(const json& product, const Place& place)
{
    const json* list = member(product, "builds");
    if (list == nullptr || list->is_null())
        return {};
    if (!list->is_array()) {
        place.faults.tell(fault_at(Fault::builds_not_array, place.product, place.product_read));
        return {};
    }
    return read_valid<CatalogBuild>(*list, [&place](const json& element, std::size_t position) {
        return read_build(element, position, place);
    });
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
std::optional<CatalogProduct> read_product(const json& element, std::size_t position, const Faults& faults)
{
    FaultReport report = fault_at(Fault::product_not_object, position);
    if (!element.is_object()) {
        faults.tell(report);
        return std::nullopt;
    }
    CatalogProduct product;
    product.slug = read_string(element, "slug");
    product.name = read_string(element, "name");
    product.beta_available = read_bool(element, "betaAvailable");
    product.betas_need_sign_in = read_bool(element, "betasNeedSignIn");
    product.builds = read_builds(element, {faults, position, &product});
    product.beta_available = product.beta_available || has_beta_build(product);
    report.product_read = &product;
    if (!meets_all(product, product_requirements, faults, report))
        return std::nullopt;
    return product;
}

std::optional<Catalog> read_catalog(const json& document, const Faults& faults)
{
    if (!document.is_object()) {
        faults.tell(fault_at(Fault::document_not_object));
        return std::nullopt;
    }
    const json* products = member(document, "products");
    if (products == nullptr || !products->is_array()) {
        faults.tell(fault_at(Fault::products_not_array));
        return std::nullopt;
    }
    Catalog catalog;
    catalog.minimum_installer_version = read_string(document, "minimumInstallerVersion");
    catalog.publisher = read_string(document, "publisher");
    if (catalog.publisher.empty()) {
        faults.tell(fault_at(Fault::publisher_empty));
        return std::nullopt;
    }
    catalog.installer = read_installer(document, faults);
    catalog.products = read_valid<CatalogProduct>(*products, [&faults](const json& element, std::size_t position) {
        return read_product(element, position, faults);
    });
    return catalog;
}

// The reader's own account of a syntax error, asked only once the quiet parse has failed, so
// that what is accepted stays the quiet parse's decision.
std::string syntax_error(std::string_view body)
{
    try {
        [[maybe_unused]] const json document = json::parse(body);
    } catch (const json::exception& error) {
        return error.what();
    }
    return {};
}

std::optional<Catalog> parse(std::string_view body, const Faults& faults) noexcept
{
    try {
        // No exceptions and no comments; anything but white space after the value is an error.
        const json document = json::parse(body, nullptr, false);
        if (document.is_discarded()) {
            const std::string detail = faults.listening() ? syntax_error(body) : std::string();
            FaultReport report = fault_at(Fault::body_not_json);
            report.detail = detail;
            faults.tell(report);
            return std::nullopt;
        }
        return read_catalog(document, faults);
    } catch (...) {
        // Allocation failure is the only thing left to throw here; refuse rather than half-fill.
        return std::nullopt;
    }
}

}  // namespace

std::optional<Catalog> parse_catalog(std::string_view body) noexcept
{
    return parse(body, Faults(nullptr));
}

std::optional<Catalog> parse_catalog(std::string_view body, FaultObserver& observer) noexcept
{
    return parse(body, Faults(&observer));
}

}  // namespace tw::catalog
