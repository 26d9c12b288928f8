#include "tools/catalog/report_output.h"

#include "app/site.h"

#include <nlohmann/json.hpp>

namespace tw::tool {
namespace {

using nlohmann::ordered_json;

std::string place_of(const Finding& finding)
{
    std::string place;
    for (const std::string* part : {&finding.product, &finding.build, &finding.field}) {
        if (part->empty())
            continue;
        if (!place.empty())
            place += " / ";
        place += *part;
    }
    return place.empty() ? "catalog" : place;
}

std::string plural(int number, const char* word)
{
    return std::to_string(number) + " " + word + (number == 1 ? "" : "s");
}

ordered_json rows_json(const std::vector<ShownRow>& rows)
{
    ordered_json list = ordered_json::array();
    for (const auto& row : rows)
        list.push_back({{"version", row.version}, {"latest", row.latest}});
    return list;
}

ordered_json window_json(const WindowView& window)
{
    ordered_json products = ordered_json::array();
    for (const auto& product : window.products) {
        products.push_back({{"name", product.name},
                            {"slug", product.slug},
                            {"opensOn", channel_name(product.opens_on)},
                            {"betaChannel", product.beta_channel},
                            {"official", rows_json(product.official)},
                            {"beta", rows_json(product.beta)}});
    }
    return {{"outOfDate", window.out_of_date}, {"selfUpdate", window.self_update}, {"products", products}};
}

const char* signature_name(SignatureState state)
{
    switch (state) {
    case SignatureState::valid:
        return "valid";
    case SignatureState::not_valid:
        return "not valid";
    case SignatureState::not_signed:
        return "not signed";
    case SignatureState::unchecked:
        break;
    }
    return "unchecked";
}

ordered_json files_json(const std::vector<CheckedFile>& files)
{
    ordered_json list = ordered_json::array();
    for (const auto& file : files) {
        list.push_back({{"product", file.product},
                        {"build", file.build},
                        {"file", file.name},
                        {"sizeBytes", file.size},
                        {"sha256", file.sha256},
                        {"signature", signature_name(file.signature)},
                        {"signer", file.signer}});
    }
    return list;
}

ordered_json finding_json(const Finding& finding)
{
    return {{"severity", severity_name(finding.severity)},
            {"product", finding.product},
            {"build", finding.build},
            {"field", finding.field},
            {"message", finding.message}};
}

}  // namespace

int exit_status_of(const Findings& findings) { return count(findings, Severity::error) > 0 ? 1 : 0; }

void print_text(std::ostream& out, const CheckReport& report)
{
    const Findings& findings = report.review.findings;
    for (const auto& finding : findings)
        out << severity_name(finding.severity) << ": " << place_of(finding) << ": " << finding.message << '\n';
    out << "summary: " << plural(count(findings, Severity::error), "error") << ", "
        << plural(count(findings, Severity::warning), "warning") << ": "
        << (report.exit_status == 0 ? "nothing is dropped and nothing fails"
                                    : "the Installer drops something or something fails")
        << '\n';
}

void print_json(std::ostream& out, const CheckReport& report)
{
    const auto& review = report.review;
    ordered_json findings = ordered_json::array();
    for (const auto& finding : review.findings)
        findings.push_back(finding_json(finding));
    const ordered_json document = {
        {"catalog", report.source},
        {"installerVersion", std::string(app::installer_version)},
        {"siteHost", report.site_host.empty() ? ordered_json() : ordered_json(report.site_host)},
        {"accepted", review.catalog.has_value()},
        {"publisher", review.catalog ? ordered_json(review.catalog->publisher) : ordered_json()},
        {"window", window_json(review.window)},
        {"findings", findings},
        {"files", files_json(report.files)},
        {"errors", count(review.findings, Severity::error)},
        {"warnings", count(review.findings, Severity::warning)},
        {"exitStatus", report.exit_status},
    };
    // Replaced rather than refused: a catalog may hold bytes that are not UTF-8.
    out << document.dump(2, ' ', false, ordered_json::error_handler_t::replace) << '\n';
}

}  // namespace tw::tool
