#pragma once
// The catalog document: what the site offers, who must have signed it, and which Installer
// the service still accepts.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw::catalog {

struct CatalogBuild {
    std::string packageId;
    std::string channel;
    bool beta = false;  // derived: puts the build on the Beta channel of the window
    std::string version;
    std::string fileName;
    std::uint64_t sizeBytes = 0;
    std::string sha256;  // 64 lower-case hexadecimal characters
    std::string downloadUrl;
};

struct CatalogProduct {
    std::string slug;
    std::string name;
    bool betaAvailable = false;
    bool betasNeedSignIn = false;
    std::vector<CatalogBuild> builds;  // newest first, as the service lists them
};

struct InstallerRelease {
    std::string version;
    std::string fileName;
    std::uint64_t sizeBytes = 0;
    std::string sha256;
    std::string downloadUrl;
};

struct Catalog {
    std::string minimumInstallerVersion;
    std::string publisher;  // never empty in an accepted catalog
    std::optional<InstallerRelease> installer;
    std::vector<CatalogProduct> products;
};

// A whole catalog, or nothing: refusals are not explained, and the parser never throws.
std::optional<Catalog> parse_catalog(std::string_view body) noexcept;

}  // namespace tw::catalog
