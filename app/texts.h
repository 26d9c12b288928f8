#pragma once
// Every sentence the window shows, in one place. The English of each is in l10n/texts.pot, which
// the build turns into app/text_ids.h: a text without values is its constant there, such as
// text::install_cancelled; a text with values is made here from them. Texts that name the site
// take its host.

#include "app/sentence.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tw::app::text {

// A name, the same in every language.
inline constexpr wchar_t brand[] = L"Tarnwick";

// The template's names for these differ from the names the code grew up with.
inline constexpr TextId install_already_running = TextId::another_install_running;

inline Sentence with_host(TextId id, std::wstring_view host)
{
    return {id, {.host = std::wstring(host)}};
}

inline Sentence out_of_date_download(std::wstring_view host) { return with_host(TextId::out_of_date_download, host); }
inline Sentence agreement_required(std::wstring_view host) { return with_host(TextId::agreement_required, host); }
inline Sentence check_failed(std::wstring_view host) { return with_host(TextId::check_failed, host); }
inline Sentence staging_unsafe(std::wstring_view host) { return with_host(TextId::unsafe_temporary_folder, host); }
inline Sentence installer_not_started(std::wstring_view host)
{
    return with_host(TextId::installer_not_started, host);
}
inline Sentence approve_on_site(std::wstring_view host) { return with_host(TextId::approve_on_site, host); }

inline Sentence not_enough_space(std::wstring_view volume, std::uint64_t size_bytes)
{
    return {TextId::not_enough_space, {.volume = std::wstring(volume), .size_bytes = size_bytes}};
}
inline Sentence install_unfinished(std::uint32_t code, std::wstring_view host)
{
    return {TextId::install_unfinished, {.host = std::wstring(host), .code = code}};
}

// `label` is the product's name and the build's version.
inline Sentence installed(std::wstring_view label)
{
    return {TextId::installed_suffix, {.label = std::wstring(label)}};
}
// Windows' own codes for a setup that succeeded and needs a restart, or started one.
inline Sentence installed_restart_needed(std::wstring_view label)
{
    return {TextId::installed_restart_needed, {.label = std::wstring(label)}};
}
inline Sentence installed_restarting(std::wstring_view label)
{
    return {TextId::installed_restarting, {.label = std::wstring(label)}};
}

}  // namespace tw::app::text
