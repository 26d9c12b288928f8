#pragma once
// The words of a signed catalog: the Tarnwick-Catalog-Signature header, its base64, a P-256 key
// as its SubjectPublicKeyInfo holds it, and the "expires" time. Text in, values out; nothing here
// checks a signature.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tw::catalog {

// As the transport delivers header names: in lower case.
inline constexpr std::string_view signature_header = "tarnwick-catalog-signature";
inline constexpr std::size_t key_id_chars = 16;

using EcPoint = std::array<std::uint8_t, 64>;      // X then Y, 32 bytes each, big-endian
using EcSignature = std::array<std::uint8_t, 64>;  // r then s, 32 bytes each, big-endian

struct SignatureValue {
    std::string key_id;
    EcSignature signature{};
};

// "<16 lower-case hex> <base64 of 64 bytes>", one space, standard alphabet with its padding.
std::optional<SignatureValue> parse_signature_header(std::string_view value) noexcept;
std::string signature_header_value(std::string_view key_id, std::span<const std::uint8_t> signature);

// Strict: standard alphabet, length a multiple of four, padding only at the end, no blanks.
std::optional<std::vector<std::uint8_t>> base64_decode(std::string_view text) noexcept;
std::string base64_encode(std::span<const std::uint8_t> bytes);

// "YYYY-MM-DDTHH:MM:SSZ" as seconds since 1970-01-01 00:00:00 UTC; every field in range.
std::optional<std::int64_t> parse_expiry(std::string_view text) noexcept;
std::string expiry_text(std::int64_t unix_seconds);

// The point of a P-256 key from its DER SubjectPublicKeyInfo (id-ecPublicKey, prime256v1,
// uncompressed); nothing for another curve, a compressed point or trailing bytes.
std::optional<EcPoint> p256_point_of_spki(std::span<const std::uint8_t> der) noexcept;

// The first 16 lower-case hex digits of the SHA-256 of a key's DER SubjectPublicKeyInfo.
std::string key_id_of_digest(std::span<const std::uint8_t> sha256);

}  // namespace tw::catalog
