// Service calls: the requests they build, how any answer becomes one outcome and one line of
// text, and that the bearer token never reaches that line.
#include "client/display_text.h"
#include "client/service.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace tw::client;
using tw::client::testing::CannedTransport;
using Code = ContractErrorCode;

constexpr const char* label = "I-2 link/poll";

HttpResponse answer(std::int32_t status, std::string body, HeaderList headers = {})
{
    HttpResponse response;
    response.status = status;
    response.body = std::move(body);
    response.headers = std::move(headers);
    return response;
}

std::string error_body(const std::string& members)
{
    return R"({"error":{)" + members + "}}";
}

// ---- classification --------------------------------------------------------------------------

TEST(ClassifyResponse, FailedStatusesBecomeACodeAndOneLine)
{
    struct Case {
        std::int32_t status;
        std::string body;
        HeaderList headers;
        Code code;
        bool contract;
        std::string description;
    };
    const HeaderList retry_30 = {{"retry-after", "30"}};
    const Case cases[] = {
        {429, "", retry_30, Code::RATE_LIMITED, false,
         "I-2 link/poll: 429 without a contract error body (0 bytes), retry after 30 s"},
        {429, "", {}, Code::RATE_LIMITED, false, "I-2 link/poll: 429 without a contract error body (0 bytes)"},
        {429, error_body(R"("code":"RATE_LIMITED","retryAfterSec":10)"), retry_30, Code::RATE_LIMITED, true,
         "I-2 link/poll: 429 RATE_LIMITED, retry after 10 s"},
        {400, error_body(R"("code":"MALFORMED_REQUEST","message":"bad\nfield\t\u00e9","retryAfterSec":5)"), {},
         Code::MALFORMED_REQUEST, true, "I-2 link/poll: 400 MALFORMED_REQUEST - bad field \xC3\xA9, retry after 5 s"},
        {401, error_body(R"("code":"INVALID_TOKEN","message":7)"), {}, Code::INVALID_TOKEN, true,
         "I-2 link/poll: 401 INVALID_TOKEN"},
        {418, error_body(R"("code":"EXAMPLE")"), {}, Code::UNRECOGNIZED, true,
         "I-2 link/poll: 418 unrecognized code 'EXAMPLE'"},
        {429, error_body(R"("code":"rate_limited")"), {}, Code::UNRECOGNIZED, true,
         "I-2 link/poll: 429 unrecognized code 'rate_limited'"},
        // This side's own names are not the service's.
        {400, error_body(R"("code":"NONE")"), {}, Code::UNRECOGNIZED, true,
         "I-2 link/poll: 400 unrecognized code 'NONE'"},
        {400, error_body(R"("code":")" + std::string(70, 'C') + "\""), {}, Code::UNRECOGNIZED, true,
         "I-2 link/poll: 400 unrecognized code '" + std::string(64, 'C') + "'"},
        {302, "", {{"location", "https://elsewhere.example/"}}, Code::NO_CONTRACT_BODY, false,
         "I-2 link/poll: 302 without a contract error body (0 bytes)"},
        {404, "<html>" + std::string(1221, 'x') + "</html>", {}, Code::NO_CONTRACT_BODY, false,
         "I-2 link/poll: 404 without a contract error body (1234 bytes)"},
        {400, error_body(R"("code":7)"), {}, Code::NO_CONTRACT_BODY, false,
         "I-2 link/poll: 400 without a contract error body (20 bytes)"},
        {502, error_body(R"("code":null)"), {}, Code::SERVER_ERROR, false,
         "I-2 link/poll: 502 without a contract error body (23 bytes)"},
        {503, "", {{"retry-after", "120"}}, Code::SERVER_ERROR, false,
         "I-2 link/poll: 503 without a contract error body (0 bytes), retry after 120 s"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        const ServiceOutcome outcome = classify_response(answer(c.status, c.body, c.headers), label);
        EXPECT_EQ(outcome.status, c.status);
        EXPECT_EQ(outcome.code, c.code);
        EXPECT_EQ(outcome.answer, c.contract ? ServiceAnswer::contract_error : ServiceAnswer::plain_error);
        EXPECT_EQ(outcome.body, c.body);
        EXPECT_EQ(outcome.description, c.description);
    }
}

