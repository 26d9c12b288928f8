// The least a Windows program can do to have the catalog (bench/bare_catalog.h).
//   bench_catalog URL
// It prints one line once the body is in:
//   catalog status=200 bytes=N unix_ms=T created_unix_ms=C
// T is the system clock when the body was complete (before any handle was closed) and C when this
// process was made, both in Unix milliseconds, so that a caller on the Linux side can time it from
// before Wine's start, as it times the Installer until its window shows the catalog.
#include "bench/bare_catalog.h"
#include "bench/url_argument.h"

#include <cstdio>
#include <optional>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_catalog URL\n");
        return 2;
    }
    const std::optional<tw::download::CrackedAddress> address = url_argument("bench_catalog", argv[1]);
    if (!address)
        return 2;
    const bare::Fetched fetched = bare::fetch_catalog(*address);
    if (!fetched.failure.empty()) {
        std::fprintf(stderr, "bench_catalog: %s\n", fetched.failure.c_str());
        return 1;
    }
    std::printf("catalog status=%lu bytes=%zu unix_ms=%.3f created_unix_ms=%.3f\n", fetched.status,
                fetched.body.size(), fetched.complete_unix_ms, bare::created_unix_ms());
    std::fflush(stdout);
    return fetched.status == 200 ? 0 : 1;
}
