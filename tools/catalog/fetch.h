#pragma once
// One https exchange by libcurl, for fetching the catalog the way the Installer asks for it.

#include "client/http.h"

#include <string>

namespace tw::tool {

// Follows redirects between https addresses, as WinHTTP does for the Installer. The body is kept
// up to 16 MiB, past the Installer's own cap, so that an oversized catalog can be told as such.
// `trust_file` holds the certificates to trust (PEM); empty leaves libcurl its default bundle.
client::HttpResponse send_request(const client::HttpRequest& request, const std::string& trust_file);

}  // namespace tw::tool
