#include "app/version_order.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace tw::app {
namespace {

struct ParsedVersion {
    std::array<std::uint64_t, 3> core{};
    bool has_prerelease = false;
    std::string_view prerelease;
};

// Anything but plain digits, or a value past one billion, counts as 0.
std::uint64_t read_component(std::string_view text)
{
    constexpr std::uint64_t limit = 1'000'000'000;
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
        if (value > limit)
            return 0;
    }
    return value;
}

ParsedVersion parse_version(std::string_view text)
{
    ParsedVersion version;
    text = text.substr(0, text.find('+'));
    if (const auto dash = text.find('-'); dash != std::string_view::npos) {
        version.has_prerelease = true;
        version.prerelease = text.substr(dash + 1);
        text = text.substr(0, dash);
    }
    for (size_t i = 0; i < version.core.size() && !text.empty(); ++i) {
        const auto dot = text.find('.');
        version.core[i] = read_component(text.substr(0, dot));
        if (dot == std::string_view::npos)
            break;
        text.remove_prefix(dot + 1);
    }
    return version;
}

int sign_of(int value) { return (value > 0) - (value < 0); }

}  // namespace

int compare_versions(std::string_view a, std::string_view b)
{
    const ParsedVersion left = parse_version(a);
    const ParsedVersion right = parse_version(b);
    for (size_t i = 0; i < left.core.size(); ++i) {
        if (left.core[i] != right.core[i])
            return left.core[i] < right.core[i] ? -1 : 1;
    }
    if (left.has_prerelease != right.has_prerelease)
        return left.has_prerelease ? -1 : 1;
    if (!left.has_prerelease)
        return 0;
    const size_t shorter = std::min(left.prerelease.size(), right.prerelease.size());
    for (size_t i = 0; i < shorter; ++i) {
        const auto x = static_cast<unsigned char>(left.prerelease[i]);
        const auto y = static_cast<unsigned char>(right.prerelease[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return sign_of(static_cast<int>(left.prerelease.size() > right.prerelease.size()) -
                   static_cast<int>(left.prerelease.size() < right.prerelease.size()));
}

}  // namespace tw::app
