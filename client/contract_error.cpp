#include "client/contract_error.h"

#include <nlohmann/json.hpp>

#include <array>
#include <limits>

namespace tw::client {
namespace {

using nlohmann::json;

constexpr std::array<std::string_view, 15> code_names = {
    "NONE",
    "MALFORMED_REQUEST",
    "INVALID_TOKEN",
    "TOKEN_REVOKED",
    "TELEMETRY_DISABLED",
    "CONSENT_REQUIRED",
    "UNKNOWN_RESOURCE",
    "UNKNOWN_PRODUCT",
    "PAYLOAD_TOO_LARGE",
    "SCHEMA_UNSUPPORTED",
    "RATE_LIMITED",
    "SERVER_ERROR",
    "UNRECOGNIZED",
    "NO_CONTRACT_BODY",
    "AGREEMENT_REQUIRED",
};

constexpr auto first_service_code = ContractErrorCode::MALFORMED_REQUEST;
constexpr auto last_service_code = ContractErrorCode::SERVER_ERROR;

const json* member(const json& object, const char* key)
{
    const auto found = object.find(key);
    return found == object.end() ? nullptr : &*found;
}

// The reader keeps non-negative integers unsigned, negative ones signed, and numbers with a
// fraction or an exponent (30.0 included) or beyond 64 bits as floating point: only the first
// two are integers, and of those only values a signed 64-bit field can hold.
std::optional<std::int64_t> read_retry_after(const json& value)
{
    if (value.is_number_unsigned()) {
        const auto wide = value.get<std::uint64_t>();
        if (wide > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            return std::nullopt;
        return static_cast<std::int64_t>(wide);
    }
    // A signed integer that is not negative was written "-0".
    if (value.is_number_integer() && value.get<std::int64_t>() >= 0)
        return value.get<std::int64_t>();
    return std::nullopt;
}

std::optional<ContractError> read_error(const json& document)
{
    if (!document.is_object())
        return std::nullopt;
    const json* object = member(document, "error");
    if (object == nullptr || !object->is_object())
        return std::nullopt;
    const json* code = member(*object, "code");
    if (code == nullptr || !code->is_string())
        return std::nullopt;
    ContractError error;
    error.code = code->get_ref<const std::string&>();
    const json* message = member(*object, "message");
    if (message != nullptr && message->is_string())
        error.message = message->get_ref<const std::string&>();
    if (const json* retry_after = member(*object, "retryAfterSec"))
        error.retry_after_seconds = read_retry_after(*retry_after);
    return error;
}

}  // namespace

std::string_view display_name(ContractErrorCode code) noexcept
{
    const auto index = static_cast<std::size_t>(code);
    return index < code_names.size() ? code_names[index] : std::string_view();
}

ContractErrorCode service_code_named(std::string_view name) noexcept
{
    for (auto value = static_cast<std::int32_t>(first_service_code);
         value <= static_cast<std::int32_t>(last_service_code); ++value) {
        if (code_names[static_cast<std::size_t>(value)] == name)
            return static_cast<ContractErrorCode>(value);
    }
    return ContractErrorCode::UNRECOGNIZED;
}

ContractErrorCode download_code_named(std::string_view name) noexcept
{
    if (name.empty())
        return ContractErrorCode::NONE;
    if (name == display_name(ContractErrorCode::AGREEMENT_REQUIRED))
        return ContractErrorCode::AGREEMENT_REQUIRED;
    return service_code_named(name);
}

std::optional<ContractError> parse_contract_error(std::string_view body) noexcept
{
    if (body.empty())
        return std::nullopt;
    try {
        const json document = json::parse(body, nullptr, false);
        if (document.is_discarded())
            return std::nullopt;
        return read_error(document);
    } catch (...) {
        // Only allocation can fail here; a half-read body must not count as the contract.
        return std::nullopt;
    }
}

}  // namespace tw::client
