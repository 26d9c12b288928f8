#pragma once
// The catalog document: what the site offers, who must have signed it, and which Installer
// the service still accepts.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw::catalog {

struct CatalogBuild {
    std::string package_id;
    std::string channel;
    bool beta = false;  // derived: puts the build on the Beta channel of the window
    std::string version;
    std::string file_name;
    std::uint64_t size_bytes = 0;
    std::string sha256;  // 64 lower-case hexadecimal characters
    std::string download_url;
};

struct CatalogProduct {
    std::string slug;
    std::string name;
    bool beta_available = false;
    bool betas_need_sign_in = false;
    std::vector<CatalogBuild> builds;  // newest first, as the service lists them
};

struct InstallerRelease {
    std::string version;
    std::string file_name;
    std::uint64_t size_bytes = 0;
    std::string sha256;
    std::string download_url;
};

struct Catalog {
    std::string minimum_installer_version;
    std::string publisher;  // never empty in an accepted catalog
    std::optional<InstallerRelease> installer;
    std::vector<CatalogProduct> products;
};

// A whole catalog, or nothing: refusals are not explained, and the parser never throws.
std::optional<Catalog> parse_catalog(std::string_view body) noexcept;

// Why a document is refused or an entry left out. The Installer never asks; the people who
// publish the catalog do, through the overload below.
enum class Fault {
    body_not_json,
    document_not_object,
    products_not_array,
    publisher_empty,
    installer_not_object,
    installer_version_empty,
    installer_sha256_invalid,
    installer_url_empty,
    product_not_object,
    product_name_empty,
    product_without_builds,  // no build kept and betaAvailable not set
    builds_not_array,        // the product keeps no build from the document
    build_not_object,
    build_file_name_empty,
    build_sha256_invalid,
    build_url_empty,
};

inline constexpr std::size_t no_position = static_cast<std::size_t>(-1);

// One fault as it is found. The records hold what was read so far (a product's builds are not
// read yet while one of them is judged) and live only for the call.
struct FaultReport {
    Fault fault = Fault::body_not_json;
    std::size_t product = no_position;  // index in the document's products
    std::size_t build = no_position;    // index in that product's builds
    const CatalogProduct* product_read = nullptr;
    const CatalogBuild* build_read = nullptr;
    const InstallerRelease* installer_read = nullptr;
    std::string_view detail;  // the JSON reader's own words for a body that is not JSON
};

// Must not throw: a throwing observer turns the verdict into a refusal.
class FaultObserver {
public:
    virtual void on_fault(const FaultReport& report) = 0;

protected:
    ~FaultObserver() = default;
};

// The same verdict and records as parse_catalog(body), with every fault told as it is found:
// each requirement an entry misses, so one dropped build can be told more than once.
std::optional<Catalog> parse_catalog(std::string_view body, FaultObserver& observer) noexcept;

}  // namespace tw::catalog
