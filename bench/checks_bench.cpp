// The two download checks on one file, timed, and the least a SHA-256 of it can cost here:
//   bench_checks FILE hash|bare-hash|signature [PUBLISHER]
// "hash" is tw::download::file_sha256_hex on a handle opened as the downloader holds its file.
// "bare-hash" is a plain bcrypt SHA-256 over ReadFile with the same piece size and nothing else;
// its rate is the floor the platform (under Wine: Wine's own bcrypt) sets. "signature" is
// tw::download::check_signature against PUBLISHER (default: the publisher of the test PKI).
//
// Opening the file is not timed, as the checks are handed an open handle; everything else is,
// the algorithm provider included, because the checks open theirs on every call. Printed:
//   MODE bytes=N seconds=S MB/s=R cpu_seconds=C (hashes: sha256=HEX; signature: ok=0|1 signer="NAME")
#include "client/scoped_win.h"
#include "client/text_win.h"
#include "download/checks_win.h"

#include <windows.h>
#include <bcrypt.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

namespace {

using tw::client::platform::AlgorithmHandle;
using tw::client::platform::FileHandle;
using tw::client::platform::HashHandle;
using Clock = std::chrono::steady_clock;

constexpr wchar_t default_publisher[] = L"Tarnwick Software Ltd";
// The product's piece size, so that the two hashes differ in their code only.
constexpr ULONG piece_size = 1'048'576;
constexpr std::size_t digest_size = 32;

std::string hex(const std::array<UCHAR, digest_size>& digest)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    for (const UCHAR byte : digest) {
        text.push_back(digits[byte >> 4]);
        text.push_back(digits[byte & 0x0F]);
    }
    return text;
}

std::string bare_sha256_hex(HANDLE file)
{
    const AlgorithmHandle algorithm = tw::download::open_sha256();
    const HashHandle hash = tw::download::new_hash(algorithm);
    if (!hash.get())
        return {};
    const auto piece = std::make_unique<UCHAR[]>(piece_size);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file, piece.get(), piece_size, &read, nullptr))
            return {};
        if (read == 0)
            break;
        if (!BCRYPT_SUCCESS(BCryptHashData(hash.get(), piece.get(), read, 0)))
            return {};
    }
    std::array<UCHAR, digest_size> digest{};
    if (!BCRYPT_SUCCESS(BCryptFinishHash(hash.get(), digest.data(), digest_size, 0)))
        return {};
    return hex(digest);
}

// This process's user and kernel time: on a shared machine it tells a run that worked more from
// one that waited for a core.
double cpu_seconds_now()
{
    FILETIME created{}, ended{}, kernel{}, user{};
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    const auto ticks = [](FILETIME time) {
        return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 1e7;
}

struct Timing {
    double seconds = 0;
    double cpu_seconds = 0;
};

class Stopwatch {
public:
    Timing read() const
    {
        return {std::chrono::duration<double>(Clock::now() - start_).count(), cpu_seconds_now() - cpu_start_};
    }

private:
    Clock::time_point start_ = Clock::now();
    double cpu_start_ = cpu_seconds_now();
};

void print_rate(const char* mode, LONGLONG bytes, Timing timing)
{
    std::printf("%s bytes=%lld seconds=%.3f MB/s=%.1f cpu_seconds=%.3f", mode, static_cast<long long>(bytes),
                timing.seconds, static_cast<double>(bytes) / 1e6 / timing.seconds, timing.cpu_seconds);
}

// WinVerifyTrust is given a path as well as the handle; a relative one would depend on the
// current folder, so the full path goes in, as the downloader's own path is.
std::wstring full_path(const std::wstring& path)
{
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return path;
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    full.resize(length < needed ? length : 0);
    return full.empty() ? path : full;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc >= 3 ? argv[2] : "";
    const bool known = mode == "hash" || mode == "bare-hash" || mode == "signature";
    if (!known || argc > 4 || (argc == 4 && mode != "signature")) {
        std::fprintf(stderr, "usage: bench_checks FILE hash|bare-hash|signature [PUBLISHER]\n");
        return 2;
    }
    using tw::client::platform::narrow;
    using tw::client::platform::widen;
    const std::wstring path = full_path(widen(argv[1]));
    const FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file.valid() || !GetFileSizeEx(file.get(), &size)) {
        std::fprintf(stderr, "bench_checks: %s could not be opened (error %lu)\n", argv[1], GetLastError());
        return 1;
    }

    if (mode == "signature") {
        const std::wstring publisher = argc == 4 ? widen(argv[3]) : default_publisher;
        const Stopwatch watch;
        const tw::download::SignatureCheck check = tw::download::check_signature(file.get(), path, publisher);
        print_rate("signature", size.QuadPart, watch.read());
        std::printf(" ok=%d signer=\"%s\"\n", check.ok ? 1 : 0, narrow(check.signer).c_str());
        if (!check.ok)
            std::fprintf(stderr, "bench_checks: %s\n", narrow(check.message).c_str());
        return check.ok ? 0 : 1;
    }

    const Stopwatch watch;
    const std::string digest = mode == "hash" ? tw::download::file_sha256_hex(file.get()) : bare_sha256_hex(file.get());
    const Timing timing = watch.read();
    if (digest.empty()) {
        std::fprintf(stderr, "bench_checks: the %s failed\n", mode.c_str());
        return 1;
    }
    print_rate(mode.c_str(), size.QuadPart, timing);
    std::printf(" sha256=%s\n", digest.c_str());
    return 0;
}
