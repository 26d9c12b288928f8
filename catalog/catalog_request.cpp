#include "catalog/catalog_request.h"

namespace tw::catalog {

client::HttpRequest make_catalog_request(std::string_view site_origin, std::string_view user_agent,
                                         std::string_view pass)
{
    client::HttpRequest request;
    request.method = "GET";
    request.url.assign(site_origin);
    request.url += catalog_path;
    request.headers.emplace_back("User-Agent", std::string(user_agent));
    request.headers.emplace_back("Accept", "application/json");
    if (!pass.empty())
        request.headers.emplace_back("Authorization", "Bearer " + std::string(pass));
    request.timeout_ms = 15000;
    return request;
}

CatalogReply fetch_catalog(client::Transport& transport, std::string_view site_origin,
                           std::string_view user_agent, std::string_view pass, bool pass_sent)
{
    const client::HttpResponse response =
        transport.send(make_catalog_request(site_origin, user_agent, pass));
    CatalogReply reply;
    reply.status = response.status > 0 ? static_cast<std::uint32_t>(response.status) : 0;
    reply.body = response.body;
    reply.headers = response.headers;
    reply.pass_sent = pass_sent;
    reply.through_proxy = response.through_proxy;
    return reply;
}

}  // namespace tw::catalog
