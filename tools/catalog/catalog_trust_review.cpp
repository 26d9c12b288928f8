#include "tools/catalog/catalog_trust_review.h"

#include "catalog/catalog_trust.h"
#include "tools/catalog/catalog_keys.h"

namespace tw::tool {
namespace {

std::string accepted_message(const catalog::TrustReport& report, const std::string& publisher)
{
    std::string message;
    if (!report.key_id.empty())
        message = "signed by key " + report.key_id + ", expires " + catalog::expiry_text(report.expires.value_or(0));
    if (!publisher.empty())
        message += (message.empty() ? "" : "; ") + std::string("publisher is the pinned \"") + publisher + '"';
    return message;
}

std::string refused_message(const catalog::TrustReport& report, const std::string& publisher)
{
    switch (catalog::verdict_of(report.fault)) {
    case catalog::TrustVerdict::expired:
        return "the catalog expired at " + catalog::expiry_text(report.expires.value_or(0)) +
               "; the Installer says its list of software has expired";
    default:
        break;
    }
    std::string message = "the Installer refuses the catalog: " + std::string(catalog::fault_words(report.fault));
    if (report.fault == catalog::TrustFault::other_publisher)
        message += " (\"" + report.publisher_read + "\", pinned \"" + publisher + "\")";
    return message;
}

}  // namespace

TrustReview review_trust(const std::vector<std::string>& key_files, const std::string& publisher,
                         const client::HeaderList& headers, std::string_view body, std::int64_t now_unix_seconds)
{
    TrustReview review;
    std::vector<PublicCatalogKey> read;
    for (const std::string& file : key_files) {
        KeyResult key = read_public_key(file);
        if (!key.key) {
            review.failure = "check: --catalog-key " + key.error;
            return review;
        }
        read.push_back(std::move(*key.key));
    }
    std::vector<catalog::CatalogKey> keys;
    for (const PublicCatalogKey& key : read)
        keys.push_back({key.id, key.point});
    OpenSslVerifier verifier;
    const catalog::TrustReport report =
        catalog::judge_catalog_trust({publisher, keys}, headers, body, now_unix_seconds, verifier);
    const bool believed = report.fault == catalog::TrustFault::none;
    const std::string field = report.fault == catalog::TrustFault::other_publisher ? "publisher"
                              : report.fault == catalog::TrustFault::no_expiry ||
                                      report.fault == catalog::TrustFault::malformed_expiry ||
                                      report.fault == catalog::TrustFault::expired
                                  ? "expires"
                                  : "";
    review.findings.push_back({believed ? Severity::note : Severity::error, "", "", field,
                               believed ? accepted_message(report, publisher) : refused_message(report, publisher)});
    return review;
}

}  // namespace tw::tool
