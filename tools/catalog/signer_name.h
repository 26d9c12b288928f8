#pragma once
// The name Windows shows for a signer: the simple display name of the signing certificate
// (CERT_NAME_SIMPLE_DISPLAY_TYPE), which is what the Installer compares with the publisher.

#include <openssl/x509.h>

#include <string>
#include <string_view>

namespace tw::tool {

// The first common name of the subject; failing that its first organisational unit, then
// organisation, then e-mail address attribute; then the first e-mail address of the subject
// alternative names; then the subject's first attribute of any kind. A certificate without a
// subject is read through the first directory name among its alternative names. UTF-8; empty
// when nothing is found.
std::string simple_display_name(const X509* certificate);

// The simple display name of the primary signer's certificate in a DER-encoded PKCS #7
// signature; empty when the signature does not hold that certificate.
std::string signer_display_name(std::string_view pkcs7_der);

}  // namespace tw::tool
