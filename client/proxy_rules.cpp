#include "client/proxy_rules.h"


namespace tw::client {
namespace {

bool is_separator(wchar_t c)
{
    return c == L';' || c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

wchar_t lower(wchar_t c)
{
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// Iterative match with one backtracking point for the last "*": bounded by |pattern| * |text|.
bool glob_matches(std::wstring_view pattern, std::wstring_view text)
{
    std::size_t p = 0, t = 0, star = std::wstring_view::npos, resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == L'*') {
            star = p++;
            resume = t;
        } else if (p < pattern.size() && lower(pattern[p]) == lower(text[t])) {
            ++p;
            ++t;
        } else if (star != std::wstring_view::npos) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*')
        ++p;
    return p == pattern.size();
}

template <class Visit>
bool any_entry(std::wstring_view list, Visit visit)
{
    std::size_t at = 0;
    while (at < list.size()) {
        while (at < list.size() && is_separator(list[at]))
            ++at;
        std::size_t end = at;
        while (end < list.size() && !is_separator(list[end]))
            ++end;
        if (end > at && visit(list.substr(at, end - at)))
            return true;
        at = end;
    }
    return false;
}

bool bypassed(std::wstring_view bypass, std::wstring_view host)
{
    return any_entry(bypass, [host](std::wstring_view entry) {
        if (entry == L"<local>")
            return host.find(L'.') == std::wstring_view::npos;
        return glob_matches(entry, host);
    });
}

}  // namespace

bool proxy_named_for_host(std::wstring_view proxies, std::wstring_view bypass, std::wstring_view host)
{
    const bool named = any_entry(proxies, [](std::wstring_view entry) {
        const auto equals = entry.find(L'=');
        return equals == std::wstring_view::npos || equals + 1 < entry.size();
    });
    return named && !host.empty() && !bypassed(bypass, host);
}

}  // namespace tw::client
