// One large download from one loopback URL, timed, with the process's memory use:
//   bench_download URL SITE_HOST [downloader|bare]
// "downloader" goes through tw::download::download_file, then closes and discards the file as the
// Installer does. "bare" is the least a synchronous WinHTTP download can do with the same session
// options and buffer: read, WriteFile, nothing else; its rate is the floor the platform sets.
//
// Both modes first send one untimed HEAD to the URL, which loads the TLS stack and leaves a pooled
// connection, so that the timed part is the transfer and not Wine's start-up. The clock runs from
// opening the session to the saved file being closed; deleting it afterwards is not timed.
#include "bench/url_argument.h"
#include "client/scoped_win.h"
#include "client/text_win.h"
#include "download/download_rules.h"
#include "download/cracked_address_win.h"
#include "download/downloader_win.h"
#include "download/staging_win.h"

#include <windows.h>
#include <psapi.h>
#include <winhttp.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

using tw::client::platform::FileHandle;
using tw::client::platform::InternetHandle;
using tw::client::platform::widen;
using Clock = std::chrono::steady_clock;

constexpr char installer_user_agent[] = "tarnwick-installer/1.0.0 (windows; release)";
// The downloader's time-outs, so that the bare loop runs under the same session settings.
constexpr DWORD resolve_timeout_ms = 15000;
constexpr DWORD connect_timeout_ms = 15000;
constexpr DWORD send_timeout_ms = 30000;
constexpr DWORD receive_timeout_ms = 60000;
// Often enough to see memory grow with the file, rarely enough to cost nothing measurable.
constexpr std::int64_t sample_every = std::int64_t{4} << 20;

PROCESS_MEMORY_COUNTERS_EX memory_now()
{
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof counters);
    return counters;
}

// Wine leaves PrivateUsage at 0, so the committed private regions of the address space are added
// up as well, which is what Windows counts as a process's private bytes.
SIZE_T committed_private_bytes()
{
    constexpr int most_regions = 1 << 20;
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION region{};
    const char* at = nullptr;
    for (int i = 0; i < most_regions && VirtualQuery(at, &region, sizeof region) == sizeof region; ++i) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            total += region.RegionSize;
        at = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
    }
    return total;
}

// The most private bytes seen while the body streams in, by both counts.
class PrivateBytesWatch {
public:
    void sample(std::int64_t written)
    {
        if (written < next_)
            return;
        next_ = written + sample_every;
        look();
    }
    void look()
    {
        usage_ = std::max(usage_, memory_now().PrivateUsage);
        committed_ = std::max(committed_, committed_private_bytes());
    }
    SIZE_T usage() const { return usage_; }
    SIZE_T committed() const { return committed_; }

private:
    std::int64_t next_ = 0;
    SIZE_T usage_ = 0;
    SIZE_T committed_ = 0;
};

struct Run {
    bool ok = false;
    std::int64_t bytes = 0;
    std::int64_t reads = 0;  // WinHttpReadData calls that returned data
    double seconds = 0;
    double cpu_seconds = 0;  // this process's user and kernel time: did a slow run work more, or wait?
};

