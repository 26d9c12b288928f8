#include "tools/catalog/catalog_review.h"

#include "app/catalog_choice.h"
#include "app/site.h"
#include "app/ui_state.h"
#include "app/version_order.h"
#include "app/version_rows.h"
#include "download/address_policy.h"
#include "download/file_names.h"
#include "tools/catalog/fault_text.h"
#include "tools/catalog/labels.h"

#include <string>

namespace tw::tool {
namespace {

using catalog::Catalog;
using catalog::CatalogBuild;
using catalog::CatalogProduct;

class FaultCollector final : public catalog::FaultObserver {
public:
    explicit FaultCollector(Findings& findings) : findings_(findings) {}

    void on_fault(const catalog::FaultReport& report) override { findings_.push_back(describe_fault(report)); }

private:
    Findings& findings_;
};

// The staging rules work on UTF-16 units and only ever drop ASCII ones, so widening each byte on
// its own keeps every multi-byte character intact and gives the same verdict.
std::string staged_name(const std::string& name)
{
    std::wstring units;
    for (const char c : name)
        units.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    const std::wstring staged = download::sanitise_file_name(units);
    std::string bytes;
    for (const wchar_t unit : staged)
        bytes.push_back(static_cast<char>(unit));
    return bytes;
}

void review_self_update(const Catalog& catalog, Findings& findings)
{
    const std::string minimum = catalog.minimum_installer_version;
    const std::string own = std::string(app::installer_version);
    if (catalog.installer && app::installer_out_of_date(catalog, catalog.installer->version)) {
        findings.push_back({Severity::error, "", installer_label, "version",
                            "the offered Installer " + catalog.installer->version +
                                " is itself below minimumInstallerVersion " + minimum +
                                ": the self-update never ends"});
    }
    if (!app::installer_out_of_date(catalog)) {
        findings.push_back({Severity::note, "", "", "minimumInstallerVersion",
                            "Installer " + own + " is not out of date" +
                                (minimum.empty() ? std::string(" (no minimum)") : " (minimum " + minimum + ")")});
    } else if (!catalog.installer) {
        findings.push_back({Severity::error, "", "", "minimumInstallerVersion",
                            "Installer " + own + " is out of date (minimum " + minimum +
                                ") and no installer is offered: it shows no product and can only send users to "
                                "the site, so the self-update never ends"});
    } else {
        findings.push_back({Severity::warning, "", "", "minimumInstallerVersion",
                            "Installer " + own + " is out of date (minimum " + minimum +
                                "): it shows no product and offers Installer " + catalog.installer->version});
    }
}

void review_product_channels(const CatalogProduct& product, Findings& findings)
{
    for (const app::Channel channel : {app::Channel::official, app::Channel::beta}) {
        const auto rows = app::version_rows(product, channel);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const CatalogBuild& build = *rows[i].build;
            findings.push_back({Severity::note, product.name, build_label(build), "",
                                std::string(channel_name(channel)) + (rows[i].latest ? ", marked latest" : "")});
            if (i > 0 && app::compare_versions(rows[i - 1].build->version, build.version) < 0) {
                findings.push_back({Severity::warning, product.name, build_label(build), "version",
                                    "is newer than " + in_quotes(rows[i - 1].build->version) +
                                        ", listed before it: builds must be listed newest first, and the window "
                                        "marks " + in_quotes(rows[0].build->version) + " latest on the " +
                                        channel_name(channel) + " channel"});
            }
        }
    }
}

void review_address(const std::string& product, const std::string& build, const std::string& url,
                    std::string_view site_host, Findings& findings)
{
    if (site_host.empty() || download::is_allowed_download_url(url, site_host))
        return;
    findings.push_back({Severity::error, product, build, "downloadUrl",
                        in_quotes(url) + " is refused by the address policy for the site host " + in_quotes(site_host) +
                            ": the download fails on the user's machine"});
}

void review_build(const CatalogProduct& product, const CatalogBuild& build, std::string_view site_host,
                  Findings& findings)
{
    const std::string label = build_label(build);
    review_address(product.name, label, build.download_url, site_host, findings);
    const std::string staged = staged_name(build.file_name);
    if (staged != build.file_name) {
        findings.push_back({Severity::warning, product.name, label, "fileName",
                            in_quotes(build.file_name) + " is saved as " + in_quotes(staged) +
                                " by the staging rules"});
    }
}

void review_product(const CatalogProduct& product, bool hidden, std::string_view site_host, Findings& findings)
{
    std::string summary = hidden ? "not shown while Installer " + std::string(app::installer_version) +
                                       " is out of date; to a newer Installer"
                                 : std::string("shown");
    summary += "; opens on " + std::string(channel_name(app::initial_channel(product))) +
               (product.beta_available ? "; has a Beta channel" : "; no Beta channel");
    if (product.betas_need_sign_in)
        summary += " behind a tester sign-in";
    findings.push_back({Severity::note, product.name, "", "", summary});
    review_product_channels(product, findings);
    for (const auto& build : product.builds)
        review_build(product, build, site_host, findings);
}

void review_accepted(const Catalog& catalog, std::string_view site_host, Findings& findings)
{
    review_self_update(catalog, findings);
    if (catalog.installer)
        review_address("", installer_label, catalog.installer->download_url, site_host, findings);
    if (site_host.empty()) {
        findings.push_back({Severity::warning, "", "", "downloadUrl",
                            "no download address was judged: name the site's host with --site-host"});
    }
    const bool hidden = app::installer_out_of_date(catalog);
    for (const auto& product : catalog.products)
        review_product(product, hidden, site_host, findings);
}

}  // namespace

CatalogReview review_catalog(std::string_view body, std::string_view site_host)
{
    CatalogReview review;
    Findings faults;
    FaultCollector collector(faults);
    review.catalog = catalog::parse_catalog(body, collector);
    if (!review.catalog) {
        review.findings = std::move(faults);
        return review;
    }
    review.findings.push_back({Severity::note, "", "", "",
                               "the Installer accepts the document; downloads must be signed by " +
                                   in_quotes(review.catalog->publisher)});
    review.findings.insert(review.findings.end(), faults.begin(), faults.end());
    review_accepted(*review.catalog, site_host, review.findings);
    review.window = window_view(*review.catalog);
    return review;
}

}  // namespace tw::tool
