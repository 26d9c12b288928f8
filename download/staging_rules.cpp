#include "download/staging_rules.h"

#include "download/file_names.h"

#include <algorithm>
#include <string>

namespace tw::download {
namespace {

constexpr std::wstring_view local_prefix = L"\\\\?\\";
constexpr std::wstring_view unc_prefix = L"\\\\?\\UNC\\";

// The form a plain path has: "C:\..." or "\\server\share\...".
std::wstring without_prefix(std::wstring_view path)
{
    if (path.substr(0, unc_prefix.size()) == unc_prefix)
        return L"\\\\" + std::wstring(path.substr(unc_prefix.size()));
    if (path.substr(0, local_prefix.size()) == local_prefix)
        return std::wstring(path.substr(local_prefix.size()));
    return std::wstring(path);
}

// Upper case for the letters of Basic Latin and Latin-1, where a temporary folder's user name
// mostly lies; other letters must match as they are, which at worst refuses a run.
wchar_t folded(wchar_t c)
{
    if ((c >= L'a' && c <= L'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return static_cast<wchar_t>(c - 0x20);
    return c == L'/' ? L'\\' : c;
}

// The name Windows gives a file created under `path`'s last component.
std::wstring as_created(std::wstring_view path)
{
    const std::wstring_view name = file_name_of(path);
    const auto end = name.find_last_not_of(L". ");
    const std::size_t kept = end == std::wstring_view::npos ? 0 : end + 1;
    return std::wstring(path.substr(0, path.size() - name.size() + kept));
}

}  // namespace

StagingVerdict judge_staging_folder(bool reparse_point, FolderOwner parent_owner)
{
    if (reparse_point)
        return StagingVerdict::reparse_point;
    switch (parent_owner) {
    case FolderOwner::current_user:
    case FolderOwner::administrators:
    case FolderOwner::local_system:
        return StagingVerdict::fit;
    case FolderOwner::someone_else:
    case FolderOwner::unknown:
        break;
    }
    return StagingVerdict::foreign_owner;
}

bool is_staged_path(std::wstring_view final_path, std::wstring_view staged_path)
{
    const std::wstring final_plain = without_prefix(final_path);
    const std::wstring staged = as_created(without_prefix(staged_path));
    return !staged.empty() && final_plain.size() == staged.size() &&
           std::equal(final_plain.begin(), final_plain.end(), staged.begin(),
                      [](wchar_t a, wchar_t b) { return folded(a) == folded(b); });
}

}  // namespace tw::download
