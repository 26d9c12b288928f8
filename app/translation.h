#pragma once
// The window's words in the user's language. The model, the workers and the support log hold
// sentences (app/sentence.h); the window shows each through `shown`, which takes the text's
// translation by its id and puts the sentence's values into the translation's own order. A size
// is written in the language's unit and decimal separator as it is shown.

#include "app/languages.h"
#include "app/sentence.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tw::app {

// Once, before the window is made and before any worker starts.
void use_language(const Language& language);
const Language& shown_language();

std::wstring shown(const Sentence& sentence, const Language& language);
inline std::wstring shown(const Sentence& sentence) { return shown(sentence, shown_language()); }
// What the support log writes: support reads English.
std::wstring in_english(const Sentence& sentence);

// A download's size in the language's unit and decimal separator ("12.5 MB", "12,5 Mo").
std::wstring shown_size(std::uint64_t size_bytes, const Language& language);

// The texts of one catalogue in the template's order, with {name} placeholders (the fit test
// measures every one of them).
std::size_t text_count();
std::wstring_view catalogue_text(const Language& language, std::size_t index);
std::string_view text_id(std::size_t index);

}  // namespace tw::app
