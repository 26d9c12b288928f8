#include "tools/catalog/catalog_keys.h"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/sha.h>
#include <openssl/x509.h>

#include <array>
#include <cstdio>
#include <memory>
#include <vector>

namespace tw::tool {
namespace {

struct FreeKey {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct FreeContext {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
struct FreeSignature {
    void operator()(ECDSA_SIG* signature) const { ECDSA_SIG_free(signature); }
};
using Key = std::unique_ptr<EVP_PKEY, FreeKey>;

Key read_pem(const std::string& path, bool private_key)
{
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file)
        return nullptr;
    return Key(private_key ? PEM_read_PrivateKey(file.get(), nullptr, nullptr, nullptr)
                           : PEM_read_PUBKEY(file.get(), nullptr, nullptr, nullptr));
}

std::optional<std::vector<std::uint8_t>> spki_der(EVP_PKEY* key)
{
    unsigned char* der = nullptr;
    const int length = i2d_PUBKEY(key, &der);
    if (length <= 0)
        return std::nullopt;
    std::vector<std::uint8_t> bytes(der, der + length);
    OPENSSL_free(der);
    return bytes;
}

std::optional<PublicCatalogKey> catalog_key_of(EVP_PKEY* key)
{
    const auto der = spki_der(key);
    if (!der)
        return std::nullopt;
    const auto point = catalog::p256_point_of_spki(*der);
    if (!point)
        return std::nullopt;
    std::array<std::uint8_t, SHA256_DIGEST_LENGTH> digest{};
    SHA256(der->data(), der->size(), digest.data());
    return PublicCatalogKey{catalog::key_id_of_digest(digest), *point};
}

// OpenSSL signs and verifies DER (a SEQUENCE of two INTEGERs); the header carries r||s.
std::optional<catalog::EcSignature> raw_of_der(const std::vector<unsigned char>& der)
{
    const unsigned char* at = der.data();
    const std::unique_ptr<ECDSA_SIG, FreeSignature> parsed(d2i_ECDSA_SIG(nullptr, &at, static_cast<long>(der.size())));
    if (!parsed)
        return std::nullopt;
    catalog::EcSignature raw{};
    if (BN_bn2binpad(ECDSA_SIG_get0_r(parsed.get()), raw.data(), 32) != 32 ||
        BN_bn2binpad(ECDSA_SIG_get0_s(parsed.get()), raw.data() + 32, 32) != 32)
        return std::nullopt;
    return raw;
}

std::optional<std::vector<unsigned char>> der_of_raw(const catalog::EcSignature& raw)
{
    std::unique_ptr<ECDSA_SIG, FreeSignature> signature(ECDSA_SIG_new());
    BIGNUM* r = BN_bin2bn(raw.data(), 32, nullptr);
    BIGNUM* s = BN_bin2bn(raw.data() + 32, 32, nullptr);
    if (!signature || !r || !s || ECDSA_SIG_set0(signature.get(), r, s) != 1) {
        BN_free(r);
        BN_free(s);
        return std::nullopt;
    }
    unsigned char* der = nullptr;
    const int length = i2d_ECDSA_SIG(signature.get(), &der);
    if (length <= 0)
        return std::nullopt;
    std::vector<unsigned char> bytes(der, der + length);
    OPENSSL_free(der);
    return bytes;
}

}  // namespace

KeyResult read_public_key(const std::string& path)
{
    const Key key = read_pem(path, false);
    if (!key)
        return {std::nullopt, path + " is not a PEM public key"};
    auto catalog_key = catalog_key_of(key.get());
    if (!catalog_key)
        return {std::nullopt, path + " is not an ECDSA P-256 public key"};
    return {std::move(catalog_key), {}};
}

Signed sign_body(const std::string& private_key_path, std::string_view body)
{
    const Key key = read_pem(private_key_path, true);
    if (!key)
        return {{}, private_key_path + " is not a PEM private key"};
    const auto public_key = catalog_key_of(key.get());
    if (!public_key)
        return {{}, private_key_path + " is not an ECDSA P-256 key"};
    const std::unique_ptr<EVP_MD_CTX, FreeContext> context(EVP_MD_CTX_new());
    std::size_t length = 0;
    if (!context || EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) != 1 ||
        EVP_DigestSign(context.get(), nullptr, &length, reinterpret_cast<const unsigned char*>(body.data()),
                       body.size()) != 1)
        return {{}, "the catalog could not be signed"};
    std::vector<unsigned char> der(length);
    if (EVP_DigestSign(context.get(), der.data(), &length, reinterpret_cast<const unsigned char*>(body.data()),
                       body.size()) != 1)
        return {{}, "the catalog could not be signed"};
    der.resize(length);
    const auto raw = raw_of_der(der);
    if (!raw)
        return {{}, "the catalog could not be signed"};
    return {catalog::signature_header_value(public_key->id, *raw), {}};
}

bool OpenSslVerifier::verifies(const catalog::EcPoint& point, std::string_view body,
                               const catalog::EcSignature& signature) noexcept
{
    static constexpr unsigned char prefix[] = {0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2a, 0x86, 0x48, 0xce,
                                               0x3d, 0x02, 0x01, 0x06, 0x08, 0x2a, 0x86, 0x48, 0xce, 0x3d,
                                               0x03, 0x01, 0x07, 0x03, 0x42, 0x00, 0x04};
    try {
        std::vector<unsigned char> spki(std::begin(prefix), std::end(prefix));
        spki.insert(spki.end(), point.begin(), point.end());
        const unsigned char* at = spki.data();
        const Key key(d2i_PUBKEY(nullptr, &at, static_cast<long>(spki.size())));
        const auto der = der_of_raw(signature);
        const std::unique_ptr<EVP_MD_CTX, FreeContext> context(EVP_MD_CTX_new());
        return key && der && context &&
               EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) == 1 &&
               EVP_DigestVerify(context.get(), der->data(), der->size(),
                                reinterpret_cast<const unsigned char*>(body.data()), body.size()) == 1;
    } catch (...) {
        return false;
    }
}

}  // namespace tw::tool
