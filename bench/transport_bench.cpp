// Sequential small exchanges through the WinHTTP transport against one loopback URL:
//   bench_transport URL [COUNT [close]]
// Each exchange opens and closes its own session, so this measures the transport's per-call cost.
// Wine keeps idle connections in a pool shared by all sessions; "close" asks the server to end
// each connection so that every exchange pays for its own connect and TLS handshake.
#include "client/winhttp_transport_win.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int default_count = 200;

tw::client::HttpRequest small_get(const char* url, bool new_connections)
{
    tw::client::HttpRequest request;
    request.method = "GET";
    request.url = url;
    request.headers = {{"User-Agent", "tarnwick-installer/1.0.0 (windows; release)"}};
    if (new_connections)
        request.headers.emplace_back("Connection", "close");
    return request;
}

}  // namespace

int main(int argc, char** argv)
{
    const bool new_connections = argc == 4 && std::string(argv[3]) == "close";
    if (argc < 2 || argc > 4 || (argc == 4 && !new_connections)) {
        std::fprintf(stderr, "usage: bench_transport URL [COUNT [close]]\n");
        return 2;
    }
    const int count = argc >= 3 ? std::atoi(argv[2]) : default_count;
    if (count < 1) {
        std::fprintf(stderr, "bench_transport: COUNT must be at least 1\n");
        return 2;
    }
    const auto transport = tw::client::platform::make_winhttp_transport();
    const tw::client::HttpRequest request = small_get(argv[1], new_connections);

    const tw::client::HttpResponse first = transport->send(request);  // not timed: loads WinHTTP and TLS
    if (!first.error.empty()) {
        std::fprintf(stderr, "bench_transport: %s\n", first.error.c_str());
        return 1;
    }
    int failures = 0;
    std::size_t bytes = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
        const tw::client::HttpResponse response = transport->send(request);
        if (!response.error.empty())
            ++failures;
        bytes += response.body.size();
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("bench_transport: %d exchanges in %.3f s: %.1f exchanges/s, %.2f ms each, %zu body bytes, %d failed\n",
                count, seconds, count / seconds, seconds * 1000.0 / count, bytes, failures);
    return failures == 0 ? 0 : 1;
}
