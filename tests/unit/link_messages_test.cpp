// The link exchanges: both requests byte for byte, the strict reading of both answers, and the
// small kind each exchange is reduced to.
#include "client/link_messages.h"
#include "tests/support/test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using namespace tw::client;
using tw::client::testing::CannedTransport;
using ::testing::ElementsAre;
using ::testing::Pair;

const std::string sample_token = "twdl_0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcde-_";
const std::string sample_pass = "twdp_-_abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNO";
const std::string sample_agent = "tarnwick-installer/1.0.0 (windows; release)";

std::string start_body(const std::string& code, const std::string& url, const std::string& extra = "")
{
    return R"({"linkCode":")" + code + R"(","authorizeUrl":")" + url + R"(","pollToken":")" + sample_token + "\"" + extra + "}";
}

std::string approved(const std::string& download_extra = "")
{
    return R"({"status":"approved","download":{"downloadPass":")" + sample_pass + "\"" + download_extra + "}}";
}

HttpResponse answer(std::int32_t status, std::string body = {})
{
    HttpResponse response;
    response.status = status;
    response.body = std::move(body);
    return response;
}

HttpResponse through_proxy(HttpResponse response)
{
    response.through_proxy = true;
    return response;
}

std::string error_body(const std::string& code, const std::string& extra = "")
{
    return R"({"error":{"code":")" + code + "\"" + extra + "}}";
}


const ClientOptions sample_options{"https://tarnwick.example/", sample_agent, 9000, nullptr};

TEST(LinkCode, IsEightCharactersOfCrockfordBase32ShownAsTwoGroups)
{
    const std::pair<const char*, bool> cases[] = {
        {"7KQ2MXD9", true},  {"ABCDEFGH", true},  {"0123VWXY", true},  {"7KQ2MXDI", false}, {"7KQ2MXDL", false},
        {"7KQ2MXDO", false}, {"7KQ2MXDU", false}, {"7kq2mxd9", false}, {"7KQ2MXD", false},  {"7KQ2MXD9A", false},
    };
    for (const auto& [code, accepted] : cases) {
        LinkStartResponse response;
        std::string error;
        EXPECT_EQ(parse_link_start(start_body(code, "https://x"), response, error), accepted) << code;
        EXPECT_EQ(error, accepted ? "" : "linkCode is missing or is not an 8-character code") << code;
    }
    EXPECT_EQ(format_link_code("7KQ2MXD9"), "7KQ2-MXD9");
    EXPECT_EQ(format_link_code("7KQ2MXD"), "7KQ2MXD");
}

TEST(Tokens, AreFortyEightCharactersWithTheirPrefixAndUrlSafeBase64)
{
    const std::string tail = sample_token.substr(5);
    struct Case {
        std::string text;
        bool poll_token;
        bool pass;
    };
    const Case cases[] = {
        {"twdl_" + tail, true, false},          {"twdp_" + tail, false, true},
        {"TWDL_" + tail, false, false},         {"twdl_" + tail.substr(1), false, false},
        {"twdl_" + tail + "A", false, false},   {"twdl_" + tail.substr(1) + "+", false, false},
        {"twdp_" + tail.substr(1) + "=", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(is_poll_token(c.text), c.poll_token) << c.text;
        EXPECT_EQ(is_download_pass(c.text), c.pass) << c.text;
    }
}

TEST(ParseLinkStart, RejectsInOrderWithTheExactReason)
{
    const std::pair<std::string, std::string> cases[] = {
        {"[]", "the body is not a JSON object"},
        {"/* c */ {}", "the body is not a JSON object"},
        {"{\"linkCode\":\"\xFF\"}", "the body is not a JSON object"},
        {R"({"linkCode":12345678})", "linkCode is missing or is not an 8-character code"},
        {start_body("7KQ2MXD9", "HTTPS://x"), "authorizeUrl is missing or is not an absolute http(s) URL"},
        {start_body("7KQ2MXD9", "javascript:x"), "authorizeUrl is missing or is not an absolute http(s) URL"},
        {R"({"linkCode":"7KQ2MXD9","authorizeUrl":"https://x","pollToken":")" + sample_pass + "\"}",
         "pollToken is missing or misshapen"},
        {start_body("7KQ2MXD9", "https://", R"(,"other":[1])"), ""},
    };
    for (const auto& [body, reason] : cases) {
        LinkStartResponse response;
        std::string error = "stale";
        EXPECT_EQ(parse_link_start(body, response, error), reason.empty()) << body;
        EXPECT_EQ(error, reason) << body;
        EXPECT_EQ(response.poll_token, reason.empty() ? sample_token : "") << body;
    }
}

TEST(ParseLinkStart, CountsAreJsonIntegersFromOneToInt32MaxOrTheDefault)
{
    const std::pair<const char*, int> cases[] = {
        {"0", 0}, {"-3", 0}, {"2.5", 0}, {"\"5\"", 0}, {"true", 0}, {"2147483648", 0}, {"2147483647", 2147483647}, {"1", 1},
    };
    for (const auto& [value, kept] : cases) {
        LinkStartResponse response;
        std::string error;
        const std::string counts = std::string(",\"expiresInSec\":") + value + ",\"pollIntervalSec\":" + value;
        ASSERT_TRUE(parse_link_start(start_body("7KQ2MXD9", "https://x", counts), response, error)) << value;
        EXPECT_EQ(response.expires_in_sec, kept == 0 ? 900 : kept) << value;
        EXPECT_EQ(response.poll_interval_sec, kept == 0 ? 5 : kept) << value;
    }
}

TEST(ParseLinkPoll, ChannelsAreReleaseAndTestOnceEachInOrderOfFirstAppearance)
{
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {R"(,"channels":["test","beta","test",7,"release"])", {"test", "release"}},
        {R"(,"channels":["release","Release","release","test"])", {"release", "test"}},
        {R"(,"channels":"release")", {}},
    };
    for (const auto& [channels, kept] : cases) {
        LinkPollStatus status;
        DownloadPass pass;
        std::string error;
        ASSERT_EQ(parse_link_poll(approved(channels), status, pass, error), 0) << channels;
        EXPECT_EQ(pass.channels, kept) << channels;
        EXPECT_EQ(pass.expires_in_sec, 3600) << channels;
    }
}

