// A signed catalog's words and verdicts: the header, the key id, the expiry, and each way a reply
// is believed, refused or found expired.
#include "catalog/catalog_signature.h"
#include "catalog/catalog_trust.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace {

using namespace tw::catalog;

// "AAAA...": 64 zero bytes; "AQEB...": 64 bytes of 0x01.
const std::string zeros64(86, 'A');
const std::string zeros_b64 = zeros64 + "==";

TEST(CatalogSignature, HeaderValues)
{
    const struct {
        std::string value;
        bool accepted;
    } cases[] = {
        {"0123456789abcdef " + zeros_b64, true},
        {"0123456789ABCDEF " + zeros_b64, false},          // upper-case id
        {"0123456789abcde " + zeros_b64, false},           // 15-digit id
        {"0123456789abcdef0 " + zeros_b64, false},         // 17-digit id
        {"0123456789abcdeg " + zeros_b64, false},          // not hex
        {"0123456789abcdef  " + zeros_b64, false},         // two spaces
        {"0123456789abcdef\t" + zeros_b64, false},         // a tab
        {"0123456789abcdef " + zeros64, false},            // padding left off
        {"0123456789abcdef " + zeros_b64 + " ", false},    // trailing blank
        {"0123456789abcdef " + std::string(84, 'A'), false},  // 63 bytes
        {"0123456789abcdef " + std::string(88, 'A'), false},  // 66 bytes
        {"0123456789abcdef " + zeros64 + "B=", false},     // bits under the padding
        {"0123456789abcdef " + std::string(85, 'A') + "-==", false},  // url-safe alphabet
        {"0123456789abcdef", false},
        {"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        const auto parsed = parse_signature_header(c.value);
        ASSERT_EQ(parsed.has_value(), c.accepted);
        if (parsed) {
            EXPECT_EQ(parsed->key_id, "0123456789abcdef");
        }
    }
}

TEST(CatalogSignature, Base64RoundTripsEveryLength)
{
    std::vector<std::uint8_t> bytes;
    for (int n = 0; n < 70; ++n) {
        const std::string text = base64_encode(bytes);
        EXPECT_EQ(text.size() % 4, 0u);
        EXPECT_EQ(base64_decode(text), bytes) << text;
        bytes.push_back(static_cast<std::uint8_t>(n * 37 + 250));
    }
    EXPECT_EQ(base64_encode(std::vector<std::uint8_t>{'f', 'o', 'o', 'b'}), "Zm9vYg==");
}

TEST(CatalogSignature, Expiries)
{
    const struct {
        const char* text;
        std::optional<std::int64_t> seconds;
    } cases[] = {
        {"1970-01-01T00:00:00Z", 0},
        {"2026-12-09T15:00:00Z", 1796828400},
        {"2024-02-29T23:59:59Z", 1709251199},
        {"2023-02-29T00:00:00Z", std::nullopt},  // not a leap year
        {"2026-13-01T00:00:00Z", std::nullopt},
        {"2026-00-01T00:00:00Z", std::nullopt},
        {"2026-04-31T00:00:00Z", std::nullopt},
        {"2026-12-09T24:00:00Z", std::nullopt},
        {"2026-12-09T23:60:00Z", std::nullopt},
        {"2026-12-09T23:59:60Z", std::nullopt},
        {"2026-12-09T15:00:00", std::nullopt},
        {"2026-12-09T15:00:00+00:00", std::nullopt},
        {"2026-12-09t15:00:00z", std::nullopt},
        {"2026-12-09 15:00:00Z", std::nullopt},
        {"2026-12-09T15:00:00.000Z", std::nullopt},
        {"+026-12-09T15:00:00Z", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(parse_expiry(c.text), c.seconds);
        if (c.seconds) {
            EXPECT_EQ(expiry_text(*c.seconds), c.text);
        }
    }
}

TEST(CatalogSignature, KeyIdAndPointOfAP256Key)
{
    std::vector<std::uint8_t> der = {0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2a, 0x86, 0x48, 0xce, 0x3d, 0x02, 0x01, 0x06,
                                     0x08, 0x2a, 0x86, 0x48, 0xce, 0x3d, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00, 0x04};
    for (int i = 0; i < 64; ++i)
        der.push_back(static_cast<std::uint8_t>(i));
    const auto point = p256_point_of_spki(der);
    ASSERT_TRUE(point);
    EXPECT_EQ((*point)[0], 0);
    EXPECT_EQ((*point)[63], 63);

    auto other_curve = der;
    other_curve[22] = 0x22;  // secp384r1's last arc
    auto compressed = der;
    compressed[26] = 0x02;
    auto trailing = der;
    trailing.push_back(0);
    for (const auto& refused : {other_curve, compressed, trailing, std::vector<std::uint8_t>(der.begin(), der.end() - 1)})
        EXPECT_FALSE(p256_point_of_spki(refused));

    const std::array<std::uint8_t, 32> digest = {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef, 0xff};
    EXPECT_EQ(key_id_of_digest(digest), "0123456789abcdef");
}

// Believes exactly one signature: the given key's over the given body.
class OneSignature final : public SignatureVerifier {
public:
    EcPoint key{};
    std::string body;
    EcSignature signature{};
    bool verifies(const EcPoint& k, std::string_view b, const EcSignature& s) noexcept override
    {
        return k == key && b == body && s == signature;
    }
};

std::string document(const std::string& expires_member, const std::string& publisher = "Tarnwick Software Ltd")
{
    return R"({"publisher":")" + publisher + "\"" + expires_member + R"(,"products":[]})";
}

TEST(CatalogTrust, Verdicts)
{
    const std::int64_t now = 1796828400;  // 2026-12-09T15:00:00Z
    EcPoint first{}, second{};
    first.fill(1);
    second.fill(2);
    const std::array<CatalogKey, 2> keys = {CatalogKey{"1111111111111111", first}, CatalogKey{"2222222222222222", second}};
    EcSignature good{};
    good.fill(0x5a);
    const std::string good_b64 = base64_encode(good);
    const std::string header_name = "tarnwick-catalog-signature";
    const std::string signed_body = document(R"(,"expires":"2026-12-16T15:00:00Z")");

    const struct {
        const char* what;
        std::string publisher_pin;
        bool with_keys;
        tw::client::HeaderList headers;
        std::string body;
        std::string signed_over;  // what the key signed; empty: the body
        TrustFault fault;
    } cases[] = {
        {"signed by the second key", "", true, {{header_name, "2222222222222222 " + good_b64}}, signed_body, "",
         TrustFault::none},
        {"header name in another case", "", true, {{"Tarnwick-Catalog-Signature", "2222222222222222 " + good_b64}},
         signed_body, "", TrustFault::none},
        {"unsigned", "", true, {{"content-type", "application/json"}}, signed_body, "", TrustFault::no_signature},
        {"two headers", "", true,
         {{header_name, "2222222222222222 " + good_b64}, {header_name, "2222222222222222 " + good_b64}}, signed_body,
         "", TrustFault::several_signatures},
        {"garbage", "", true, {{header_name, "garbage"}}, signed_body, "", TrustFault::malformed_signature},
        {"63 bytes", "", true, {{header_name, "2222222222222222 " + base64_encode(std::vector<std::uint8_t>(63, 0x5a))}},
         signed_body, "", TrustFault::malformed_signature},
        {"unknown key", "", true, {{header_name, "3333333333333333 " + good_b64}}, signed_body, "",
         TrustFault::unknown_key},
        {"a key's id with the other's signature", "", true, {{header_name, "1111111111111111 " + good_b64}},
         signed_body, "", TrustFault::signature_mismatch},
        {"one byte changed", "", true, {{header_name, "2222222222222222 " + good_b64}}, signed_body,
         document(R"(,"expires":"2026-12-16T15:00:01Z")"), TrustFault::signature_mismatch},
        {"no expiry", "", true, {{header_name, "2222222222222222 " + good_b64}}, document(""), "",
         TrustFault::no_expiry},
        {"expiry a number", "", true, {{header_name, "2222222222222222 " + good_b64}}, document(R"(,"expires":1)"), "",
         TrustFault::malformed_expiry},
        {"expiry a date only", "", true, {{header_name, "2222222222222222 " + good_b64}},
         document(R"(,"expires":"2026-12-16")"), "", TrustFault::malformed_expiry},
        {"expires now", "", true, {{header_name, "2222222222222222 " + good_b64}},
         document(R"(,"expires":"2026-12-09T15:00:00Z")"), "", TrustFault::expired},
        {"expires a second from now", "", true, {{header_name, "2222222222222222 " + good_b64}},
         document(R"(,"expires":"2026-12-09T15:00:01Z")"), "", TrustFault::none},
        {"pinned, the same publisher", "Tarnwick Software Ltd", true, {{header_name, "2222222222222222 " + good_b64}},
         signed_body, "", TrustFault::none},
        {"pinned, a name differing in case", "Tarnwick Software LTD", true,
         {{header_name, "2222222222222222 " + good_b64}}, signed_body, "", TrustFault::other_publisher},
        {"pinned, keyless, another publisher", "Tarnwick Software Ltd", false, {}, document("", "Other Ltd"), "",
         TrustFault::other_publisher},
        {"pinned, keyless, unsigned and no expiry", "Tarnwick Software Ltd", false, {}, document(""), "",
         TrustFault::none},
        {"pinned, not JSON", "Tarnwick Software Ltd", false, {}, "<html>", "", TrustFault::other_publisher},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        OneSignature verifier;
        verifier.key = second;
        verifier.body = c.signed_over.empty() ? c.body : c.signed_over;
        verifier.signature = good;
        CatalogTrust trust;
        trust.publisher = c.publisher_pin;
        if (c.with_keys)
            trust.keys = keys;
        const TrustReport report = judge_catalog_trust(trust, c.headers, c.body, now, verifier);
        EXPECT_EQ(report.fault, c.fault) << fault_words(report.fault);
    }
}

TEST(CatalogTrust, ReportNamesTheKeyExpiryAndPublisherRead)
{
    EcPoint point{};
    const std::array<CatalogKey, 1> keys = {CatalogKey{"abcdefabcdefabcd", point}};
    OneSignature verifier;
    verifier.body = document(R"(,"expires":"2020-01-01T00:00:00Z")", "Mallory");
    const std::string header = "abcdefabcdefabcd " + base64_encode(verifier.signature);
    const TrustReport report = judge_catalog_trust({"Tarnwick Software Ltd", keys}, {{std::string(signature_header), header}},
                                                   verifier.body, 1796828400, verifier);
    EXPECT_EQ(report.fault, TrustFault::expired);
    EXPECT_EQ(verdict_of(report.fault), TrustVerdict::expired);
    EXPECT_EQ(report.key_id, "abcdefabcdefabcd");
    EXPECT_EQ(report.expires, 1577836800);
    EXPECT_TRUE(report.publisher_read.empty());  // an expired catalog is not read further

    verifier.body = document(R"(,"expires":"2030-01-01T00:00:00Z")", "Mallory");
    const TrustReport other = judge_catalog_trust({"Tarnwick Software Ltd", keys}, {{std::string(signature_header), header}},
                                                  verifier.body, 1796828400, verifier);
    EXPECT_EQ(verdict_of(other.fault), TrustVerdict::refused);
    EXPECT_EQ(other.publisher_read, "Mallory");
}

}  // namespace
