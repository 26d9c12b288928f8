#include "catalog/catalog_trust.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <vector>

namespace tw::catalog {
namespace {

using nlohmann::json;

bool same_name(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
               return lower(x) == lower(y);
           });
}

std::vector<std::string_view> signature_values(const client::HeaderList& headers)
{
    std::vector<std::string_view> values;
    for (const auto& [name, value] : headers) {
        if (same_name(name, signature_header))
            values.push_back(value);
    }
    return values;
}

const CatalogKey* key_named(const CatalogTrust& trust, std::string_view id)
{
    const auto found = std::find_if(trust.keys.begin(), trust.keys.end(), [&](const CatalogKey& key) { return key.id == id; });
    return found == trust.keys.end() ? nullptr : &*found;
}

// Only a top-level string counts, as the catalog parser reads "publisher" too.
std::optional<std::string> top_level_string(const json& document, const char* name)
{
    if (!document.is_object())
        return std::nullopt;
    const auto found = document.find(name);
    if (found == document.end() || !found->is_string())
        return std::nullopt;
    return found->get<std::string>();
}

TrustFault judge_signature(const CatalogTrust& trust, const client::HeaderList& headers, std::string_view body,
                           SignatureVerifier& verifier, TrustReport& report)
{
    const auto values = signature_values(headers);
    if (values.empty())
        return TrustFault::no_signature;
    if (values.size() > 1)
        return TrustFault::several_signatures;
    const auto parsed = parse_signature_header(values.front());
    if (!parsed)
        return TrustFault::malformed_signature;
    const CatalogKey* key = key_named(trust, parsed->key_id);
    if (!key)
        return TrustFault::unknown_key;
    if (!verifier.verifies(key->point, body, parsed->signature))
        return TrustFault::signature_mismatch;
    report.key_id = parsed->key_id;
    return TrustFault::none;
}

TrustFault judge_expiry(const json& document, std::int64_t now_unix_seconds, TrustReport& report)
{
    const auto document_has_expires = document.is_object() && document.contains("expires");
    const auto text = top_level_string(document, "expires");
    if (!text)
        return document_has_expires ? TrustFault::malformed_expiry : TrustFault::no_expiry;
    report.expires = parse_expiry(*text);
    if (!report.expires)
        return TrustFault::malformed_expiry;
    return *report.expires <= now_unix_seconds ? TrustFault::expired : TrustFault::none;
}

TrustFault judge(const CatalogTrust& trust, const client::HeaderList& headers, std::string_view body,
                 std::int64_t now_unix_seconds, SignatureVerifier& verifier, TrustReport& report)
{
    const json document = json::parse(body.begin(), body.end(), nullptr, false);
    if (holds_catalog_keys(trust)) {
        if (const TrustFault fault = judge_signature(trust, headers, body, verifier, report); fault != TrustFault::none)
            return fault;
        if (const TrustFault fault = judge_expiry(document, now_unix_seconds, report); fault != TrustFault::none)
            return fault;
    }
    if (!trust.publisher.empty()) {
        report.publisher_read = top_level_string(document, "publisher").value_or("");
        if (report.publisher_read != trust.publisher)
            return TrustFault::other_publisher;
    }
    return TrustFault::none;
}

}  // namespace

TrustReport judge_catalog_trust(const CatalogTrust& trust, const client::HeaderList& headers, std::string_view body,
                                std::int64_t now_unix_seconds, SignatureVerifier& verifier) noexcept
{
    TrustReport report;
    try {
        report.fault = judge(trust, headers, body, now_unix_seconds, verifier, report);
    } catch (...) {
        report = {};
        report.fault = holds_catalog_keys(trust) ? TrustFault::malformed_signature : TrustFault::other_publisher;
    }
    return report;
}

TrustVerdict verdict_of(TrustFault fault) noexcept
{
    switch (fault) {
    case TrustFault::none:
        return TrustVerdict::believed;
    case TrustFault::expired:
        return TrustVerdict::expired;
    default:
        return TrustVerdict::refused;
    }
}

std::string_view fault_words(TrustFault fault) noexcept
{
    switch (fault) {
    case TrustFault::none:
        return "accepted";
    case TrustFault::no_signature:
        return "no signature header";
    case TrustFault::several_signatures:
        return "more than one signature header";
    case TrustFault::malformed_signature:
        return "malformed signature header";
    case TrustFault::unknown_key:
        return "unknown key";
    case TrustFault::signature_mismatch:
        return "signature does not verify";
    case TrustFault::no_expiry:
        return "no expiry";
    case TrustFault::malformed_expiry:
        return "malformed expiry";
    case TrustFault::expired:
        return "expired";
    case TrustFault::other_publisher:
        return "another publisher";
    }
    return "refused";
}

}  // namespace tw::catalog
