#include "catalog/catalog_request.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using tw::catalog::fetch_catalog;
using tw::catalog::make_catalog_request;
using tw::client::HeaderList;
using tw::client::HttpRequest;
using tw::client::HttpResponse;
using tw::client::testing::CannedTransport;

constexpr const char* origin = "https://localhost:7180";
constexpr const char* agent = "tarnwick-installer/1.0.0 (windows; release)";


HttpResponse answer(std::int32_t status, std::string body)
{
    HttpResponse response;
    response.status = status;
    response.body = std::move(body);
    response.headers = {{"content-type", "application/json"}};
    return response;
}

TEST(CatalogRequest, WithoutPassSendsUserAgentThenAccept)
{
    const HttpRequest request = make_catalog_request(origin, agent, "");
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.url, "https://localhost:7180/api/installer/v1/catalog?platform=windows");
    EXPECT_EQ(request.headers, (HeaderList{{"User-Agent", agent}, {"Accept", "application/json"}}));
    EXPECT_TRUE(request.body.empty());
    EXPECT_EQ(request.timeout_ms, 15000);
    EXPECT_EQ(request.cancel, nullptr);
}

TEST(CatalogRequest, WithPassAddsBearerAsThirdHeader)
{
    const HttpRequest request = make_catalog_request(origin, agent, "twdp_3kX9-abc");
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.headers, (HeaderList{{"User-Agent", agent},
                                           {"Accept", "application/json"},
                                           {"Authorization", "Bearer twdp_3kX9-abc"}}));
    EXPECT_TRUE(request.body.empty());
    EXPECT_EQ(request.timeout_ms, 15000);
    EXPECT_EQ(request.cancel, nullptr);
}

TEST(CatalogRequest, PathFollowsTheOriginDirectly)
{
    EXPECT_EQ(make_catalog_request("https://[::1]:8443", agent, "").url,
              "https://[::1]:8443/api/installer/v1/catalog?platform=windows");
    EXPECT_EQ(make_catalog_request("https://www.tarnwick.test", agent, "").url,
              "https://www.tarnwick.test/api/installer/v1/catalog?platform=windows");
}

TEST(CatalogFetch, SendsTheCatalogRequestOnce)
{
    CannedTransport transport(answer(200, "{}"));
    fetch_catalog(transport, origin, agent, "twdp_token", true);
    ASSERT_EQ(transport.sent.size(), 1u);
    const HttpRequest& sent = transport.sent[0];
    EXPECT_EQ(sent.method, "GET");
    EXPECT_EQ(sent.url, "https://localhost:7180/api/installer/v1/catalog?platform=windows");
    ASSERT_EQ(sent.headers.size(), 3u);
    EXPECT_EQ(sent.headers[2], (std::pair<std::string, std::string>{"Authorization", "Bearer twdp_token"}));
    EXPECT_EQ(sent.timeout_ms, 15000);
    EXPECT_EQ(sent.cancel, nullptr);
}

TEST(CatalogFetch, CopiesStatusBodyAndPassFlag)
{
    struct Case {
        std::int32_t status;
        std::string body;
        const char* pass;
        bool pass_sent;
    };
    const Case cases[] = {
        {200, R"({"publisher":"P","products":[]})", "", false},
        {200, "<html>not a catalog</html>", "", false},
        {401, R"({"error":{"code":"UNAUTHORIZED"}})", "twdp_token", true},
        {401, R"({"error":{"code":"UNAUTHORIZED"}})", "", false},
        {503, R"({"error":{"code":"UNAVAILABLE","message":"maintenance"}})", "", false},
        {429, "", "twdp_token", true},
        {200, std::string("bin\0ary\xff", 8), "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.status) + " " + c.body);
        CannedTransport transport(answer(c.status, c.body));
        const auto reply = fetch_catalog(transport, origin, agent, c.pass, c.pass_sent);
        EXPECT_EQ(reply.status, static_cast<std::uint32_t>(c.status));
        EXPECT_EQ(reply.body, c.body);
        EXPECT_EQ(reply.pass_sent, c.pass_sent);
    }
}

TEST(CatalogFetch, FailedExchangeIsStatusZeroWithEmptyBody)
{
    CannedTransport transport(tw::client::failed_exchange("timed out after 15000 ms"));
    const auto reply = fetch_catalog(transport, origin, agent, "twdp_token", true);
    EXPECT_EQ(reply.status, 0u);
    EXPECT_TRUE(reply.body.empty());
    EXPECT_TRUE(reply.pass_sent);
    ASSERT_EQ(transport.sent.size(), 1u);
}

}  // namespace
