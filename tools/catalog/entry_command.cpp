#include "tools/catalog/entry_command.h"

#include "catalog/catalog.h"
#include "tools/catalog/authenticode.h"
#include "tools/catalog/catalog_review.h"
#include "tools/catalog/file_digest.h"

#include <nlohmann/json.hpp>

#include <filesystem>

namespace tw::tool {
namespace {

using nlohmann::ordered_json;

ordered_json entry_json(const EntryOptions& options, const std::string& file_name, const FileDigest& digest)
{
    ordered_json entry;
    if (!options.package_id.empty())
        entry["packageId"] = options.package_id;
    if (options.channel)
        entry["channel"] = *options.channel;
    if (options.track)
        entry["track"] = *options.track;
    entry["version"] = options.version;
    entry["fileName"] = file_name;
    entry["sizeBytes"] = digest.size;
    entry["sha256"] = digest.sha256;
    entry["downloadUrl"] = options.url;
    return entry;
}

// The entry in a catalog of its own, read by the Installer's parser: how it will be shown, and
// anything about it that a check would report.
void tell_how_it_reads(const ordered_json& entry, std::ostream& err)
{
    ordered_json product = ordered_json::object();
    product["name"] = "-";
    product["builds"] = ordered_json::array({entry});
    ordered_json document = ordered_json::object();
    document["publisher"] = "-";
    document["products"] = ordered_json::array({product});
    const auto body = document.dump(-1, ' ', false, ordered_json::error_handler_t::replace);
    const CatalogReview review = review_catalog(body, "");
    for (const auto& finding : review.findings) {
        if (finding.severity != Severity::note && finding.field != "downloadUrl")
            err << "tarnwick-catalog: " << severity_name(finding.severity) << ": " << finding.field << ": "
                << finding.message << '\n';
    }
    for (const auto& product : review.window.products) {
        err << "tarnwick-catalog: the Installer shows this build on its "
            << (product.beta.empty() ? "Official" : "Beta") << " channel\n";
    }
}

int fail(std::ostream& err, const std::string& message, int status)
{
    err << "tarnwick-catalog: " << message << '\n';
    return status;
}

}  // namespace

int run_entry(const EntryOptions& options, std::ostream& out, std::ostream& err)
{
    const std::filesystem::path file(options.file);
    const auto digest = digest_file(file);
    if (!digest)
        return fail(err, options.file + " cannot be read", 2);
    const SignatureReading signature = read_signature(file, options.trust_file);
    switch (signature.state) {
    case SignatureState::unchecked:
        return fail(err, "the signature of " + options.file + " could not be checked: " + signature.detail, 2);
    case SignatureState::not_signed:
        return fail(err, "refused: " + options.file + " is not signed", 1);
    case SignatureState::not_valid:
        return fail(err, "refused: the signature of " + options.file + " is not valid (" + signature.detail + ")", 1);
    case SignatureState::valid:
        break;
    }
    const ordered_json entry = entry_json(options, file.filename().string(), *digest);
    err << "tarnwick-catalog: " << options.file << " is signed by \"" << signature.signer << "\"\n";
    tell_how_it_reads(entry, err);
    out << entry.dump(2, ' ', false, ordered_json::error_handler_t::replace) << '\n';
    return 0;
}

}  // namespace tw::tool
