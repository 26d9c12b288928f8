#include "app/translation.h"

#include "app/l10n_data.h"

#include <atomic>
#include <cstdio>

namespace tw::app {
namespace {

std::size_t catalogue_index(const Language& language)
{
    for (std::size_t i = 0; i < l10n::catalogue_count; ++i) {
        if (language.tag == l10n::catalogues[i].tag)
            return i;
    }
    return 0;
}

std::wstring_view translation(TextId id, const Language& language)
{
    return l10n::catalogues[catalogue_index(language)].texts[static_cast<std::size_t>(id)];
}

std::wstring value_of(std::wstring_view placeholder, const SentenceValues& values, const Language& language)
{
    if (placeholder == L"{host}")
        return values.host;
    if (placeholder == L"{label}")
        return values.label;
    if (placeholder == L"{volume}")
        return values.volume;
    if (placeholder == L"{size}")
        return shown_size(values.size_bytes, language);
    if (placeholder == L"{code}")
        return std::to_wstring(values.code);
    // The build lets no other name into a template, so this is never shown.
    return std::wstring(placeholder);
}

// Each {name} of the text in turn gets its value; a value's own braces are never read again.
std::wstring fill(std::wstring_view text, const SentenceValues& values, const Language& language)
{
    std::wstring out;
    std::size_t start = 0;
    for (std::size_t open = text.find(L'{'); open != std::wstring_view::npos; open = text.find(L'{', start)) {
        const std::size_t close = text.find(L'}', open);
        if (close == std::wstring_view::npos)
            break;
        out += text.substr(start, open - start);
        out += value_of(text.substr(open, close + 1 - open), values, language);
        start = close + 1;
    }
    out += text.substr(start);
    return out;
}

std::wstring in_unit(const char* number, TextId unit, const Language& language)
{
    std::wstring digits(number, number + std::char_traits<char>::length(number));
    for (wchar_t& c : digits) {
        if (c == L'.')
            c = language.decimal_separator;
    }
    const std::wstring_view text = translation(unit, language);
    const std::size_t at = text.find(L"{size}");
    return std::wstring(text.substr(0, at)) + digits + std::wstring(text.substr(at + 6));
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

std::wstring shown(const Sentence& sentence, const Language& language)
{
    if (sentence.empty())
        return {};
    return fill(translation(*sentence.id, language), sentence.values, language);
}

std::wstring in_english(const Sentence& sentence) { return shown(sentence, english()); }

std::wstring shown_size(std::uint64_t size_bytes, const Language& language)
{
    // sizeBytes is unsigned in the catalog, but a negative document value wraps to a huge one;
    // read as signed, such a size shows nothing.
    const auto size = static_cast<std::int64_t>(size_bytes);
    char number[32] = {};
    if (size >= 1'048'576) {
        std::snprintf(number, sizeof number, "%.1f", static_cast<double>(size) / 1'048'576.0);
        return in_unit(number, TextId::size_megabytes, language);
    }
    if (size >= 1) {
        std::snprintf(number, sizeof number, "%lld", static_cast<long long>((size + 1023) / 1024));
        return in_unit(number, TextId::size_kilobytes, language);
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
