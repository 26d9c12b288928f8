#pragma once
// A text of the window as the model, the workers and the support log hold it: which text it is
// and the values it names. Its words are made only when it is shown, in the language it is shown
// in, so nothing ever reads a value back out of a sentence's words (a product called "X is
// installed. Restart Windows" is a name, not a sentence).

#include "app/text_ids.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tw::app {

// The values a text's {placeholders} name; each text uses the few it names.
struct SentenceValues {
    std::wstring host{};    // {host}: the site's host, as the window was built for it
    std::wstring label{};   // {label}: a product's name and a build's version, as the catalog wrote them
    std::wstring volume{};  // {volume}: such as "C:\\"
    std::uint64_t size_bytes = 0;  // {size}: formatted in the language's unit and separator when shown
    std::uint32_t code = 0;        // {code}: a setup's exit code
    friend bool operator==(const SentenceValues&, const SentenceValues&) = default;
};

struct Sentence {
    Sentence() = default;  // nothing to say: an empty line
    Sentence(TextId text) : id(text) {}  // NOLINT: a text without values is its sentence
    Sentence(TextId text, SentenceValues named) : id(text), values(std::move(named)) {}

    bool empty() const { return !id; }

    std::optional<TextId> id;
    SentenceValues values;
    friend bool operator==(const Sentence&, const Sentence&) = default;
};

}  // namespace tw::app
