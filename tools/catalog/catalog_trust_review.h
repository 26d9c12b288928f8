#pragma once
// A catalog's signature, expiry and publisher judged as an Installer holding the given keys and pin
// judges them.

#include "client/http.h"
#include "tools/catalog/findings.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tw::tool {

struct TrustReview {
    Findings findings;
    std::string failure;  // a key that cannot be read: a usage error
};

TrustReview review_trust(const std::vector<std::string>& key_files, const std::string& publisher,
                         const client::HeaderList& headers, std::string_view body, std::int64_t now_unix_seconds);

}  // namespace tw::tool
