#pragma once
// Size and SHA-256 of a file on disk, read in pieces so that a large setup program is never held
// whole.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace tw::tool {

struct FileDigest {
    std::uint64_t size = 0;
    std::string sha256;  // 64 lower-case hexadecimal characters, as the catalog writes them
};

// Absent when the file cannot be read to its end.
std::optional<FileDigest> digest_file(const std::filesystem::path& path);

}  // namespace tw::tool