TEST(ClassifyResponse, OnlyAPlainNonNegativeIntegerInTheBodyOutranksTheHeader)
{
    struct Case {
        const char* retry_after_sec;
        std::int64_t hint;
    };
    const Case cases[] = {
        {"10", 10},
        {"0", 0},
        {"9223372036854775807", INT64_MAX},
        {"10.5", 30},
        {"30.0", 30},
        {"-1", 30},
        {"\"10\"", 30},
        {"9223372036854775808", 30},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.retry_after_sec);
        const std::string body = error_body(std::string(R"("code":"RATE_LIMITED","retryAfterSec":)") + c.retry_after_sec);
        const ServiceOutcome outcome = classify_response(answer(429, body, {{"retry-after", "30"}}), label);
        EXPECT_EQ(outcome.answer, ServiceAnswer::contract_error);
        EXPECT_EQ(outcome.retry_after_seconds, c.hint);
        EXPECT_EQ(outcome.description, "I-2 link/poll: 429 RATE_LIMITED, retry after " + std::to_string(c.hint) + " s");
    }
}

TEST(ClassifyResponse, HeaderHintIsPlainSecondsThatFitSixtyFourBits)
{
    struct Case {
        HeaderList headers;
        std::optional<std::int64_t> hint;
    };
    const Case cases[] = {
        {{{"retry-after", " \t30 "}}, 30},
        {{{"retry-after", "0007"}}, 7},
        {{{"retry-after", "9223372036854775807"}}, INT64_MAX},
        {{{"retry-after", "x"}, {"retry-after", "9"}}, std::nullopt},
        {{{"retry-after", "9223372036854775808"}}, std::nullopt},
        {{{"retry-after", "-5"}}, std::nullopt},
        {{{"retry-after", "1.5"}}, std::nullopt},
        {{{"retry-after", ""}}, std::nullopt},
        {{{"retry-after", "Wed, 21 Oct 2015 07:28:00 GMT"}}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.headers.front().second);
        const ServiceOutcome outcome = classify_response(answer(503, "", c.headers), label);
        EXPECT_EQ(outcome.retry_after_seconds, c.hint);
    }
}

TEST(ClassifyResponse, SuccessAndTransportFailureReadNeitherHintNorErrorBody)
{
    const HeaderList retry = {{"retry-after", "30"}};
    const ServiceOutcome ok = classify_response(answer(204, error_body(R"("code":"RATE_LIMITED")"), retry), label);
    EXPECT_EQ(ok.code, Code::NONE);
    EXPECT_EQ(ok.answer, ServiceAnswer::success);
    EXPECT_EQ(ok.retry_after_seconds, std::nullopt);
    EXPECT_EQ(ok.description, "I-2 link/poll: 204");

    struct Case {
        std::int32_t status;
        const char* error;
        const char* description;
    };
    const Case failures[] = {
        {0, "WinHttpSendRequest failed (Win32 error 12007, name not resolved)",
         "I-2 link/poll: transport failure (WinHttpSendRequest failed (Win32 error 12007, name not resolved))"},
        {0, "first\r\nsecond", "I-2 link/poll: transport failure (first  second)"},
        {0, "", "I-2 link/poll: transport failure (no response)"},
        {-1, "deadline exceeded", "I-2 link/poll: transport failure (deadline exceeded)"},
    };
    for (const auto& c : failures) {
        SCOPED_TRACE(c.description);
        HttpResponse response = answer(c.status, "", retry);
        response.error = c.error;
        const ServiceOutcome outcome = classify_response(response, label);
        EXPECT_EQ(outcome.answer, ServiceAnswer::none);
        EXPECT_EQ(outcome.code, Code::NONE);
        EXPECT_EQ(outcome.retry_after_seconds, std::nullopt);
        EXPECT_EQ(outcome.description, c.description);
    }
}

TEST(ClassifyResponse, LabelIsOneLineOfAtMostSixtyFourCharacters)
{
    const ServiceOutcome outcome = classify_response(answer(200, ""), "I-1\nlink/start" + std::string(60, '.'));
    EXPECT_EQ(outcome.description, "I-1 link/start" + std::string(50, '.') + ": 200");
}

// ---- judging outcomes ------------------------------------------------------------------------

ServiceOutcome outcome_of(ServiceAnswer kind, std::int32_t status, Code code)
{
    ServiceOutcome outcome;
    outcome.answer = kind;
    outcome.status = status;
    outcome.code = code;
    return outcome;
}

TEST(ServiceOutcome, SuccessIsAnAnswerFrom200To299)
{
    struct Case {
        std::int32_t status;
        bool success;
    };
    for (const Case& c : {Case{199, false}, Case{200, true}, Case{299, true}, Case{300, false}, Case{0, false}}) {
        SCOPED_TRACE(c.status);
        EXPECT_EQ(is_success(classify_response(answer(c.status, ""), label)), c.success);
    }
}

