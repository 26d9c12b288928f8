#pragma once
// The first exchange of every run: the catalog, fetched as it stands and judged by the window.

#include "client/http.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tw::catalog {

inline constexpr std::string_view catalog_path = "/api/installer/v1/catalog?platform=windows";

struct CatalogReply {
    std::uint32_t status = 0;  // 0 when no answer arrived
    std::string body;
    bool pass_sent = false;
    bool through_proxy = false;  // a proxy named for the site stood between
};

// GET with User-Agent and Accept, plus a bearer only when a pass is given.
client::HttpRequest make_catalog_request(std::string_view site_origin, std::string_view user_agent,
                                         std::string_view pass);

CatalogReply fetch_catalog(client::Transport& transport, std::string_view site_origin,
                           std::string_view user_agent, std::string_view pass, bool pass_sent);

}  // namespace tw::catalog
