#pragma once
// Catalog signing keys for the people who publish the catalog: a public key read as the Installer's
// build reads it, a body signed with a private key, and a signature checked by OpenSSL.

#include "catalog/catalog_trust.h"

#include <optional>
#include <string>
#include <string_view>

namespace tw::tool {

struct PublicCatalogKey {
    std::string id;
    catalog::EcPoint point{};
};

struct KeyResult {
    std::optional<PublicCatalogKey> key;
    std::string error;  // set exactly when there is no key
};

// An ECDSA P-256 public key (PEM, SubjectPublicKeyInfo).
KeyResult read_public_key(const std::string& path);

struct Signed {
    std::string header_value;  // "<key id> <base64 r||s>"
    std::string error;         // set exactly when nothing was signed
};

// Signs the exact bytes of `body` with an ECDSA P-256 private key (PEM).
Signed sign_body(const std::string& private_key_path, std::string_view body);

class OpenSslVerifier final : public catalog::SignatureVerifier {
public:
    bool verifies(const catalog::EcPoint& key, std::string_view body,
                  const catalog::EcSignature& signature) noexcept override;
};

}  // namespace tw::tool