TEST(ServiceOutcome, RetryableAreNoAnswerServerFailuresRateLimitsAndForeignAnswers)
{
    using enum ServiceAnswer;
    struct Case {
        ServiceAnswer kind;
        std::int32_t status;
        Code code;
        bool retryable;
    };
    std::vector<Case> cases = {
        {none, 0, Code::NONE, true},
        {plain_error, 500, Code::SERVER_ERROR, true},
        {contract_error, 503, Code::UNRECOGNIZED, true},
        {contract_error, 599, Code::INVALID_TOKEN, true},
        {plain_error, 429, Code::RATE_LIMITED, true},
        {plain_error, 404, Code::NO_CONTRACT_BODY, true},
        {success, 200, Code::NONE, false},
        {contract_error, 418, Code::UNRECOGNIZED, false},
        {contract_error, 400, Code::SERVER_ERROR, false},
    };
    for (const Code code : {Code::MALFORMED_REQUEST, Code::INVALID_TOKEN, Code::TOKEN_REVOKED, Code::TELEMETRY_DISABLED,
                            Code::CONSENT_REQUIRED, Code::UNKNOWN_RESOURCE, Code::UNKNOWN_PRODUCT,
                            Code::PAYLOAD_TOO_LARGE, Code::SCHEMA_UNSUPPORTED})
        cases.push_back({contract_error, 400, code, false});
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.status) + " " + std::string(display_name(c.code)));
        EXPECT_EQ(is_retryable(outcome_of(c.kind, c.status, c.code)), c.retryable);
    }
}

// ---- requests --------------------------------------------------------------------------------

TEST(ServiceRequest, UrlHasExactlyOneSlashBeforeARelativeOrRootedPath)
{
    struct Case {
        const char* base_url;
        const char* path;
        const char* url;
    };
    for (const Case& c : {Case{"https://h.example//", "/api/x", "https://h.example/api/x"},
                          Case{"https://h.example", "api/x", "https://h.example/api/x"},
                          Case{"https://h.example/", "", "https://h.example"},
                          Case{"https://h.example", "//x", "https://h.example//x"}}) {
        SCOPED_TRACE(c.url);
        ClientOptions options;
        options.base_url = c.base_url;
        EXPECT_EQ(make_request(options, "GET", c.path, "").url, c.url);
    }
}

TEST(ServiceRequest, HeadersComeInTheirFixedOrder)
{
    std::atomic<bool> cancel{false};
    const ClientOptions options{"https://h.example", "agent/1", 2500, &cancel};

    const HttpRequest plain = make_request(options, "GET", "/a", "");
    EXPECT_EQ(plain.method, "GET");
    EXPECT_EQ(plain.headers, (HeaderList{{"User-Agent", "agent/1"}, {"Accept", "application/json"}}));
    EXPECT_EQ(plain.timeout_ms, 2500);
    EXPECT_EQ(plain.cancel, &cancel);

    const HttpRequest post = make_json_post(options, "/api/installer/v1/link/poll", "twdp_T", R"({"a":1})");
    EXPECT_EQ(post.method, "POST");
    EXPECT_EQ(post.url, "https://h.example/api/installer/v1/link/poll");
    EXPECT_EQ(post.headers, (HeaderList{{"User-Agent", "agent/1"},
                                        {"Accept", "application/json"},
                                        {"Authorization", "Bearer twdp_T"},
                                        {"Content-Type", "application/json"}}));
    EXPECT_EQ(post.body, R"({"a":1})");

    EXPECT_EQ(make_request(ClientOptions{}, "GET", "/a", "").headers.front(), (std::pair<std::string, std::string>{"User-Agent", ""}));
}

// ---- calls and redaction ---------------------------------------------------------------------


TEST(CallService, SendsTheBearerAndKeepsItOutOfTheDescription)
{
    const std::string body = error_body(R"("code":"INVALID_TOKEN","message":"twdp_SECRET is not known")");
    CannedTransport transport(answer(401, body));
    ClientOptions options;
    options.base_url = "https://h.example";
    const ServiceOutcome outcome = call_service(transport, make_json_post(options, "/p", "twdp_SECRET", "{}"), label);
    ASSERT_EQ(transport.sent.size(), 1u);
    EXPECT_EQ(transport.sent[0].headers[2], (std::pair<std::string, std::string>{"Authorization", "Bearer twdp_SECRET"}));
    EXPECT_EQ(outcome.description, "I-2 link/poll: 401 INVALID_TOKEN - [redacted] is not known");
    EXPECT_EQ(outcome.body, body);
}

