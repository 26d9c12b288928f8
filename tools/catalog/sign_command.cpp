#include "tools/catalog/sign_command.h"

#include "catalog/catalog_signature.h"
#include "tools/catalog/catalog_keys.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace tw::tool {
namespace {

int fail(std::ostream& err, const std::string& message)
{
    err << "tarnwick-catalog: " << message << '\n';
    return 2;
}

std::optional<std::string> read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return in.bad() ? std::nullopt : std::optional<std::string>(std::move(text));
}

// Written beside OUT first, so that a failure leaves OUT as it was.
bool write_file(const std::string& path, const std::string& bytes)
{
    const std::string partial = path + ".partial";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())) || !out.flush())
            return std::filesystem::remove(partial), false;
    }
    std::error_code error;
    std::filesystem::rename(partial, path, error);
    if (error)
        std::filesystem::remove(partial, error);
    return !error;
}

std::int64_t now_unix_seconds()
{
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace

std::optional<std::string> with_expiry(const std::string& document, std::int64_t expires_unix_seconds)
{
    nlohmann::ordered_json parsed = nlohmann::ordered_json::parse(document, nullptr, false);
    if (!parsed.is_object())
        return std::nullopt;
    parsed["expires"] = catalog::expiry_text(expires_unix_seconds);
    return parsed.dump(2) + '\n';
}

int run_sign(const SignOptions& options, std::ostream& out, std::ostream& err)
{
    const auto document = read_file(options.input);
    if (!document)
        return fail(err, "sign: " + options.input + " cannot be read");
    const auto body = with_expiry(*document, now_unix_seconds() + std::int64_t{options.days} * 86'400);
    if (!body)
        return fail(err, "sign: " + options.input + " is not a JSON object");
    const Signed signature = sign_body(options.key, *body);
    if (!signature.error.empty())
        return fail(err, "sign: " + signature.error);
    if (!write_file(options.output, *body))
        return fail(err, "sign: " + options.output + " cannot be written");
    out << "Tarnwick-Catalog-Signature: " << signature.header_value << '\n';
    return 0;
}

int run_key_id(const KeyIdOptions& options, std::ostream& out, std::ostream& err)
{
    const KeyResult key = read_public_key(options.key);
    if (!key.key)
        return fail(err, "keyid: " + key.error);
    out << key.key->id << '\n';
    return 0;
}

}  // namespace tw::tool
