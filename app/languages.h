#pragma once
// The languages the Installer speaks and which one a user gets. The display languages are read in
// the user's order; each is tried as it is, then by its parents; Chinese goes by script.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw::app {

enum class Direction { left_to_right, right_to_left };

// Which system font draws the script where Segoe UI has no glyphs for it.
enum class Script { latin, japanese, korean, chinese_simplified, chinese_traditional, arabic, hebrew };

struct Language {
    std::string_view tag;
    Direction direction;
    wchar_t decimal_separator;
    Script script;
};

// Every language offered, English first.
const std::vector<Language>& offered_languages();
const Language& english();

// The offered language a BCP 47 tag asks for, through its parents (fr-CA gives fr, pt-PT gives
// pt-BR); Chinese by script, then by region. Case and '_' for '-' do not matter.
std::optional<Language> language_for_tag(std::string_view tag);

// The first of the user's display languages that is offered, else English; `forced` (from
// --lang) stands in for the whole list.
Language choose_language(const std::vector<std::string>& preferred, const std::optional<std::string>& forced);

// The TAG of the last --lang=TAG among the command line's arguments.
std::optional<std::string> forced_language(const std::vector<std::string>& arguments);

}  // namespace tw::app
