#include "tools/catalog/file_location.h"

#include <string>
#include <system_error>

namespace tw::tool {
namespace {

namespace fs = std::filesystem;

int hex_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string percent_decoded(std::string_view text)
{
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hex_value(text[i + 1]) >= 0 && hex_value(text[i + 2]) >= 0) {
            decoded.push_back(static_cast<char>(hex_value(text[i + 1]) * 16 + hex_value(text[i + 2])));
            i += 2;
        } else {
            decoded.push_back(text[i]);
        }
    }
    return decoded;
}

std::string url_file_name(std::string_view url)
{
    const auto scheme = url.find("://");
    std::string_view rest = scheme == std::string_view::npos ? url : url.substr(scheme + 3);
    rest = rest.substr(0, rest.find_first_of("?#"));
    const auto slash = rest.rfind('/');
    return slash == std::string_view::npos ? std::string() : percent_decoded(rest.substr(slash + 1));
}

std::optional<fs::path> file_in(const fs::path& folder, const std::string& name)
{
    constexpr std::string_view not_in_a_name("/\\\0", 3);
    if (name.empty() || name == "." || name == ".." || name.find_first_of(not_in_a_name) != std::string::npos)
        return std::nullopt;
    std::error_code error;
    const fs::path path = folder / name;
    return fs::is_regular_file(path, error) ? std::optional<fs::path>(path) : std::nullopt;
}

}  // namespace

std::optional<fs::path> locate_file(const fs::path& folder, std::string_view download_url, std::string_view file_name)
{
    if (auto by_address = file_in(folder, url_file_name(download_url)))
        return by_address;
    return file_in(folder, std::string(file_name));
}

}  // namespace tw::tool
