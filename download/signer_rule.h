#pragma once
// Whose signature a download must carry: exactly the catalog's publisher, letter case included.
// The Installer judges the name it reads as UTF-16; tools that read it as UTF-8 judge it here too,
// and the same name compares equal either way.

#include <string_view>

namespace tw::download {

enum class SignerVerdict { unreadable, publisher, someone_else };

template <class Char>
SignerVerdict judge_signer_name(std::basic_string_view<Char> signer, std::basic_string_view<Char> publisher)
{
    if (signer.empty())
        return SignerVerdict::unreadable;
    // A certificate name may hold a NUL, and code that stops reading there sees another name
    // than the certificate carries: such a name is nobody's.
    if (signer.find(Char{}) != std::basic_string_view<Char>::npos)
        return SignerVerdict::someone_else;
    return signer == publisher ? SignerVerdict::publisher : SignerVerdict::someone_else;
}

}  // namespace tw::download
