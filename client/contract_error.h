#pragma once
// The service's error contract: the JSON error body of a failed call and the table of its codes.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tw::client {

// 1 to 11 are the service's own codes; the rest are given on this side.
enum class ContractErrorCode : std::int32_t {
    NONE = 0,  // success or transport failure
    MALFORMED_REQUEST = 1,
    INVALID_TOKEN = 2,
    TOKEN_REVOKED = 3,
    TELEMETRY_DISABLED = 4,
    CONSENT_REQUIRED = 5,
    UNKNOWN_RESOURCE = 6,
    UNKNOWN_PRODUCT = 7,
    PAYLOAD_TOO_LARGE = 8,
    SCHEMA_UNSUPPORTED = 9,
    RATE_LIMITED = 10,      // also a 429 without a contract body
    SERVER_ERROR = 11,      // also any status from 500 without a contract body
    UNRECOGNIZED = 12,      // a contract body whose code is none of the service's
    NO_CONTRACT_BODY = 13,  // any other failed status without a contract body
    AGREEMENT_REQUIRED = 14,  // the download host's: a new tester agreement waits on the site
};

// The enumerator's own name; empty for a value outside the table.
std::string_view display_name(ContractErrorCode code) noexcept;

// Matches only the service's eleven names, exactly and case-sensitively; anything else,
// this side's own names included, is UNRECOGNIZED.
ContractErrorCode service_code_named(std::string_view name) noexcept;

// A download's error body: the service's names and AGREEMENT_REQUIRED, matched the same way;
// NONE for no code at all, UNRECOGNIZED for any other.
ContractErrorCode download_code_named(std::string_view name) noexcept;

struct ContractError {
    std::string code;     // as the body spells it: an unrecognised one is quoted back
    std::string message;  // empty when absent
    std::optional<std::int64_t> retry_after_seconds;
};

// {"error": {"code": string, "message"?: string, "retryAfterSec"?: integer >= 0}}. Never throws;
// nothing for anything that is not such a body.
std::optional<ContractError> parse_contract_error(std::string_view body) noexcept;

}  // namespace tw::client
