#pragma once
// The text tables cmake/l10n_tables.py compiles from l10n/: one catalogue a language, each with
// every text in the template's order, English first.

#include "app/text_ids.h"

namespace tw::app::l10n {

struct Catalogue {
    const char* tag;
    const wchar_t* const* texts;  // text_count of them
};

extern const char* const text_ids[];
extern const Catalogue catalogues[];

}  // namespace tw::app::l10n
