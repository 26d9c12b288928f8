#pragma once
// The name the Installer compares with the publisher: the common name attribute of the signing
// certificate (CertGetNameStringW with CERT_NAME_ATTR_TYPE and szOID_COMMON_NAME), never the
// organisation, unit or e-mail address the simple display name falls back to.

#include <openssl/x509.h>

#include <string>
#include <string_view>

namespace tw::tool {

// The first common name of the subject; a certificate without a subject is read through the
// first directory name among its alternative names. UTF-8; empty when there is none, and a
// certificate without a common name is nobody's.
std::string common_name(const X509* certificate);

// The common name of the primary signer's certificate in a DER-encoded PKCS #7 signature; empty
// when the signature does not hold that certificate.
std::string signer_common_name(std::string_view pkcs7_der);

}  // namespace tw::tool