TEST(LinkStart, SendsItsBodyByteForByteWithTheJsonHeaders)
{
    const std::pair<const char*, const char*> cases[] = {
        {"1.0.0", R"({"installerVersion":"1.0.0","platform":"windows","schemaVersion":1})"},
        {"2-\xC3\xA9\"\xFF", "{\"installerVersion\":\"2-\xC3\xA9\\\"\xEF\xBF\xBD\",\"platform\":\"windows\",\"schemaVersion\":1}"},
    };
    for (const auto& [version, body] : cases) {
        CannedTransport transport(answer(200, start_body("7KQ2MXD9", "https://x")));
        link_start(transport, sample_options, version);
        ASSERT_EQ(transport.sent.size(), 1u);
        const HttpRequest& sent = transport.sent.front();
        EXPECT_EQ(sent.url, "https://tarnwick.example/api/installer/v1/link/start");
        EXPECT_THAT(sent.headers, ElementsAre(Pair("User-Agent", sample_agent), Pair("Accept", "application/json"),
                                              Pair("Content-Type", "application/json")));
        EXPECT_EQ(sent.body, body);
        EXPECT_EQ(sent.timeout_ms, 9000);
    }
}

TEST(LinkPoll, SendsAnEmptyObjectWithTheBearerAndRedactsItFromTheMessage)
{
    CannedTransport transport(answer(400, error_body("MALFORMED_REQUEST", R"(,"message":"bad )" + sample_token + "\"")));
    const LinkPollResult result = link_poll(transport, sample_options, sample_token);
    ASSERT_EQ(transport.sent.size(), 1u);
    EXPECT_EQ(transport.sent[0].url, "https://tarnwick.example/api/installer/v1/link/poll");
    EXPECT_THAT(transport.sent[0].headers,
                ElementsAre(Pair("User-Agent", sample_agent), Pair("Accept", "application/json"),
                            Pair("Authorization", "Bearer " + sample_token), Pair("Content-Type", "application/json")));
    EXPECT_EQ(transport.sent[0].body, "{}");
    EXPECT_EQ(result.message, "I-2 link/poll: 400 MALFORMED_REQUEST - bad [redacted]");
}

