#include "app/product_hint.h"

#include "download/file_names.h"

namespace tw::app {
namespace {

constexpr std::wstring_view hint_prefix = L"tarnwickinstaller-";

wchar_t ascii_lower(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool is_ascii_alnum(unsigned c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool has_hint_prefix(std::wstring_view name)
{
    if (name.size() <= hint_prefix.size())
        return false;
    for (size_t i = 0; i < hint_prefix.size(); ++i) {
        if (ascii_lower(name[i]) != hint_prefix[i])
            return false;
    }
    return true;
}

std::wstring_view product_part_of(std::wstring_view name)
{
    std::wstring_view rest = name.substr(hint_prefix.size());
    if (const auto dot = rest.rfind(L'.'); dot != std::wstring_view::npos)
        rest = rest.substr(0, dot);
    // A browser's duplicate download is "name (1).exe": the counter is not part of the product.
    if (rest.size() >= 2) {
        if (const auto counter = rest.find(L" ("); counter != std::wstring_view::npos)
            rest = rest.substr(0, counter);
    }
    return rest;
}

}  // namespace

std::string normalize_product_key(std::string_view text)
{
    std::string key;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (is_ascii_alnum(byte))
            key.push_back(static_cast<char>(ascii_lower(static_cast<wchar_t>(byte))));
    }
    return key;
}

std::string product_hint_from_path(std::wstring_view path)
{
    const std::wstring_view name = download::file_name_of(path);
    if (!has_hint_prefix(name))
        return {};
    std::string ascii;
    for (const wchar_t c : product_part_of(name)) {
        if (static_cast<unsigned long>(c) < 0x80)
            ascii.push_back(static_cast<char>(c));
    }
    return normalize_product_key(ascii);
}

}  // namespace tw::app
