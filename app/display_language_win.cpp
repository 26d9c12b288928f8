#include "app/display_language_win.h"

#include "client/text_win.h"

#include <windows.h>
#include <cstdlib>

#include <string>
#include <vector>

namespace tw::app {
namespace {

// The display languages in the user's order, as MUI names (de-DE, zh-Hant-TW).
std::vector<std::string> preferred_ui_languages()
{
    ULONG count = 0;
    ULONG length = 0;
    if (!GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, nullptr, &length) || length == 0)
        return {};
    std::wstring buffer(length, L'\0');
    if (!GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, buffer.data(), &length))
        return {};
    // A multi-string: names ended by a null each, the list by another.
    std::vector<std::string> tags;
    for (std::size_t start = 0; start < buffer.size() && buffer[start] != L'\0';) {
        const std::size_t end = buffer.find(L'\0', start);
        tags.push_back(client::platform::narrow(std::wstring_view(buffer).substr(start, end - start)));
        start = end + 1;
    }
    return tags;
}

// As the C runtime split the command line before wWinMain: CommandLineToArgvW would load the
// shell, the largest library the start would otherwise need, while the catalog request is on its way.
std::vector<std::string> command_line_arguments()
{
    std::vector<std::string> arguments;
    if (!__wargv)
        return arguments;
    for (int i = 0; i < __argc; ++i)
        arguments.push_back(client::platform::narrow(__wargv[i]));
    return arguments;
}

}  // namespace

Language display_language()
{
    return choose_language(preferred_ui_languages(), forced_language(command_line_arguments()));
}

}  // namespace tw::app
