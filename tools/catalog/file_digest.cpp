#include "tools/catalog/file_digest.h"

#include <openssl/evp.h>

#include <array>
#include <cstdio>
#include <memory>
#include <vector>

namespace tw::tool {
namespace {

constexpr std::size_t piece_size = 1 << 20;

struct CloseFile {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

struct FreeDigest {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

std::string to_hex(const unsigned char* bytes, unsigned length)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned i = 0; i < length; ++i) {
        hex.push_back(digits[bytes[i] >> 4]);
        hex.push_back(digits[bytes[i] & 0x0F]);
    }
    return hex;
}

bool hash_contents(std::FILE* file, EVP_MD_CTX* context, std::uint64_t& size)
{
    std::vector<unsigned char> piece(piece_size);
    for (;;) {
        const std::size_t read = std::fread(piece.data(), 1, piece.size(), file);
        if (read > 0 && EVP_DigestUpdate(context, piece.data(), read) != 1)
            return false;
        size += read;
        if (read < piece.size())
            return std::ferror(file) == 0;
    }
}

}  // namespace

std::optional<FileDigest> digest_file(const std::filesystem::path& path)
{
    const std::unique_ptr<std::FILE, CloseFile> file(std::fopen(path.c_str(), "rb"));
    const std::unique_ptr<EVP_MD_CTX, FreeDigest> context(EVP_MD_CTX_new());
    if (!file || !context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1)
        return std::nullopt;
    FileDigest digest;
    if (!hash_contents(file.get(), context.get(), digest.size))
        return std::nullopt;
    std::array<unsigned char, EVP_MAX_MD_SIZE> bytes{};
    unsigned length = 0;
    if (EVP_DigestFinal_ex(context.get(), bytes.data(), &length) != 1)
        return std::nullopt;
    digest.sha256 = to_hex(bytes.data(), length);
    return digest;
}

}  // namespace tw::tool
