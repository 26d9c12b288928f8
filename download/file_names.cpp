#include "download/file_names.h"

namespace tw::download {
namespace {

constexpr std::wstring_view refused_characters = L"<>:\"/\\|?*";
constexpr std::wstring_view path_separators = L"\\/";

// Long enough for any real setup program's name, short enough that the staging folder and the
// name stay well inside MAX_PATH, which ShellExecuteEx and CreateFile still keep to.
constexpr std::size_t longest_name = 128;
constexpr std::size_t longest_extension = 16;

bool is_refused(wchar_t unit)
{
    return unit < 0x20 || refused_characters.find(unit) != std::wstring_view::npos;
}

wchar_t upper_ascii(wchar_t unit)
{
    return unit >= L'a' && unit <= L'z' ? static_cast<wchar_t>(unit - L'a' + L'A') : unit;
}

// CON, PRN, AUX, NUL, COM1 to COM9 and LPT1 to LPT9 (also with 0 or a superscript digit) name
// devices whatever extension follows and whatever spaces end the stem: a download saved under
// one would be written into the device.
bool is_device_name(std::wstring_view name)
{
    std::wstring_view stem = name.substr(0, name.find(L'.'));
    while (!stem.empty() && stem.back() == L' ')
        stem.remove_suffix(1);
    std::wstring upper;
    for (const wchar_t unit : stem)
        upper.push_back(upper_ascii(unit));
    if (upper == L"CON" || upper == L"PRN" || upper == L"AUX" || upper == L"NUL")
        return true;
    if (upper.size() != 4 || !(upper.starts_with(L"COM") || upper.starts_with(L"LPT")))
        return false;
    const wchar_t digit = upper[3];
    return (digit >= L'0' && digit <= L'9') || digit == L'\u00b9' || digit == L'\u00b2' || digit == L'\u00b3';
}

// Keeps the start of a name that is too long, and its extension.
std::wstring shortened(const std::wstring& name)
{
    if (name.size() <= longest_name)
        return name;
    const auto dot = name.rfind(L'.');
    const std::wstring extension =
        dot != std::wstring::npos && name.size() - dot <= longest_extension ? name.substr(dot) : std::wstring();
    std::wstring head = name.substr(0, longest_name - extension.size());
    if (!head.empty() && head.back() >= 0xD800 && head.back() <= 0xDBFF)
        head.pop_back();  // half of a surrogate pair
    return head + extension;
}

}  // namespace

std::wstring sanitise_file_name(std::wstring_view name)
{
    std::wstring safe;
    safe.reserve(name.size());
    for (const wchar_t unit : name) {
        if (!is_refused(unit))
            safe.push_back(unit);
    }
    if (safe.empty() || safe == L"." || safe == L"..")
        return L"installer.exe";
    if (is_device_name(safe))
        safe.insert(0, 1, L'_');
    return shortened(safe);
}

std::wstring_view file_name_of(std::wstring_view path)
{
    const auto last = path.find_last_of(path_separators);
    return last == std::wstring_view::npos ? path : path.substr(last + 1);
}

std::wstring parent_folder(std::wstring_view path)
{
    const auto last = path.find_last_of(path_separators);
    if (last == std::wstring_view::npos)
        return {};
    const auto end = path.find_last_not_of(path_separators, last);
    return std::wstring(path.substr(0, end == std::wstring_view::npos ? 0 : end + 1));
}

std::wstring join_path(std::wstring_view folder, std::wstring_view name)
{
    std::wstring joined(folder);
    if (!joined.empty() && path_separators.find(joined.back()) == std::wstring_view::npos)
        joined.push_back(L'\\');
    joined.append(name);
    return joined;
}

}  // namespace tw::download
