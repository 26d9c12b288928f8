#include "app/translation.h"

#include "app/l10n_data.h"

#include <atomic>
#include <cstdio>
#include <map>
#include <optional>
#include <vector>

namespace tw::app {
namespace {

// A text split at its placeholders: literals[0] name[0] literals[1] ... literals[n].
struct Pattern {
    std::vector<std::wstring_view> literals;
    std::vector<std::wstring_view> names;
    std::size_t literal_length = 0;
};

Pattern split(std::wstring_view text)
{
    Pattern pattern;
    std::size_t start = 0;
    for (std::size_t open = text.find(L'{'); open != std::wstring_view::npos; open = text.find(L'{', start)) {
        const std::size_t close = text.find(L'}', open);
        if (close == std::wstring_view::npos)
            break;
        pattern.literals.push_back(text.substr(start, open - start));
        pattern.names.push_back(text.substr(open, close + 1 - open));
        start = close + 1;
    }
    pattern.literals.push_back(text.substr(start));
    for (const std::wstring_view literal : pattern.literals)
        pattern.literal_length += literal.size();
    return pattern;
}

const std::vector<Pattern>& english_patterns()
{
    static const std::vector<Pattern> patterns = [] {
        std::vector<Pattern> all;
        for (std::size_t i = 0; i < l10n::text_count; ++i) {
            // A unit is no sentence: "{size} MB" would take any line that ends in " MB".
            const bool unit = std::string_view(l10n::text_ids[i]).starts_with("size_");
            all.push_back(unit ? Pattern{{L"\x1f"}, {}, 0} : split(l10n::catalogues[0].texts[i]));
        }
        return all;
    }();
    return patterns;
}

using Values = std::map<std::wstring_view, std::wstring>;

std::optional<Values> match(const Pattern& pattern, std::wstring_view sentence)
{
    if (pattern.names.empty())
        return pattern.literals.front() == sentence ? std::optional<Values>(Values{}) : std::nullopt;
    const std::wstring_view first = pattern.literals.front();
    const std::wstring_view last = pattern.literals.back();
    if (sentence.size() < first.size() + last.size() || sentence.substr(0, first.size()) != first ||
        sentence.substr(sentence.size() - last.size()) != last)
        return std::nullopt;
    const std::size_t end = sentence.size() - last.size();
    std::size_t at = first.size();
    Values values;
    for (std::size_t i = 0; i < pattern.names.size(); ++i) {
        std::size_t next = end;
        if (i + 1 < pattern.names.size()) {
            next = sentence.find(pattern.literals[i + 1], at);
            if (next == std::wstring_view::npos || next > end)
                return std::nullopt;
        }
        values[pattern.names[i]] = std::wstring(sentence.substr(at, next - at));
        at = next + pattern.literals[i + 1].size();
    }
    return values;
}

std::size_t catalogue_index(const Language& language)
{
    for (std::size_t i = 0; i < l10n::catalogue_count; ++i) {
        if (language.tag == l10n::catalogues[i].tag)
            return i;
    }
    return 0;
}

std::wstring fill(std::wstring_view translation, const Values& values)
{
    const Pattern pattern = split(translation);
    std::wstring out(pattern.literals.front());
    for (std::size_t i = 0; i < pattern.names.size(); ++i) {
        const auto value = values.find(pattern.names[i]);
        out += value == values.end() ? std::wstring(pattern.names[i]) : value->second;
        out += pattern.literals[i + 1];
    }
    return out;
}

std::size_t index_of(std::string_view id)
{
    for (std::size_t i = 0; i < l10n::text_count; ++i) {
        if (id == l10n::text_ids[i])
            return i;
    }
    return 0;
}

std::wstring in_unit(std::wstring number, std::string_view unit_id, const Language& language)
{
    for (wchar_t& c : number) {
        if (c == L'.')
            c = language.decimal_separator;
    }
    return fill(catalogue_text(language, index_of(unit_id)), {{L"{size}", number}});
}

// A size the English sentence holds as size_text wrote it ("12.5 MB", "840 KB"), in the language.
std::wstring shown_size_value(const std::wstring& english_size, const Language& language)
{
    for (const auto& [unit, id] : {std::pair{std::wstring_view(L" MB"), "size_megabytes"},
                                   std::pair{std::wstring_view(L" KB"), "size_kilobytes"}}) {
        if (english_size.size() > unit.size() && english_size.ends_with(unit))
            return in_unit(english_size.substr(0, english_size.size() - unit.size()), id, language);
    }
    return english_size;
}

std::atomic<const Language*> active{nullptr};

}  // namespace

void use_language(const Language& language)
{
    static Language chosen;
    chosen = language;
    active.store(&chosen);
}

const Language& shown_language()
{
    const Language* language = active.load();
    return language ? *language : english();
}

std::wstring shown(std::wstring_view english_text, const Language& language)
{
    const std::size_t catalogue = catalogue_index(language);
    if (catalogue == 0)
        return std::wstring(english_text);
    const std::vector<Pattern>& patterns = english_patterns();
    // The match that explains most of the sentence wins: "X is installed. Restart Windows to
    // finish." is not "{label} is installed." with a longer label.
    std::optional<std::size_t> best;
    Values best_values;
    for (std::size_t i = 0; i < patterns.size(); ++i) {
        if (best && patterns[i].literal_length <= patterns[*best].literal_length)
            continue;
        if (auto values = match(patterns[i], english_text)) {
            best = i;
            best_values = std::move(*values);
        }
    }
    if (!best)
        return std::wstring(english_text);
    if (const auto size = best_values.find(L"{size}"); size != best_values.end())
        size->second = shown_size_value(size->second, language);
    return fill(l10n::catalogues[catalogue].texts[*best], best_values);
}

std::wstring shown_size(std::uint64_t size_bytes, const Language& language)
{
    // As size_text: a negative document value wraps to a huge one and shows nothing.
    const auto size = static_cast<std::int64_t>(size_bytes);
    char number[32] = {};
    if (size >= 1'048'576) {
        std::snprintf(number, sizeof number, "%.1f", static_cast<double>(size) / 1'048'576.0);
        return in_unit(std::wstring(number, number + std::char_traits<char>::length(number)), "size_megabytes",
                       language);
    }
    if (size >= 1) {
        std::snprintf(number, sizeof number, "%lld", static_cast<long long>((size + 1023) / 1024));
        return in_unit(std::wstring(number, number + std::char_traits<char>::length(number)), "size_kilobytes",
                       language);
    }
    return {};
}

std::size_t text_count() { return l10n::text_count; }

std::wstring_view catalogue_text(const Language& language, std::size_t index)
{
    return l10n::catalogues[catalogue_index(language)].texts[index];
}

std::string_view text_id(std::size_t index) { return l10n::text_ids[index]; }

}  // namespace tw::app
