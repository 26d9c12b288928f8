#pragma once
// A file's Authenticode signature, read by osslsigncode: whether there is one, whether it holds,
// and who signed it.

#include <filesystem>
#include <string>

namespace tw::tool {

enum class SignatureState {
    unchecked,  // osslsigncode could not be run or did not finish: nothing is known
    not_signed,
    not_valid,
    valid,
};

struct SignatureReading {
    SignatureState state = SignatureState::unchecked;
    std::string signer;  // the common name; also read from a signature that does not hold
    std::string detail;  // osslsigncode's own words when it refused the file, or why it did not run
};

// `trust_file` holds the certificates to trust (PEM); empty leaves osslsigncode its default
// bundle. Revocation is not looked up: the Installer does not look either.
SignatureReading read_signature(const std::filesystem::path& file, const std::string& trust_file);

}  // namespace tw::tool
