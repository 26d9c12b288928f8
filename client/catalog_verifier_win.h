#pragma once
// The check of a catalog's ECDSA P-256 signature by CNG.

#include "catalog/catalog_trust.h"

namespace tw::client::platform {

// Stateless: any thread may use any instance.
class CngCatalogVerifier final : public catalog::SignatureVerifier {
public:
    bool verifies(const catalog::EcPoint& key, std::string_view body,
                  const catalog::EcSignature& signature) noexcept override;
};

}  // namespace tw::client::platform
