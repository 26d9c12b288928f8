#pragma once
// Whether a catalog reply may be believed, when the build pins its publisher or holds catalog
// keys: its signature header, the key it names, the signature over the exact body, the body's
// "expires" and its publisher. A build with neither believes every reply, as before.

#include "catalog/catalog_signature.h"
#include "client/http.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tw::catalog {

struct CatalogKey {
    std::string_view id;  // key_id_chars lower-case hex
    EcPoint point{};
};

// Fixed when the executable is built; both parts may be empty.
struct CatalogTrust {
    std::string_view publisher;       // empty: any publisher
    std::span<const CatalogKey> keys; // empty: no signature asked for
};

inline constexpr std::size_t max_catalog_keys = 4;

// True when every catalog must be signed; a build's sizeBytes is then a limit on its download.
constexpr bool holds_catalog_keys(const CatalogTrust& trust) noexcept
{
    return !trust.keys.empty();
}

constexpr bool asks_anything(const CatalogTrust& trust) noexcept
{
    return holds_catalog_keys(trust) || !trust.publisher.empty();
}

// The check of a signature over the exact body bytes (its SHA-256, by the platform's own code).
class SignatureVerifier {
public:
    virtual bool verifies(const EcPoint& key, std::string_view body, const EcSignature& signature) noexcept = 0;

protected:
    ~SignatureVerifier() = default;
};

enum class TrustFault {
    none,
    no_signature,
    several_signatures,
    malformed_signature,
    unknown_key,
    signature_mismatch,
    no_expiry,
    malformed_expiry,
    expired,
    other_publisher,
};

enum class TrustVerdict { believed, refused, expired };

struct TrustReport {
    TrustFault fault = TrustFault::none;
    std::string key_id;                  // of an accepted signature
    std::optional<std::int64_t> expires; // read from a verified body
    std::string publisher_read;          // with a pin: what the body names
};

// The header values are taken from `headers` by name, in any letter case. Never throws.
TrustReport judge_catalog_trust(const CatalogTrust& trust, const client::HeaderList& headers, std::string_view body,
                                std::int64_t now_unix_seconds, SignatureVerifier& verifier) noexcept;

TrustVerdict verdict_of(TrustFault fault) noexcept;

// Lower-case words for the support log and the catalog tool: "no signature header", ...
std::string_view fault_words(TrustFault fault) noexcept;

}  // namespace tw::catalog
