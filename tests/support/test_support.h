#pragma once
// What the C++ tests and fuzzers share: a transport that answers from a can, the byte pattern of
// generated downloads, and, under Windows, a look at the file system and a message pump.

#include "client/http.h"

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tw::client::testing {

// Answers every request with one canned response and keeps what it was sent; a check, when given,
// sees each request first (a fuzzer's require()s on what the client built).
class CannedTransport : public Transport {
public:
    using Check = std::function<void(const HttpRequest&)>;

    explicit CannedTransport(HttpResponse answer, Check check = {})
        : answer_(std::move(answer)), check_(std::move(check))
    {
    }

    HttpResponse send(const HttpRequest& request) override
    {
        if (check_)
            check_(request);
        sent.push_back(request);
        return answer_;
    }

    std::vector<HttpRequest> sent;

private:
    HttpResponse answer_;
    Check check_;
};

}  // namespace tw::client::testing

namespace tw::test_support {

// Byte i of a generated download is i % 251, as the dev site and the test servers send it: a prime
// that divides no buffer or piece size, so a piece written at the wrong offset shows.
inline constexpr std::size_t pattern_period = 251;

constexpr unsigned char pattern_byte(std::size_t i) { return static_cast<unsigned char>(i % pattern_period); }

inline std::string pattern(std::size_t count)
{
    std::string bytes(count, '\0');
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<char>(pattern_byte(i));
    return bytes;
}

#ifdef _WIN32
inline bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Runs what the window's thread has been sent, as its message loop would, and returns when the
// queue is empty.
inline void pump_messages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}
#endif

}  // namespace tw::test_support
