#pragma once
// The language this run shows: --lang=TAG on the command line, else the user's display languages
// (never the regional format), else English.

#include "app/languages.h"

namespace tw::app {

Language display_language();

}  // namespace tw::app