double cpu_seconds_now()
{
    FILETIME created{}, ended{}, kernel{}, user{};
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    const auto ticks = [](FILETIME time) {
        return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 1e7;
}

// Wall-clock and CPU time from its making to stop().
class Stopwatch {
public:
    void stop(Run& run) const
    {
        run.seconds = std::chrono::duration<double>(Clock::now() - start_).count();
        run.cpu_seconds = cpu_seconds_now() - cpu_start_;
    }

private:
    Clock::time_point start_ = Clock::now();
    double cpu_start_ = cpu_seconds_now();
};

// A session, its connection and a request whose 200 answer has arrived; closed in reverse order.
struct Exchange {
    InternetHandle session;
    InternetHandle connection;
    InternetHandle request;
};

bool open_exchange(Exchange& exchange, const tw::download::CrackedAddress& address, const wchar_t* verb)
{
    exchange.session.reset(WinHttpOpen(widen(installer_user_agent).c_str(), WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
                                       WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!exchange.session)
        return false;
    WinHttpSetTimeouts(exchange.session.get(), resolve_timeout_ms, connect_timeout_ms, send_timeout_ms,
                       receive_timeout_ms);
    exchange.connection.reset(WinHttpConnect(exchange.session.get(), address.host.c_str(), address.port, 0));
    if (!exchange.connection)
        return false;
    exchange.request.reset(WinHttpOpenRequest(exchange.connection.get(), verb, address.path.c_str(), nullptr,
                                              WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                              address.secure ? WINHTTP_FLAG_SECURE : 0));
    if (!exchange.request)
        return false;
    DWORD policy = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    WinHttpSetOption(exchange.request.get(), WINHTTP_OPTION_REDIRECT_POLICY, &policy, sizeof policy);
    if (!WinHttpSendRequest(exchange.request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0,
                            0) ||
        !WinHttpReceiveResponse(exchange.request.get(), nullptr))
        return false;
    DWORD status = 0;
    DWORD size = sizeof status;
    WinHttpQueryHeaders(exchange.request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                        WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
    return status == 200;
}

// A name of this process's own in %TEMP%, for a file made new as the downloader makes its own.
std::wstring temp_file_path()
{
    wchar_t folder[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH)
        return {};
    return std::wstring(folder, length) + L"bench-download-" + std::to_wstring(GetCurrentProcessId()) + L".bin";
}

Run bare(const tw::download::CrackedAddress& address, PrivateBytesWatch& watch)
{
    const std::wstring path = temp_file_path();
    if (path.empty())
        return {};
    Run run;
    const Stopwatch stopwatch;
    {
        Exchange exchange;
        FileHandle file;
        if (open_exchange(exchange, address, L"GET"))
            file.reset(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.valid()) {
            std::vector<char> buffer(tw::download::file_buffer_size);
            for (;;) {
                DWORD read = 0;
                if (!WinHttpReadData(exchange.request.get(), buffer.data(), static_cast<DWORD>(buffer.size()),
                                     &read))
                    break;
                if (read == 0) {
                    run.ok = true;
                    break;
                }
                DWORD stored = 0;
                if (!WriteFile(file.get(), buffer.data(), read, &stored, nullptr) || stored != read)
                    break;
                run.bytes += read;
                ++run.reads;
                watch.sample(run.bytes);
            }
        }
    }
    stopwatch.stop(run);
    DeleteFileW(path.c_str());
    return run;
}

Run downloader(const std::string& url, const std::string& site_host, PrivateBytesWatch& watch)
{
    const tw::download::DownloadRequest request{url, site_host, installer_user_agent, "", L"bench.bin"};
    Run run;
    const auto progress = [&](std::int64_t written, std::int64_t) {
        run.bytes = written;
        ++run.reads;
        watch.sample(written);
    };
    const Stopwatch stopwatch;
    tw::download::DownloadResult result = tw::download::download_file(request, progress, nullptr);
    result.file.reset();
    stopwatch.stop(run);
    run.ok = result.outcome == tw::download::DownloadOutcome::saved;
    if (!run.ok)
        std::fprintf(stderr, "bench_download: %ls\n", result.message.c_str());
    tw::download::discard_download(result.path);
    return run;
}

double megabytes(double bytes)
{
    return bytes / 1e6;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc == 4 ? argv[3] : "downloader";
    if (argc < 3 || argc > 4 || (mode != "downloader" && mode != "bare")) {
        std::fprintf(stderr, "usage: bench_download URL SITE_HOST [downloader|bare]\n");
        return 2;
    }
    const std::optional<tw::download::CrackedAddress> address = url_argument("bench_download", argv[1]);
    if (!address)
        return 2;
    {
        Exchange warm_up;
        if (!open_exchange(warm_up, *address, L"HEAD")) {
            std::fprintf(stderr, "bench_download: the site did not answer a HEAD with 200\n");
            return 1;
        }
    }

    PrivateBytesWatch watch;
    const Run run = mode == "bare" ? bare(*address, watch) : downloader(argv[1], argv[2], watch);
    watch.look();
    if (!run.ok) {
        std::fprintf(stderr, "bench_download: the %s download failed after %lld bytes\n", mode.c_str(),
                     static_cast<long long>(run.bytes));
        return 1;
    }
    std::printf("%s bytes=%lld reads=%lld seconds=%.3f MB/s=%.1f cpu_seconds=%.3f private_usage_MB=%.1f "
                "private_committed_MB=%.1f peak_working_set_MB=%.1f\n",
                mode.c_str(), static_cast<long long>(run.bytes), static_cast<long long>(run.reads), run.seconds,
                megabytes(static_cast<double>(run.bytes)) / run.seconds, run.cpu_seconds,
                megabytes(static_cast<double>(watch.usage())), megabytes(static_cast<double>(watch.committed())),
                megabytes(static_cast<double>(memory_now().PeakWorkingSetSize)));
    return 0;
}
