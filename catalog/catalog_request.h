#pragma once
// The first exchange of every run: the catalog, fetched as it stands and judged by the window.

#include "catalog/catalog_trust.h"
#include "client/http.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tw::catalog {

inline constexpr std::string_view catalog_path = "/api/installer/v1/catalog?platform=windows";

struct CatalogReply {
    std::uint32_t status = 0;  // 0 when no answer arrived
    std::string body{};
    bool pass_sent = false;
    bool through_proxy = false;  // a proxy named for the site stood between
    client::HeaderList headers{};
    // Set by whoever judged the reply against the build's catalog trust; an unjudged reply is
    // believed, as in a build that asks for nothing.
    TrustVerdict trust = TrustVerdict::believed;
};

// GET with User-Agent and Accept, plus a bearer only when a pass is given.
client::HttpRequest make_catalog_request(std::string_view site_origin, std::string_view user_agent,
                                         std::string_view pass);

CatalogReply fetch_catalog(client::Transport& transport, std::string_view site_origin,
                           std::string_view user_agent, std::string_view pass, bool pass_sent);

}  // namespace tw::catalog
