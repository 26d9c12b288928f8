#include "tools/catalog/signer_name.h"

#include <openssl/pkcs7.h>
#include <openssl/x509v3.h>

#include <memory>
#include <optional>

namespace tw::tool {
namespace {

struct FreeOpenSsl {
    void operator()(unsigned char* bytes) const { OPENSSL_free(bytes); }
};
struct FreeGeneralNames {
    void operator()(GENERAL_NAMES* names) const { GENERAL_NAMES_free(names); }
};
struct FreePkcs7 {
    void operator()(PKCS7* signature) const { PKCS7_free(signature); }
};
// The stack PKCS7_get0_signers returns; the certificates in it belong to the signature.
struct FreeSignerStack {
    void operator()(STACK_OF(X509)* signers) const { sk_X509_free(signers); }
};

using GeneralNames = std::unique_ptr<GENERAL_NAMES, FreeGeneralNames>;

std::string utf8_text(const ASN1_STRING* value)
{
    unsigned char* converted = nullptr;
    const int length = ASN1_STRING_to_UTF8(&converted, value);
    if (length < 0)
        return {};
    const std::unique_ptr<unsigned char, FreeOpenSsl> owned(converted);
    return std::string(reinterpret_cast<const char*>(converted), static_cast<std::size_t>(length));
}

std::optional<std::string> first_attribute(const X509_NAME* name, int nid)
{
    const int index = X509_NAME_get_index_by_NID(name, nid, -1);
    if (index < 0)
        return std::nullopt;
    return utf8_text(X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, index)));
}

// The first alternative name of one kind, or null.
const GENERAL_NAME* first_alternative(const GENERAL_NAMES* names, int type)
{
    for (int i = 0; names != nullptr && i < sk_GENERAL_NAME_num(names); ++i) {
        const GENERAL_NAME* name = sk_GENERAL_NAME_value(names, i);
        if (name->type == type)
            return name;
    }
    return nullptr;
}

const X509_NAME* name_to_search(const X509* certificate, const GENERAL_NAMES* alternatives)
{
    const X509_NAME* subject = X509_get_subject_name(certificate);
    if (X509_NAME_entry_count(subject) > 0)
        return subject;
    const GENERAL_NAME* directory = first_alternative(alternatives, GEN_DIRNAME);
    return directory != nullptr ? directory->d.directoryName : subject;
}

}  // namespace

std::string common_name(const X509* certificate)
{
    const GeneralNames alternatives(
        static_cast<GENERAL_NAMES*>(X509_get_ext_d2i(certificate, NID_subject_alt_name, nullptr, nullptr)));
    return first_attribute(name_to_search(certificate, alternatives.get()), NID_commonName).value_or("");
}

std::string signer_common_name(std::string_view pkcs7_der)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(pkcs7_der.data());
    const std::unique_ptr<PKCS7, FreePkcs7> signature(d2i_PKCS7(nullptr, &bytes, static_cast<long>(pkcs7_der.size())));
    if (!signature || !PKCS7_type_is_signed(signature.get()))
        return {};
    const std::unique_ptr<STACK_OF(X509), FreeSignerStack> signers(PKCS7_get0_signers(signature.get(), nullptr, 0));
    if (!signers || sk_X509_num(signers.get()) < 1)
        return {};
    return common_name(sk_X509_value(signers.get(), 0));
}

}  // namespace tw::tool
