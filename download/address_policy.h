#pragma once
// Which addresses a download may be fetched from: the site's own host and, for a real site, its
// "downloads." host. Asked before every connection, the first and each redirect target.

#include <string_view>

namespace tw::download {

// Exactly "127.0.0.1", "localhost" or "[::1]", compared case-sensitively.
bool is_loopback_host(std::string_view host);

// Plain http only while the site itself is a loopback development server. No name is resolved:
// "127.0.0.1" and "localhost" are different hosts here.
bool is_allowed_download_url(std::string_view url, std::string_view site_host);

}  // namespace tw::download
