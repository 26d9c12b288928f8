// The elevated setup loads DLLs from its own folder, so a DLL that any process of the user could
// add to its staging folder would run elevated.
#include "download/staging_acl_win.h"

#include "client/scoped_win.h"
#include "download/file_names.h"

#include <sddl.h>

#include <cstdint>
#include <vector>

namespace tw::download {
namespace {

// Read, run, list and delete; never add an entry, write data, or change the DACL or the owner.
// Attributes may change, or a read-only file planted before the folder was closed could never be
// deleted, and its folder would stay for good.
constexpr DWORD user_rights =
    FILE_GENERIC_READ | FILE_GENERIC_EXECUTE | FILE_WRITE_ATTRIBUTES | DELETE | FILE_DELETE_CHILD;
constexpr wchar_t user_rights_text[] = L"0x1301e9";
static_assert(user_rights == 0x1301E9, "user_rights_text spells user_rights");

}  // namespace

std::wstring current_user_sid()
{
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw))
        return {};
    const client::platform::KernelHandle token(raw);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    if (size < sizeof(TOKEN_USER))
        return {};
    std::vector<std::uint64_t> buffer((size + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t));
    if (!GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size))
        return {};
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid, &text))
        return {};
    const client::platform::LocalMemory<wchar_t> owned(text);
    return text;
}

namespace {

// Protected, so nothing is inherited from %TEMP%, where the user has full control. The OWNER
// RIGHTS entry takes away the owner's implicit right to rewrite the DACL, and thereby to undo it.
std::wstring staging_sddl(const std::wstring& user_sid)
{
    const std::wstring rights = user_rights_text;
    return L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;" + rights + L";;;" + user_sid + L")(A;OICI;" + rights +
           L";;;OW)";
}

// FILE_ADD_FILE and WRITE_DAC, on the folder itself and inherited by nothing: the download's file
// is added, then protect_staging_folder writes the sealed DACL, which the OWNER RIGHTS entry
// otherwise keeps even the folder's owner from doing.
constexpr DWORD adding_rights = FILE_ADD_FILE | WRITE_DAC;
static_assert(adding_rights == 0x40002, "adding_sddl spells adding_rights");

std::wstring adding_sddl(const std::wstring& user_sid)
{
    return L"(A;;0x40002;;;" + user_sid + L")";
}

SecurityDescriptor descriptor_of(const std::wstring& sddl)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        return {};
    return SecurityDescriptor(descriptor);
}

}  // namespace

SecurityDescriptor staging_folder_descriptor()
{
    const std::wstring user = current_user_sid();
    return user.empty() ? SecurityDescriptor{} : descriptor_of(staging_sddl(user));
}

SecurityDescriptor new_staging_folder_descriptor()
{
    const std::wstring user = current_user_sid();
    return user.empty() ? SecurityDescriptor{} : descriptor_of(staging_sddl(user) + adding_sddl(user));
}

// On the folder alone: the folder was made with the same inheritable entries, so its file already
// carries what it would inherit, and rewriting the file's DACL, as SetNamedSecurityInfoW does for
// every child, takes a right over the file that no one but SYSTEM and Administrators holds.
bool protect_staging_folder(const std::wstring& staged_path)
{
    const std::wstring folder = parent_folder(staged_path);
    const SecurityDescriptor descriptor = staging_folder_descriptor();
    return !folder.empty() && descriptor &&
           SetFileSecurityW(folder.c_str(), DACL_SECURITY_INFORMATION, descriptor.get()) != FALSE;
}

}  // namespace tw::download
