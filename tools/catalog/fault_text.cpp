#include "tools/catalog/fault_text.h"

#include "tools/catalog/labels.h"

#include <algorithm>
#include <string>
#include <utility>

namespace tw::tool {
namespace {

using catalog::Fault;
using catalog::FaultReport;

constexpr const char* refused = "the Installer refuses the whole document";
constexpr const char* drops_build = "the Installer drops this build";
constexpr const char* drops_product = "the Installer drops this product";
constexpr const char* ignores_installer = "the Installer ignores this installer entry";

// Only describes what is wrong with a value the parser already refused.
std::string sha256_problem(const std::string& text)
{
    if (text.empty())
        return "is missing, empty or not a string";
    if (text.size() != 64)
        return "has " + std::to_string(text.size()) + " characters, not 64";
    if (std::any_of(text.begin(), text.end(), [](char c) { return c >= 'A' && c <= 'F'; }))
        return "has upper-case letters; only 0-9 and a-f are read";
    return "has characters other than 0-9 and a-f";
}

Finding about_document(std::string field, std::string message)
{
    return {Severity::error, {}, {}, std::move(field), std::string(refused) + ": " + std::move(message)};
}

Finding document_fault(const FaultReport& report)
{
    switch (report.fault) {
    case Fault::body_not_json:
        return about_document("", "it is not one JSON value (" + std::string(report.detail) + ")");
    case Fault::document_not_object:
        return about_document("", "it is not a JSON object");
    case Fault::products_not_array:
        return about_document("products", "products is missing or not an array");
    default:
        return about_document("publisher", "publisher is missing, empty or not a string");
    }
}

Finding installer_fault(const FaultReport& report)
{
    Finding finding{Severity::error, {}, installer_label, {}, {}};
    const auto* installer = report.installer_read;
    switch (report.fault) {
    case Fault::installer_not_object:
        finding.message = std::string("is not an object; ") + ignores_installer;
        break;
    case Fault::installer_version_empty:
        finding.field = "version";
        finding.message = std::string("is missing, empty or not a string; ") + ignores_installer;
        break;
    case Fault::installer_sha256_invalid:
        finding.field = "sha256";
        finding.message = sha256_problem(installer ? installer->sha256 : std::string()) + "; " + ignores_installer;
        break;
    default:
        finding.field = "downloadUrl";
        finding.message = std::string("is missing, empty or not a string; ") + ignores_installer;
        break;
    }
    return finding;
}

Finding product_fault(const FaultReport& report)
{
    Finding finding{Severity::error, product_label(report.product_read, report.product), {}, {}, {}};
    switch (report.fault) {
    case Fault::product_not_object:
        finding.message = "is not an object; the Installer skips it";
        break;
    case Fault::product_name_empty:
        finding.field = "name";
        finding.message = std::string("is missing, empty or not a string; ") + drops_product;
        break;
    case Fault::builds_not_array:
        finding.field = "builds";
        finding.message = "is not an array; the product keeps no build from the document";
        break;
    default:
        finding.message = std::string("keeps no build and betaAvailable is not true; ") + drops_product;
        break;
    }
    return finding;
}

Finding build_fault(const FaultReport& report)
{
    Finding finding{Severity::error, product_label(report.product_read, report.product),
                    dropped_build_label(report.build_read, report.build), {}, {}};
    switch (report.fault) {
    case Fault::build_not_object:
        finding.message = "is not an object; the Installer skips it";
        break;
    case Fault::build_file_name_empty:
        finding.field = "fileName";
        finding.message = std::string("is missing, empty or not a string; ") + drops_build;
        break;
    case Fault::build_sha256_invalid:
        finding.field = "sha256";
        finding.message = sha256_problem(report.build_read ? report.build_read->sha256 : std::string()) + "; " +
                          drops_build;
        break;
    default:
        finding.field = "downloadUrl";
        finding.message = std::string("is missing, empty or not a string; ") + drops_build;
        break;
    }
    return finding;
}

}  // namespace

Finding describe_fault(const FaultReport& report)
{
    Finding finding;
    switch (report.fault) {
    case Fault::body_not_json:
    case Fault::document_not_object:
    case Fault::products_not_array:
    case Fault::publisher_empty:
        finding = document_fault(report);
        break;
    case Fault::installer_not_object:
    case Fault::installer_version_empty:
    case Fault::installer_sha256_invalid:
    case Fault::installer_url_empty:
        finding = installer_fault(report);
        break;
    case Fault::product_not_object:
    case Fault::product_name_empty:
    case Fault::product_without_builds:
    case Fault::builds_not_array:
        finding = product_fault(report);
        break;
    case Fault::build_not_object:
    case Fault::build_file_name_empty:
    case Fault::build_sha256_invalid:
    case Fault::build_url_empty:
        finding = build_fault(report);
        break;
    }
    finding.severity = Severity::error;
    return finding;
}

}  // namespace tw::tool
