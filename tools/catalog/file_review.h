#pragma once
// The files a catalog names, checked as the Installer checks a download: the SHA-256 the catalog
// gives, and a valid signature by exactly the catalog's publisher.

#include "catalog/catalog.h"
#include "tools/catalog/authenticode.h"
#include "tools/catalog/findings.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace tw::tool {

using SignatureReader = std::function<SignatureReading(const std::filesystem::path&)>;

// One file as it was found, for release pipelines that keep a record.
struct CheckedFile {
    std::string product;
    std::string build;
    std::string name;
    std::uint64_t size = 0;
    std::string sha256;
    SignatureState signature = SignatureState::unchecked;
    std::string signer;
};

struct FileReview {
    std::vector<CheckedFile> files;
    Findings findings;
    std::string failure;  // set when a file could not be read or checked: the review is not whole
};

// Each build and the installer entry is matched to the file in `folder` named by the last part of
// its downloadUrl, or else by its fileName; an entry without a file there is only noted.
FileReview review_files(const catalog::Catalog& catalog, const std::filesystem::path& folder,
                        const SignatureReader& read_signature);

}  // namespace tw::tool
