#include "client/catalog_verifier_win.h"

#include "client/scoped_win.h"

#include <windows.h>

#include <bcrypt.h>

#include <array>
#include <cstring>
#include <limits>
#include <optional>

namespace tw::client::platform {
namespace {

constexpr std::size_t digest_size = 32;
using Digest = std::array<UCHAR, digest_size>;

AlgorithmHandle open_algorithm(const wchar_t* name)
{
    BCRYPT_ALG_HANDLE handle = nullptr;
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&handle, name, nullptr, 0)))
        return {};
    return AlgorithmHandle(handle);
}

// A body is at most the transport's 1 MiB, so it fits one BCryptHashData call.
std::optional<Digest> sha256_of(std::string_view body)
{
    const AlgorithmHandle provider = open_algorithm(BCRYPT_SHA256_ALGORITHM);
    if (!provider)
        return std::nullopt;
    BCRYPT_HASH_HANDLE raw = nullptr;
    if (!BCRYPT_SUCCESS(BCryptCreateHash(provider.get(), &raw, nullptr, 0, nullptr, 0, 0)))
        return std::nullopt;
    const HashHandle hash(raw);
    Digest digest{};
    auto* bytes = reinterpret_cast<PUCHAR>(const_cast<char*>(body.data()));
    if (!BCRYPT_SUCCESS(BCryptHashData(hash.get(), bytes, static_cast<ULONG>(body.size()), 0)) ||
        !BCRYPT_SUCCESS(BCryptFinishHash(hash.get(), digest.data(), digest_size, 0)))
        return std::nullopt;
    return digest;
}

KeyHandle import_key(const AlgorithmHandle& provider, const catalog::EcPoint& point)
{
    std::array<UCHAR, sizeof(BCRYPT_ECCKEY_BLOB) + catalog::EcPoint{}.size()> blob{};
    BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, static_cast<ULONG>(point.size() / 2)};
    std::memcpy(blob.data(), &header, sizeof header);
    std::memcpy(blob.data() + sizeof header, point.data(), point.size());
    BCRYPT_KEY_HANDLE key = nullptr;
    if (!BCRYPT_SUCCESS(BCryptImportKeyPair(provider.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, &key, blob.data(),
                                            static_cast<ULONG>(blob.size()), 0)))
        return {};
    return KeyHandle(key);
}

}  // namespace

bool CngCatalogVerifier::verifies(const catalog::EcPoint& key, std::string_view body,
                                  const catalog::EcSignature& signature) noexcept
{
    if (body.size() > std::numeric_limits<ULONG>::max())
        return false;
    std::optional<Digest> digest = sha256_of(body);
    if (!digest)
        return false;
    const AlgorithmHandle provider = open_algorithm(BCRYPT_ECDSA_P256_ALGORITHM);
    if (!provider)
        return false;
    const KeyHandle public_key = import_key(provider, key);
    if (!public_key)
        return false;
    catalog::EcSignature copy = signature;
    return BCRYPT_SUCCESS(BCryptVerifySignature(public_key.get(), nullptr, digest->data(), digest_size, copy.data(),
                                                static_cast<ULONG>(copy.size()), 0));
}

}  // namespace tw::client::platform
