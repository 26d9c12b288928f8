#include "app/languages.h"

#include <array>
#include <cctype>
#include <utility>

namespace tw::app {
namespace {

using D = Direction;
using S = Script;

const std::vector<Language> languages = {
    {"en", D::left_to_right, L'.', S::latin},
    {"de", D::left_to_right, L',', S::latin},
    {"fr", D::left_to_right, L',', S::latin},
    {"es", D::left_to_right, L',', S::latin},
    {"it", D::left_to_right, L',', S::latin},
    {"pt-BR", D::left_to_right, L',', S::latin},
    {"nl", D::left_to_right, L',', S::latin},
    {"pl", D::left_to_right, L',', S::latin},
    {"ru", D::left_to_right, L',', S::latin},
    {"tr", D::left_to_right, L',', S::latin},
    {"ja", D::left_to_right, L'.', S::japanese},
    {"ko", D::left_to_right, L'.', S::korean},
    {"zh-Hans", D::left_to_right, L'.', S::chinese_simplified},
    {"zh-Hant", D::left_to_right, L'.', S::chinese_traditional},
    {"ar", D::right_to_left, L'.', S::arabic},
    {"he", D::right_to_left, L'.', S::hebrew},
    {"qps-ploc", D::left_to_right, L',', S::latin},
    {"qps-plocm", D::right_to_left, L',', S::latin},
};

// Tags, lower case, that name an offered language other than by its own tag. Bare "zh" is
// Simplified, as Windows' own neutral Chinese is.
constexpr std::array<std::pair<std::string_view, std::string_view>, 10> aliases = {{
    {"pt", "pt-BR"},
    {"zh", "zh-Hans"},
    {"zh-cn", "zh-Hans"},
    {"zh-sg", "zh-Hans"},
    {"zh-my", "zh-Hans"},
    {"zh-tw", "zh-Hant"},
    {"zh-hk", "zh-Hant"},
    {"zh-mo", "zh-Hant"},
    {"iw", "he"},
    {"qps-mirror", "qps-plocm"},
}};

std::string normalised(std::string_view tag)
{
    std::string out;
    for (const char c : tag)
        out.push_back(c == '_' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    // A POSIX locale's codeset or modifier (de_DE.UTF-8, sr_RS@latin) is no part of the tag.
    const std::size_t end = out.find_first_of(".@");
    if (end != std::string::npos)
        out.erase(end);
    return out;
}

std::optional<Language> exact(std::string_view lower)
{
    for (const Language& language : languages) {
        if (normalised(language.tag) == lower)
            return language;
    }
    for (const auto& [alias, tag] : aliases) {
        if (alias == lower)
            return exact(normalised(tag));
    }
    return std::nullopt;
}

}  // namespace

const std::vector<Language>& offered_languages() { return languages; }

const Language& english() { return languages.front(); }

std::optional<Language> language_for_tag(std::string_view tag)
{
    // Parents drop the last subtag, so zh-Hant-HK meets its script (zh-Hant) before bare zh.
    std::string lower = normalised(tag);
    while (!lower.empty()) {
        if (const auto found = exact(lower))
            return found;
        const std::size_t dash = lower.rfind('-');
        if (dash == std::string::npos)
            break;
        lower.erase(dash);
    }
    return std::nullopt;
}

Language choose_language(const std::vector<std::string>& preferred, const std::optional<std::string>& forced)
{
    if (forced)
        return language_for_tag(*forced).value_or(english());
    for (const std::string& tag : preferred) {
        if (const auto found = language_for_tag(tag))
            return *found;
    }
    return english();
}

std::optional<std::string> forced_language(const std::vector<std::string>& arguments)
{
    constexpr std::string_view option = "--lang=";
    std::optional<std::string> tag;
    for (const std::string& argument : arguments) {
        if (argument.rfind(option, 0) == 0)
            tag = argument.substr(option.size());
    }
    return tag;
}

}  // namespace tw::app