TEST(CallService, EveryEchoOfTheTokenIsRedacted)
{
    struct Case {
        std::string authorization;
        std::string message;
        std::string detail;
    };
    const Case cases[] = {
        {"Bearer twdp_SECRET", "twdp_SECRET/twdp_SECRETtwdp_SECRET", "[redacted]/[redacted][redacted]"},
        {"twdp_RAW", "got twdp_RAW", "got [redacted]"},
        {"Bearer red", "red", "[redacted]"},  // the search goes on after the replacement
        {"Bearer ", "nothing to hide", "nothing to hide"},
        {"bearer low", "bearer low", "[redacted]"},  // only the exact prefix is not the token
        // A token straddling the message's 200-character cut leaves no part of itself behind.
        {"Bearer twdp_SECRET", std::string(195, 'x') + "twdp_SECRET", std::string(195, 'x') + "[reda"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.authorization);
        HttpRequest request;
        request.headers = {{"Authorization", c.authorization}};
        CannedTransport transport(answer(400, error_body(R"("code":"MALFORMED_REQUEST","message":")" + c.message + "\"")));
        EXPECT_EQ(call_service(transport, request, label).description,
                  std::string("I-2 link/poll: 400 MALFORMED_REQUEST - ") + c.detail);
    }
}

TEST(CallService, TokenInATransportFailureIsRedacted)
{
    HttpRequest request;
    request.headers = {{"Authorization", "Bearer twdp_SECRET"}};
    CannedTransport transport(failed_exchange("proxy said twdp_SECRET"));
    EXPECT_EQ(call_service(transport, request, label).description,
              "I-2 link/poll: transport failure (proxy said [redacted])");
}

class ThrowingTransport : public Transport {
public:
    HttpResponse send(const HttpRequest&) override { throw std::runtime_error("broken"); }
};

TEST(CallService, ATransportThatThrowsIsATransportFailure)
{
    ThrowingTransport transport;
    const ServiceOutcome outcome = call_service(transport, HttpRequest{}, label);
    EXPECT_EQ(outcome.answer, ServiceAnswer::none);
    EXPECT_EQ(outcome.description, "I-2 link/poll: transport failure (transport failed (internal error))");
}

// ---- display text ----------------------------------------------------------------------------

TEST(DisplayText, KeepsWellFormedUtf8AndReplacesEveryOtherByte)
{
    struct Case {
        const char* label;
        std::string text;
        const char* shown;
    };
    const Case cases[] = {
        {"controls", std::string("a\x01\tb\x7F\r\n", 7) + std::string(1, '\0'), "a  b    "},
        {"shortest forms", "\xC2\x80 \xDF\xBF \xE0\xA0\x80 \xED\x9F\xBF \xEE\x80\x80 \xF0\x90\x80\x80 \xF4\x8F\xBF\xBF",
         "\xC2\x80 \xDF\xBF \xE0\xA0\x80 \xED\x9F\xBF \xEE\x80\x80 \xF0\x90\x80\x80 \xF4\x8F\xBF\xBF"},
        {"overlong C0 80", "\xC0\x80", "??"},
        {"overlong C1 BF", "\xC1\xBF", "??"},
        {"overlong E0 80 80", "\xE0\x80\x80", "???"},
        {"overlong F0 80 80 80", "\xF0\x80\x80\x80", "????"},
        {"surrogate", "\xED\xA0\x80", "???"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", "????"},
        {"F5 and above", "\xF5\x80\xF8\xFE\xFF", "?????"},
        {"truncated at the end", "a\xE2\x82", "a??"},
        {"truncated four-byte", "\xF0\x9F\x8E", "???"},
        {"truncated in the middle", "\xE2\x82x\xF0\x9F\x8E\xC3", "??x????"},
        {"lone continuation", "a\x80\xBF", "a??"},
        {"control inside a sequence", "\xC3\n\xA9", "? ?"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(sanitize_for_display(c.text, 200), c.shown);
    }
}

TEST(DisplayText, LimitCountsASequenceOrAReplacementAsOneCharacter)
{
    struct Case {
        const char* text;
        std::size_t max_chars;
        const char* shown;
    };
    for (const Case& c : {Case{"\xE2\x82\xAC" "abc", 2, "\xE2\x82\xAC" "a"},
                          Case{"\xF0\x9F\x8E\xA8\xF0\x9F\x8E\xA8", 1, "\xF0\x9F\x8E\xA8"},
                          Case{"\xFF" "abc", 2, "?a"}, Case{"\xE0\x80\x80", 2, "??"}, Case{"ab", 5, "ab"},
                          Case{"ab", 0, ""}}) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(sanitize_for_display(c.text, c.max_chars), c.shown);
    }
}

}  // namespace
