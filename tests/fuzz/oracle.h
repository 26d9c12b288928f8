#pragma once
// What the fuzz targets' oracles share. A failed expectation aborts, so libFuzzer keeps the input
// that broke it, as it does for a crash.

#include <cstdlib>
#include <string_view>

namespace tw::fuzz {

inline void require(bool condition)
{
    if (!condition)
        std::abort();
}

// The characters a poll token or a download pass may have after its prefix.
inline constexpr std::string_view token_alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

}  // namespace tw::fuzz