TEST(LinkStart, ClassifiesEachAnswer)
{
    struct Case {
        HttpResponse reply;
        LinkStartKind kind;
        ContractErrorCode code;
        std::string message;
    };
    const Case cases[] = {
        {answer(200, start_body("7KQ2MXD9", "https://x")), LinkStartKind::ok, ContractErrorCode::NONE,
         "I-1 link/start: 200"},
        {failed_exchange("cannot connect"), LinkStartKind::offline, ContractErrorCode::NONE,
         "I-1 link/start: transport failure (cannot connect)"},
        {answer(400, error_body("SCHEMA_UNSUPPORTED")), LinkStartKind::update_required,
         ContractErrorCode::SCHEMA_UNSUPPORTED, "I-1 link/start: 400 SCHEMA_UNSUPPORTED"},
        {answer(429), LinkStartKind::failed, ContractErrorCode::RATE_LIMITED,
         "I-1 link/start: 429 without a contract error body (0 bytes)"},
        {answer(200, "[]"), LinkStartKind::failed, ContractErrorCode::NONE,
         "I-1 link/start: 200 - the body is not a JSON object"},
        {through_proxy(answer(407, "<html>proxy</html>")), LinkStartKind::proxy_refused,
         ContractErrorCode::NO_CONTRACT_BODY, "I-1 link/start: 407 without a contract error body (18 bytes)"},
        {answer(407, "<html>proxy</html>"), LinkStartKind::failed, ContractErrorCode::NO_CONTRACT_BODY,
         "I-1 link/start: 407 without a contract error body (18 bytes)"},
    };
    for (const auto& c : cases) {
        CannedTransport transport(c.reply);
        const LinkStartResult result = link_start(transport, sample_options, "1.0.0");
        EXPECT_EQ(result.kind, c.kind) << c.message;
        EXPECT_EQ(result.outcome.code, c.code) << c.message;
        EXPECT_EQ(result.message, c.message);
    }
}

TEST(LinkPoll, ClassifiesEachAnswer)
{
    struct Case {
        HttpResponse reply;
        LinkPollKind kind;
        std::string message;
        std::optional<std::int64_t> retry_after{};
    };
    const Case cases[] = {
        {answer(200, R"({"status":"pending"})"), LinkPollKind::pending, "I-2 link/poll: 200"},
        {answer(200, approved()), LinkPollKind::approved, "I-2 link/poll: 200"},
        {answer(401, error_body("INVALID_TOKEN")), LinkPollKind::token_rejected, "I-2 link/poll: 401 INVALID_TOKEN"},
        {answer(404, "<html>gone</html>"), LinkPollKind::retry,
         "I-2 link/poll: 404 without a contract error body (17 bytes)"},
        {answer(503), LinkPollKind::retry, "I-2 link/poll: 503 without a contract error body (0 bytes)"},
        {through_proxy(answer(407)), LinkPollKind::proxy_refused,
         "I-2 link/poll: 407 without a contract error body (0 bytes)"},
        {answer(407), LinkPollKind::retry, "I-2 link/poll: 407 without a contract error body (0 bytes)"},
        {answer(400, error_body("MALFORMED_REQUEST")), LinkPollKind::failed, "I-2 link/poll: 400 MALFORMED_REQUEST"},
        {answer(429, error_body("RATE_LIMITED", R"(,"retryAfterSec":12)")), LinkPollKind::rate_limited,
         "I-2 link/poll: 429 RATE_LIMITED, retry after 12 s", 12},
        {answer(200, "<html>portal</html>"), LinkPollKind::retry, "I-2 link/poll: 200 - the body is not a JSON object"},
        {answer(200, R"({"status":"Pending"})"), LinkPollKind::failed, "I-2 link/poll: 200 - unknown status value"},
        {answer(200, R"({"status":5})"), LinkPollKind::failed, "I-2 link/poll: 200 - status is missing"},
        {answer(200, R"({"status":"denied","download":5})"), LinkPollKind::denied, "I-2 link/poll: 200"},
        {answer(200, R"({"status":"approved","download":"x"})"), LinkPollKind::failed,
         "I-2 link/poll: 200 - approved without a download object"},
        {answer(200, R"({"status":"approved","download":{"downloadPass":")" + sample_token + "\"}}"), LinkPollKind::failed,
         "I-2 link/poll: 200 - download.downloadPass is missing or misshapen"},
    };
    for (const auto& c : cases) {
        CannedTransport transport(c.reply);
        const LinkPollResult result = link_poll(transport, sample_options, sample_token);
        EXPECT_EQ(result.kind, c.kind) << c.message;
        EXPECT_EQ(result.message, c.message);
        EXPECT_EQ(result.outcome.retry_after_seconds, c.retry_after) << c.message;
        EXPECT_EQ(result.pass.token, c.kind == LinkPollKind::approved ? sample_pass : "") << c.message;
    }
}

}  // namespace
