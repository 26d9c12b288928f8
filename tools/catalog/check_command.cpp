#include "tools/catalog/check_command.h"

#include "app/catalog_choice.h"
#include "app/site.h"
#include "catalog/catalog_request.h"
#include "client/http_rules.h"
#include "tools/catalog/authenticode.h"
#include "tools/catalog/catalog_trust_review.h"
#include "tools/catalog/fetch.h"
#include "tools/catalog/file_review.h"
#include "tools/catalog/report_output.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <chrono>
#include <optional>

namespace tw::tool {
namespace {

constexpr std::size_t file_limit = 16 << 20;

struct Source {
    std::optional<std::string> body;
    std::string error;
    client::HeaderList headers{};  // the answer's, for an https address
};

bool is_https_address(const std::string& text)
{
    return text.size() > 8 && client::equals_ascii_ci(std::string_view(text).substr(0, 8), "https://");
}

// An origin alone stands for the catalog the Installer asks it for.
client::HttpRequest catalog_request_for(const std::string& address)
{
    const auto path = address.find('/', 8);
    const bool origin_only = path == std::string::npos || path + 1 == address.size();
    const std::string origin = address.substr(0, path);
    client::HttpRequest request = catalog::make_catalog_request(origin, app::user_agent(), "");
    if (!origin_only)
        request.url = address;
    return request;
}

Source fetch_source(const std::string& address, const std::string& trust_file)
{
    const auto reply = send_request(catalog_request_for(address), trust_file);
    if (reply.status == 0)
        return {std::nullopt, "the catalog could not be fetched: " + reply.error};
    catalog::CatalogReply judged;
    judged.status = static_cast<std::uint32_t>(reply.status);
    if (app::judge_catalog_reply(judged) != app::ReplyVerdict::catalog)
        return {std::nullopt, "the site answered with HTTP status " + std::to_string(reply.status) +
                                  ", which the Installer does not read as a catalog"};
    return {reply.body, {}, reply.headers};
}

Source read_stream(std::istream& in, const std::string& name)
{
    std::string body;
    char piece[65536];
    while (in.read(piece, sizeof piece) || in.gcount() > 0) {
        body.append(piece, static_cast<std::size_t>(in.gcount()));
        if (body.size() > file_limit)
            return {std::nullopt, name + " is larger than 16 MiB"};
    }
    if (in.bad())
        return {std::nullopt, name + " cannot be read"};
    return {body, {}};
}

// "-" is standard input, for a catalog piped in.
Source read_source(const std::string& path)
{
    if (path == "-")
        return read_stream(std::cin, "standard input");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {std::nullopt, path + " cannot be read"};
    return read_stream(in, path);
}

// The Installer reads no more of an answer than its transport keeps.
Findings cut_to_what_is_read(std::string& body)
{
    if (body.size() <= client::response_body_cap)
        return {};
    Finding finding{Severity::error, "", "", "",
                    "the document has " + std::to_string(body.size()) + " bytes; the Installer reads only the first " +
                        std::to_string(client::response_body_cap)};
    body.resize(client::response_body_cap);
    return {finding};
}

int fail(std::ostream& err, const std::string& message)
{
    err << "tarnwick-catalog: " << message << '\n';
    return 2;
}

bool judges_trust(const CheckOptions& options)
{
    return !options.catalog_keys.empty() || !options.publisher.empty();
}

std::int64_t now_unix_seconds()
{
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace

int run_check(const CheckOptions& options, std::ostream& out, std::ostream& err)
{
    const bool remote = is_https_address(options.catalog);
    if (!remote && options.catalog.find("://") != std::string::npos)
        return fail(err, "check: only https addresses are fetched: " + options.catalog);
    std::error_code ignored;
    if (!options.files.empty() && !std::filesystem::is_directory(options.files, ignored))
        return fail(err, "check: --files " + options.files + " is not a folder");
    if (remote && options.signature)
        return fail(err, "check: --signature is for a file; an https address serves its own header");
    Source source = remote ? fetch_source(options.catalog, options.trust_file) : read_source(options.catalog);
    if (!source.body)
        return fail(err, source.error);
    if (options.signature)
        source.headers = {{std::string(catalog::signature_header), *options.signature}};
    TrustReview trust;
    if (judges_trust(options)) {
        trust = review_trust(options.catalog_keys, options.publisher, source.headers, *source.body, now_unix_seconds());
        if (!trust.failure.empty())
            return fail(err, trust.failure);
    }

    CheckReport report;
    report.source = options.catalog;
    report.site_host = !options.site_host.empty() ? options.site_host
                       : remote                   ? app::site_host_of(options.catalog)
                                                  : std::string();
    Findings cut = cut_to_what_is_read(*source.body);
    report.review = review_catalog(*source.body, report.site_host);
    report.review.findings.insert(report.review.findings.begin(), cut.begin(), cut.end());
    report.review.findings.insert(report.review.findings.begin(), trust.findings.begin(), trust.findings.end());
    if (report.review.catalog && !options.files.empty()) {
        const auto reader = [&options](const std::filesystem::path& file) {
            return read_signature(file, options.trust_file);
        };
        FileReview files = review_files(*report.review.catalog, options.files, reader);
        if (!files.failure.empty())
            return fail(err, files.failure);
        report.review.findings.insert(report.review.findings.end(), files.findings.begin(), files.findings.end());
        report.files = std::move(files.files);
    }
    report.exit_status = exit_status_of(report.review.findings);
    if (options.json)
        print_json(out, report);
    else
        print_text(out, report);
    return report.exit_status;
}

}  // namespace tw::tool
