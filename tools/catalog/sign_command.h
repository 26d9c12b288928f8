#pragma once
// `tarnwick-catalog sign` and `keyid`: a catalog signed for the Installer, and a key's id.

#include "tools/catalog/command_line.h"

#include <cstdint>
#include <ostream>
#include <string>

namespace tw::tool {

// 0, or 2 for a usage or input error.
int run_sign(const SignOptions& options, std::ostream& out, std::ostream& err);
int run_key_id(const KeyIdOptions& options, std::ostream& out, std::ostream& err);

// The document with its top-level "expires" set to `expires_unix_seconds`, or nothing for text
// that is not a JSON object. Members keep their order.
std::optional<std::string> with_expiry(const std::string& document, std::int64_t expires_unix_seconds);

}  // namespace tw::tool
