#include "download/file_names.h"

namespace tw::download {
namespace {

constexpr std::wstring_view kRefused = L"<>:\"/\\|?*";
constexpr std::wstring_view kSeparators = L"\\/";

bool is_refused(wchar_t unit)
{
    return unit < 0x20 || kRefused.find(unit) != std::wstring_view::npos;
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
    return safe;
}

std::wstring parent_folder(std::wstring_view path)
{
    const auto last = path.find_last_of(kSeparators);
    if (last == std::wstring_view::npos)
        return {};
    const auto end = path.find_last_not_of(kSeparators, last);
    return std::wstring(path.substr(0, end == std::wstring_view::npos ? 0 : end + 1));
}

std::wstring join_path(std::wstring_view folder, std::wstring_view name)
{
    std::wstring joined(folder);
    if (!joined.empty() && kSeparators.find(joined.back()) == std::wstring_view::npos)
        joined.push_back(L'\\');
    joined.append(name);
    return joined;
}

}  // namespace tw::download
