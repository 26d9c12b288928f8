#pragma once
// The volume a folder lies on, as the user knows it, and how much of it is free.

#include <cstdint>
#include <optional>
#include <string>

namespace tw::download {

// The volume's root, such as "C:\"; empty when Windows cannot tell.
std::wstring volume_of(const std::wstring& folder);

// Bytes this user may still write there; none when Windows cannot tell.
std::optional<std::uint64_t> free_bytes_of(const std::wstring& folder);

}  // namespace tw::download
