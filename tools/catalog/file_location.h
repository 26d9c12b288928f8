#pragma once
// Which file in a folder a catalog entry stands for.

#include <filesystem>
#include <optional>
#include <string_view>

namespace tw::tool {

// The file named by the last part of the download address's path (percent-decoded), which is
// the name it was uploaded under, or else by the entry's fileName. Only plain names inside the
// folder count: a catalog must not lead the check anywhere else.
std::optional<std::filesystem::path> locate_file(const std::filesystem::path& folder, std::string_view download_url,
                                                 std::string_view file_name);

}  // namespace tw::tool
