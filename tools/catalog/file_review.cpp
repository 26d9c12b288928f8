#include "tools/catalog/file_review.h"

#include "download/signer_rule.h"
#include "tools/catalog/file_digest.h"
#include "tools/catalog/file_location.h"
#include "tools/catalog/labels.h"

namespace tw::tool {
namespace {

namespace fs = std::filesystem;

// What one catalog entry says about its file.
struct Entry {
    std::string product;
    std::string build;
    std::string file_name;
    std::uint64_t size_bytes = 0;
    std::string sha256;
    std::string download_url;
};

void review_digest(const Entry& entry, const std::string& name, const FileDigest& digest, Findings& findings)
{
    const std::string actual = name + " has " + std::to_string(digest.size) + " bytes";
    const bool shows_size = !entry.product.empty();  // the new Installer's size is never shown
    if (entry.size_bytes == 0 && shows_size) {
        findings.push_back({Severity::warning, entry.product, entry.build, "sizeBytes",
                            "is not given, so the window shows no size; " + actual});
    } else if (entry.size_bytes != 0 && entry.size_bytes != digest.size) {
        findings.push_back({Severity::warning, entry.product, entry.build, "sizeBytes",
                            "says " + std::to_string(entry.size_bytes) + ", but " + actual +
                                ": the window shows a wrong size"});
    }
    if (entry.sha256 != digest.sha256) {
        findings.push_back({Severity::error, entry.product, entry.build, "sha256",
                            "does not match " + name + ", whose SHA-256 is " + digest.sha256 +
                                ": the download fails its check for everyone"});
    } else {
        findings.push_back({Severity::note, entry.product, entry.build, "sha256", "matches " + name});
    }
}

void review_signature(const Entry& entry, const std::string& name, const SignatureReading& reading,
                      const std::string& publisher, Findings& findings)
{
    Finding finding{Severity::error, entry.product, entry.build, "", {}};
    const std::string refused = ": the Installer does not run it";
    if (reading.state == SignatureState::not_signed) {
        finding.message = name + " is not signed" + refused;
    } else if (reading.state == SignatureState::not_valid) {
        finding.message = name + "'s signature is not valid (" + reading.detail + ")" + refused;
    } else {
        switch (download::judge_signer_name<char>(reading.signer, publisher)) {
        case download::SignerVerdict::unreadable:
            finding.message = "no signer name could be read from " + name + refused;
            break;
        case download::SignerVerdict::publisher:
            finding = {Severity::note, entry.product, entry.build, "", name + " is signed by the publisher " + in_quotes(publisher)};
            break;
        case download::SignerVerdict::someone_else:
            finding.message = name + " is signed by " + in_quotes(reading.signer) + ", not by the publisher " +
                              in_quotes(publisher) + refused;
            break;
        }
    }
    findings.push_back(std::move(finding));
}

// False, with the reason in `failure`, when the file could not be read or its signature checked.
bool review_entry(const Entry& entry, const fs::path& folder, const std::string& publisher,
                  const SignatureReader& read_signature, FileReview& review)
{
    const auto path = locate_file(folder, entry.download_url, entry.file_name);
    if (!path) {
        review.findings.push_back({Severity::note, entry.product, entry.build, "", "has no file in " + folder.string()});
        return true;
    }
    const std::string name = path->filename().string();
    const auto digest = digest_file(*path);
    if (!digest) {
        review.failure = path->string() + " could not be read";
        return false;
    }
    review_digest(entry, name, *digest, review.findings);
    const SignatureReading reading = read_signature(*path);
    if (reading.state == SignatureState::unchecked) {
        review.failure = "the signature of " + path->string() + " could not be checked: " + reading.detail;
        return false;
    }
    review_signature(entry, name, reading, publisher, review.findings);
    review.files.push_back({entry.product, entry.build, name, digest->size, digest->sha256, reading.state, reading.signer});
    return true;
}

std::vector<Entry> entries_of(const catalog::Catalog& catalog)
{
    std::vector<Entry> entries;
    if (const auto& installer = catalog.installer) {
        entries.push_back({"", installer_label, installer->file_name, installer->size_bytes, installer->sha256,
                           installer->download_url});
    }
    for (const auto& product : catalog.products) {
        for (const auto& build : product.builds) {
            entries.push_back({product.name, build_label(build), build.file_name, build.size_bytes, build.sha256,
                               build.download_url});
        }
    }
    return entries;
}

}  // namespace

FileReview review_files(const catalog::Catalog& catalog, const fs::path& folder, const SignatureReader& read_signature)
{
    FileReview review;
    for (const auto& entry : entries_of(catalog)) {
        if (!review_entry(entry, folder, catalog.publisher, read_signature, review))
            break;
    }
    return review;
}

}  // namespace tw::tool
