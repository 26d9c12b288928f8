#pragma once
// The window's words in the user's language. The model, the workers and the support log keep the
// English of app/texts.h; the window shows each sentence through `shown`, which looks the English
// up as gettext does (the English is the msgid) and puts the sentence's values, such as a host or
// a product's name and version, into the translation's own order. A sentence that no catalogue
// knows, such as one the site wrote, is shown as it came.

#include "app/languages.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tw::app {

// Once, before the window is made and before any worker starts.
void use_language(const Language& language);
const Language& shown_language();

std::wstring shown(std::wstring_view english, const Language& language);
inline std::wstring shown(std::wstring_view english) { return shown(english, shown_language()); }

// A download's size in the language's unit and decimal separator ("12.5 MB", "12,5 Mo").
std::wstring shown_size(std::uint64_t size_bytes, const Language& language);

// The texts of one catalogue in the template's order, with {name} placeholders (the fit test
// measures every one of them).
std::size_t text_count();
std::wstring_view catalogue_text(const Language& language, std::size_t index);
std::string_view text_id(std::size_t index);

}  // namespace tw::app
