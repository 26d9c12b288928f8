#include "download/checks_win.h"

#include "client/scoped_win.h"
#include "download/signer_rule.h"

#include <bcrypt.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <array>
#include <memory>
#include <new>
#include <utility>

namespace tw::download {
namespace {

using client::platform::AlgorithmHandle;
using client::platform::HashHandle;

constexpr DWORD piece_size = 1'048'576;
constexpr std::size_t digest_size = 32;

constexpr wchar_t not_signed[] = L"The installer is not signed.";
constexpr wchar_t not_valid[] = L"The installer's signature is not valid.";
constexpr wchar_t unreadable_message[] = L"The installer's signature could not be read.";

// One buffer for the whole file, so a large installer never sits in memory whole. A Close while a
// large file was hashed waited for its last piece; a piece takes a few milliseconds.
bool hash_file_contents(HANDLE file, const HashHandle& hash, const std::atomic<bool>* cancel)
{
    const std::unique_ptr<UCHAR[]> piece(new (std::nothrow) UCHAR[piece_size]);
    if (!piece)
        return false;
    for (;;) {
        if (cancel && cancel->load())
            return false;
        DWORD read = 0;
        if (!ReadFile(file, piece.get(), piece_size, &read, nullptr))
            return false;
        if (read == 0)
            return true;
        if (!BCRYPT_SUCCESS(BCryptHashData(hash.get(), piece.get(), read, 0)))
            return false;
    }
}

std::string to_hex(const std::array<UCHAR, digest_size>& digest)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(digest.size() * 2);
    for (const UCHAR byte : digest) {
        hex.push_back(digits[byte >> 4]);
        hex.push_back(digits[byte & 0x0F]);
    }
    return hex;
}

// Releases WinVerifyTrust's state whatever the verdict was; leaving it open leaks the parsed
// message and the chain.
class TrustState {
public:
    explicit TrustState(WINTRUST_DATA& data) : data_(data) {}
    ~TrustState()
    {
        data_.dwStateAction = WTD_STATEACTION_CLOSE;
        GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
        WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data_);
    }
    TrustState(const TrustState&) = delete;
    TrustState& operator=(const TrustState&) = delete;

private:
    WINTRUST_DATA& data_;
};

// The common name attribute itself. The simple display name falls back to the organisation, the
// unit or an e-mail address, which let a certificate without a common name, issued to an
// organisation called like the publisher, pass as the publisher.
// Read at its full length, NULs included: a name cut to a fixed buffer, or at a NUL inside it,
// would let a certificate whose name only begins with the publisher's pass as the publisher.
std::wstring common_name(PCCERT_CONTEXT certificate)
{
    auto* attribute = const_cast<char*>(szOID_COMMON_NAME);
    const DWORD needed = CertGetNameStringW(certificate, CERT_NAME_ATTR_TYPE, 0, attribute, nullptr, 0);
    if (needed <= 1)
        return {};
    std::wstring name(needed, L'\0');
    const DWORD copied = CertGetNameStringW(certificate, CERT_NAME_ATTR_TYPE, 0, attribute, name.data(), needed);
    if (copied <= 1 || copied > needed)
        return {};
    name.resize(copied - 1);  // the count includes the terminating NUL
    return name;
}

// The signing certificate is the first of the primary signer's chain.
std::wstring signer_name(HANDLE state)
{
    CRYPT_PROVIDER_DATA* provider = WTHelperProvDataFromStateData(state);
    if (!provider)
        return {};
    const CRYPT_PROVIDER_SGNR* signer = WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0);
    if (!signer || signer->csCertChain == 0 || !signer->pasCertChain || !signer->pasCertChain[0].pCert)
        return {};
    return common_name(signer->pasCertChain[0].pCert);
}

// The name found in the file first, the expected one second.
std::wstring mismatch_message(const std::wstring& signer, const std::wstring& publisher)
{
    return L"The installer is signed by \"" + signer + L"\", not \"" + publisher + L"\".";
}

SignatureCheck judge_signer(std::wstring signer, const std::wstring& publisher)
{
    SignatureCheck check;
    switch (judge_signer_name<wchar_t>(signer, publisher)) {
    case SignerVerdict::unreadable:
        check.message = unreadable_message;
        break;
    case SignerVerdict::publisher:
        check.ok = true;
        break;
    case SignerVerdict::someone_else:
        check.message = mismatch_message(signer, publisher);
        break;
    }
    check.signer = std::move(signer);
    return check;
}

SignatureCheck verify(HANDLE file, const std::wstring& path, const std::wstring& publisher)
{
    WINTRUST_FILE_INFO file_info{};
    file_info.cbStruct = sizeof(file_info);
    file_info.pcwszFilePath = path.c_str();
    file_info.hFile = file;
    file_info.pgKnownSubject = nullptr;

    WINTRUST_DATA data{};
    data.cbStruct = sizeof(data);
    data.pPolicyCallbackData = nullptr;
    data.pSIPClientData = nullptr;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file_info;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    data.pwszURLReference = nullptr;
    data.dwProvFlags = WTD_SAFER_FLAG;
    data.dwUIContext = 0;

    const TrustState state(data);
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    const LONG verdict = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    if (verdict != 0) {
        SignatureCheck check;
        const auto code = static_cast<DWORD>(verdict);
        const bool unsigned_file = code == static_cast<DWORD>(TRUST_E_NOSIGNATURE) ||
                                   code == static_cast<DWORD>(TRUST_E_SUBJECT_FORM_UNKNOWN);
        check.message = unsigned_file ? not_signed : not_valid;
        return check;
    }
    return judge_signer(signer_name(data.hWVTStateData), publisher);
}

}  // namespace

AlgorithmHandle open_sha256()
{
    BCRYPT_ALG_HANDLE handle = nullptr;
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&handle, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
        return {};
    return AlgorithmHandle(handle);
}

HashHandle new_hash(const AlgorithmHandle& provider)
{
    BCRYPT_HASH_HANDLE handle = nullptr;
    if (!BCRYPT_SUCCESS(BCryptCreateHash(provider.get(), &handle, nullptr, 0, nullptr, 0, 0)))
        return {};
    return HashHandle(handle);
}

std::string file_sha256_hex(HANDLE file, const std::atomic<bool>* cancel)
{
    try {
        LARGE_INTEGER start{};
        if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN))
            return {};
        const AlgorithmHandle provider = open_sha256();
        if (!provider)
            return {};
        const HashHandle hash = new_hash(provider);
        if (!hash || !hash_file_contents(file, hash, cancel))
            return {};
        std::array<UCHAR, digest_size> digest{};
        if (!BCRYPT_SUCCESS(BCryptFinishHash(hash.get(), digest.data(), digest_size, 0)))
            return {};
        return to_hex(digest);
    } catch (...) {
        return {};
    }
}

SignatureCheck check_signature(HANDLE file, const std::wstring& path, const std::wstring& publisher)
{
    try {
        return verify(file, path, publisher);
    } catch (...) {
        // Out of memory while building a text: still a refusal, if a silent one.
        return SignatureCheck{};
    }
}

}  // namespace tw::download
