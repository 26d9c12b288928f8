// libFuzzer target: any Tarnwick-Catalog-Signature value and any "expires" text either parses to
// values that write back as the same text, or is refused, without crashing.

#include "catalog/catalog_signature.h"
#include "tests/fuzz/oracle.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tw::catalog;
    using tw::fuzz::require;
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    if (const auto parsed = parse_signature_header(text)) {
        require(parsed->key_id.size() == key_id_chars);
        require(signature_header_value(parsed->key_id, parsed->signature) == text);
    }
    if (const auto bytes = base64_decode(text))
        require(base64_encode(*bytes) == text);
    if (const auto seconds = parse_expiry(text))
        require(expiry_text(*seconds) == text);
    return 0;
}
