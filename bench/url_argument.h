#pragma once
// A benchmark's URL argument, as the downloader cracks it.

#include "download/cracked_address_win.h"

#include <cstdio>
#include <optional>

// The address, or nothing after a complaint on stderr that names the program.
inline std::optional<tw::download::CrackedAddress> url_argument(const char* program, const char* url)
{
    std::optional<tw::download::CrackedAddress> address = tw::download::crack_address(url);
    if (!address)
        std::fprintf(stderr, "%s: the URL could not be read\n", program);
    return address;
}
