#include "catalog/catalog_signature.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace tw::catalog {
namespace {

constexpr std::string_view alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int sextet(char c)
{
    const auto at = alphabet.find(c);
    return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

bool is_lower_hex(std::string_view text)
{
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// The fixed DER of a SubjectPublicKeyInfo for id-ecPublicKey on prime256v1, up to the point's
// leading 0x04 (uncompressed).
constexpr std::array<std::uint8_t, 27> p256_spki_prefix = {
    0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2a, 0x86, 0x48, 0xce, 0x3d, 0x02, 0x01, 0x06,
    0x08, 0x2a, 0x86, 0x48, 0xce, 0x3d, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00, 0x04};

bool read_number(std::string_view text, std::size_t at, std::size_t digits, int& value)
{
    value = 0;
    for (std::size_t i = at; i < at + digits; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> base64_decode(std::string_view text) noexcept
{
    try {
        if (text.size() % 4 != 0)
            return std::nullopt;
        std::size_t padding = 0;
        while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=')
            ++padding;
        std::vector<std::uint8_t> out;
        out.reserve(text.size() / 4 * 3);
        std::uint32_t bits = 0;
        int held = 0;
        for (std::size_t i = 0; i < text.size() - padding; ++i) {
            const int value = sextet(text[i]);
            if (value < 0)
                return std::nullopt;
            bits = (bits << 6) | static_cast<std::uint32_t>(value);
            held += 6;
            if (held >= 8) {
                held -= 8;
                out.push_back(static_cast<std::uint8_t>(bits >> held));
            }
        }
        // Bits left over under the padding must be zero, or two texts would give the same bytes.
        if ((bits & ((1u << held) - 1)) != 0)
            return std::nullopt;
        return out;
    } catch (...) {
        return std::nullopt;
    }
}

std::string base64_encode(std::span<const std::uint8_t> bytes)
{
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t left = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t block = static_cast<std::uint32_t>(bytes[i]) << 16;
        if (left > 1)
            block |= static_cast<std::uint32_t>(bytes[i + 1]) << 8;
        if (left > 2)
            block |= bytes[i + 2];
        for (std::size_t k = 0; k < 4; ++k)
            out += k <= left ? alphabet[(block >> (18 - 6 * k)) & 0x3f] : '=';
    }
    return out;
}

std::optional<SignatureValue> parse_signature_header(std::string_view value) noexcept
{
    try {
        const auto space = value.find(' ');
        if (space != key_id_chars)
            return std::nullopt;
        const std::string_view key_id = value.substr(0, space);
        if (!is_lower_hex(key_id))
            return std::nullopt;
        const auto bytes = base64_decode(value.substr(space + 1));
        if (!bytes || bytes->size() != EcSignature{}.size())
            return std::nullopt;
        SignatureValue parsed;
        parsed.key_id.assign(key_id);
        std::copy(bytes->begin(), bytes->end(), parsed.signature.begin());
        return parsed;
    } catch (...) {
        return std::nullopt;
    }
}

std::string signature_header_value(std::string_view key_id, std::span<const std::uint8_t> signature)
{
    return std::string(key_id) + ' ' + base64_encode(signature);
}

std::optional<std::int64_t> parse_expiry(std::string_view text) noexcept
{
    using namespace std::chrono;
    constexpr std::string_view shape = "dddd-dd-ddTdd:dd:ddZ";
    if (text.size() != shape.size())
        return std::nullopt;
    for (std::size_t i = 0; i < shape.size(); ++i) {
        if (shape[i] != 'd' && text[i] != shape[i])
            return std::nullopt;
    }
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (!read_number(text, 0, 4, y) || !read_number(text, 5, 2, mo) || !read_number(text, 8, 2, d) ||
        !read_number(text, 11, 2, h) || !read_number(text, 14, 2, mi) || !read_number(text, 17, 2, s))
        return std::nullopt;
    const year_month_day date{year(y), month(static_cast<unsigned>(mo)), day(static_cast<unsigned>(d))};
    if (!date.ok() || h > 23 || mi > 59 || s > 59)
        return std::nullopt;
    const auto days_since_epoch = sys_days(date).time_since_epoch().count();
    return static_cast<std::int64_t>(days_since_epoch) * 86'400 + h * 3600 + mi * 60 + s;
}

std::string expiry_text(std::int64_t unix_seconds)
{
    using namespace std::chrono;
    const sys_seconds time{seconds(unix_seconds)};
    const sys_days day = floor<days>(time);
    const year_month_day date(day);
    const hh_mm_ss clock(time - day);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()));
    return text;
}

std::optional<EcPoint> p256_point_of_spki(std::span<const std::uint8_t> der) noexcept
{
    if (der.size() != p256_spki_prefix.size() + EcPoint{}.size() ||
        !std::equal(p256_spki_prefix.begin(), p256_spki_prefix.end(), der.begin()))
        return std::nullopt;
    EcPoint point{};
    std::copy(der.begin() + p256_spki_prefix.size(), der.end(), point.begin());
    return point;
}

std::string key_id_of_digest(std::span<const std::uint8_t> sha256)
{
    std::string id;
    for (std::size_t i = 0; i < key_id_chars / 2 && i < sha256.size(); ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", sha256[i]);
        id += pair;
    }
    return id;
}

}  // namespace tw::catalog
