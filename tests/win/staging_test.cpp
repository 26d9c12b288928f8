// Staging folders on the file system, each test under a shared folder of its own. Wine 8 keeps no
// DACL (it turns one into Unix mode bits) and so enforces none: there the folder's DACL is checked
// as it is built, and only on Windows as the folder reads it back.
#include "client/scoped_win.h"
#include "download/file_names.h"
#include "download/folder_tree_win.h"
#include "download/staging_win.h"
#include "download/staging_acl_win.h"
#include "tests/support/test_support.h"

#include <windows.h>
#include <aclapi.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace tw::download;
using tw::client::platform::FileHandle;

constexpr std::int64_t day_seconds = 86'400;
const std::wstring guid_tail = L"-4D5E-4F60-8172-93A4B5C6D7E8}";

using tw::test_support::exists;

class Staging : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH + 1] = {};
        GetTempPathW(MAX_PATH + 1, temp);
        shared = std::wstring(temp) + L"twi-staging-" + std::to_wstring(GetCurrentProcessId());
        remove_folder_tree(shared);  // what a failed run left
        ASSERT_TRUE(CreateDirectoryW(shared.c_str(), nullptr));
        GetSystemTimeAsFileTime(&now);
    }
    void TearDown() override { remove_folder_tree(shared); }

    std::wstring folder(const std::wstring& name)
    {
        EXPECT_TRUE(CreateDirectoryW((shared + L"\\" + name).c_str(), nullptr));
        return shared + L"\\" + name;
    }
    static std::wstring file(const std::wstring& path, DWORD attributes = FILE_ATTRIBUTE_NORMAL)
    {
        EXPECT_TRUE(FileHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr))
                        .valid());
        return path;
    }
    // Created two days before `now`, last written `written` seconds before it.
    void age(const std::wstring& path, std::int64_t written) const
    {
        const ULONGLONG current = ULONGLONG{now.dwHighDateTime} << 32 | now.dwLowDateTime;
        const auto before = [current](std::int64_t seconds) {
            const ULONGLONG at = current - seconds * 10'000'000ULL;
            return FILETIME{static_cast<DWORD>(at), static_cast<DWORD>(at >> 32)};
        };
        const FILETIME created = before(2 * day_seconds), last_written = before(written);
        const FileHandle handle(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        EXPECT_TRUE(SetFileTime(handle.get(), &created, nullptr, &last_written));
    }

    std::wstring shared;
    FILETIME now{};
};

// Wine 8 cannot make a junction (FSCTL_SET_REPARSE_POINT fails with error 50), so a link inside
// a stale folder is not played here, a real subfolder is; and it reads a folder's last-write time
// as its creation time, so a folder created recently but written long ago is not played either.
TEST_F(Staging, RemovesOnlyOldGuidFoldersThatNothingHolds)
{
    enum Inside { setup, held_setup, subfolder, nothing };
    const struct {
        std::wstring name;
        Inside inside;
        std::int64_t written;
        bool removed;
    } rows[] = {
        {L"{0F3A1B2C" + guid_tail, setup, 2 * day_seconds, true},
        {L"{1f3a1b2c" + guid_tail, subfolder, 2 * day_seconds, true},
        {L"{2F3A1B2C" + guid_tail, nothing, 2 * day_seconds, true},
        {L"{3F3A1B2C" + guid_tail, held_setup, 2 * day_seconds, false},  // a running Installer
        {L"{4F3A1B2C" + guid_tail, setup, 3'600, false},
        {L"{5G3A1B2C" + guid_tail, setup, 2 * day_seconds, false},
        {L"{6F3A1B2C" + guid_tail + L" (2)", setup, 2 * day_seconds, false},
    };
    std::vector<FileHandle> held;
    int removed = 0;
    for (const auto& row : rows) {
        const std::wstring path = folder(row.name);
        if (row.inside != nothing)
            file(path + L"\\setup.exe");
        if (row.inside == held_setup)  // shared as a started program's file is, so it could be deleted
            held.emplace_back(CreateFileW((path + L"\\setup.exe").c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr));
        if (row.inside == subfolder)
            file(folder(row.name + L"\\bin") + L"\\version.dll", FILE_ATTRIBUTE_READONLY);
        age(path, row.written);
        removed += row.removed;
    }
    EXPECT_EQ(remove_stale_staging_folders(shared, now, day_seconds), removed);
    held.clear();  // a file marked for deletion while it was open goes now
    for (const auto& row : rows) {
        const std::wstring kept = shared + L"\\" + row.name + (row.inside == nothing ? L"" : L"\\setup.exe");
        EXPECT_EQ(exists(kept), !row.removed) << testing::PrintToString(row.name);
    }
}

TEST_F(Staging, HoldsOnlyTheStagedFile)
{
    const std::wstring staged = file(folder(L"staging") + L"\\Studio-2.1.0.exe");
    EXPECT_TRUE(staging_folder_holds_only(staged));
    EXPECT_TRUE(staging_folder_holds_only(staged + L". .")) << "Windows drops trailing dots and spaces";
    const std::wstring planted = folder(L"staging\\bin");
    EXPECT_FALSE(staging_folder_holds_only(staged));
    RemoveDirectoryW(planted.c_str());
    const std::wstring dll = file(shared + L"\\staging\\version.dll");
    EXPECT_FALSE(staging_folder_holds_only(staged));
    DeleteFileW(staged.c_str());
    EXPECT_FALSE(staging_folder_holds_only(staged)) << "another file in its place";
    DeleteFileW(dll.c_str());
    EXPECT_FALSE(staging_folder_holds_only(staged)) << "nothing at all";
    EXPECT_FALSE(staging_folder_holds_only(shared + L"\\missing\\Studio-2.1.0.exe"));
}

TEST_F(Staging, DiscardRemovesAStagingFolderWholeButElsewhereOnlyTheFile)
{
    const std::wstring staging = folder(L"{0F3A1B2C" + guid_tail);
    const std::wstring staged = file(staging + L"\\Studio-2.1.0.exe");
    file(staging + L"\\version.dll", FILE_ATTRIBUTE_READONLY);
    file(folder(L"{0F3A1B2C" + guid_tail + L"\\bin") + L"\\version.dll");
    ASSERT_TRUE(protect_staging_folder(staged));
    discard_download(staged);
    EXPECT_FALSE(exists(staging));

    const std::wstring notes = file(folder(L"Downloads") + L"\\notes.txt");
    discard_download(file(shared + L"\\Downloads\\Studio-2.1.0.exe"));
    EXPECT_FALSE(exists(shared + L"\\Downloads\\Studio-2.1.0.exe"));
    EXPECT_TRUE(exists(notes));
}

// Only SYSTEM and Administrators may add to the folder or change its DACL. OWNER RIGHTS stands for
// the user, who owns the folder, and replaces the owner's implicit right to rewrite the DACL.
void expect_staging_dacl(PSECURITY_DESCRIPTOR descriptor)
{
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorControl(descriptor, &control, &revision) &&
                GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) && dacl);
    EXPECT_TRUE(control & SE_DACL_PROTECTED) << "inherits from %TEMP%, where the user may do anything";
    constexpr ACCESS_MASK forbidden_rights =
        FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | WRITE_DAC | WRITE_OWNER | GENERIC_ALL | GENERIC_WRITE;
    constexpr BYTE inherit_flags = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    ACCESS_MASK owner = 0;
    ACCESS_ALLOWED_ACE* ace = nullptr;
    for (DWORD index = 0; index < dacl->AceCount && GetAce(dacl, index, reinterpret_cast<void**>(&ace)); ++index) {
        if (ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE || IsWellKnownSid(&ace->SidStart, WinLocalSystemSid) ||
            IsWellKnownSid(&ace->SidStart, WinBuiltinAdministratorsSid))
            continue;
        EXPECT_EQ(ace->Mask & forbidden_rights, 0u) << "entry " << index;
        const bool inherited = (ace->Header.AceFlags & inherit_flags) == inherit_flags;
        if (inherited && IsWellKnownSid(&ace->SidStart, WinCreatorOwnerRightsSid))
            owner |= ace->Mask;
    }
    constexpr ACCESS_MASK needed_rights = FILE_GENERIC_READ | FILE_GENERIC_EXECUTE | DELETE | FILE_DELETE_CHILD;
    EXPECT_EQ(owner & needed_rights, needed_rights) << "no inherited OWNER RIGHTS entry to read, run and delete";
}

TEST_F(Staging, TheUserMayReadRunAndDeleteButNotAddOrChangeTheDacl)
{
    const SecurityDescriptor built = staging_folder_descriptor();
    ASSERT_TRUE(built);
    expect_staging_dacl(built.get());

    const std::wstring staged = file(folder(L"{0F3A1B2C" + guid_tail) + L"\\Studio-2.1.0.exe");
    ASSERT_TRUE(protect_staging_folder(staged));
    EXPECT_FALSE(protect_staging_folder(shared + L"\\missing\\Studio-2.1.0.exe"));
    if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version"))
        return;  // what Wine reads back is made from Unix mode bits
    PSECURITY_DESCRIPTOR read = nullptr;
    ASSERT_EQ(GetNamedSecurityInfoW(parent_folder(staged).c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                    nullptr, nullptr, nullptr, &read),
              static_cast<DWORD>(ERROR_SUCCESS));
    const SecurityDescriptor owned(read);
    expect_staging_dacl(read);
}

// Made with its descriptor, not given one later: beyond the sealed DACL only the user's rights to
// add a file and to seal the folder, to this folder alone and inherited by nothing.
TEST_F(Staging, AFolderIsMadeClosedToEveryoneButTheUserAddingItsFile)
{
    const SecurityDescriptor made = new_staging_folder_descriptor();
    ASSERT_TRUE(made);
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(made.get(), &present, &dacl, &defaulted) && dacl);
    int adding = 0;
    ACCESS_ALLOWED_ACE* ace = nullptr;
    for (DWORD index = 0; index < dacl->AceCount && GetAce(dacl, index, reinterpret_cast<void**>(&ace)); ++index) {
        if ((ace->Mask & FILE_ADD_FILE) == 0 || IsWellKnownSid(&ace->SidStart, WinLocalSystemSid) ||
            IsWellKnownSid(&ace->SidStart, WinBuiltinAdministratorsSid))
            continue;
        ++adding;
        EXPECT_EQ(ace->Mask, static_cast<ACCESS_MASK>(FILE_ADD_FILE | WRITE_DAC)) << "entry " << index;
        EXPECT_EQ(ace->Header.AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE), 0) << "entry " << index;
    }
    EXPECT_EQ(adding, 1);

    const StagingFolder folder = make_staging_folder();
    ASSERT_EQ(folder.failure, StagingFailure::none);
    EXPECT_EQ(folder.path.rfind(L"\\\\?\\", 0), std::wstring::npos) << "the shell is given plain paths";
    EXPECT_EQ(parent_folder(folder.path).size(), folder.path.size() - 39);
    const std::wstring staged = file(folder.path + L"\\Studio-2.1.0.exe");
    discard_download(staged);
    EXPECT_FALSE(exists(folder.path));
}

// The setup is started by the path its held handle resolves to, and only while that is the file
// that was staged. Wine has no junctions; a file moved away under the handle stands in for one.
// The decision itself is StagingRules.TheFinalPathMustNameTheStagedFile, natively.
TEST_F(Staging, ASetupIsRunByItsFinalPathOnlyWhileThatIsTheStagedFile)
{
    const std::wstring staged = file(folder(L"{0F3A1B2C" + guid_tail) + L"\\Studio-2.1.0.exe");
    const FileHandle held(CreateFileW(staged.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held.valid());
    const auto path = staged_file_to_run(held.get(), staged);
    ASSERT_TRUE(path.has_value());
    EXPECT_TRUE(CompareStringOrdinal(path->c_str(), -1, staged.c_str(), -1, TRUE) == CSTR_EQUAL)
        << testing::PrintToString(*path);

    EXPECT_FALSE(staged_file_to_run(INVALID_HANDLE_VALUE, staged).has_value());
    // Wine 8 keeps giving a handle the path it was opened by after the file moved.
    if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version"))
        return;
    const std::wstring elsewhere = folder(L"elsewhere") + L"\\Studio-2.1.0.exe";
    ASSERT_TRUE(MoveFileW(staged.c_str(), elsewhere.c_str()));
    EXPECT_FALSE(staged_file_to_run(held.get(), staged).has_value());
}

// The handle owners, on events: a close too many shows as a handle shut while an owner still
// holds it, a close too few as a handle left open once no owner holds it.
bool is_open(HANDLE handle)
{
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != FALSE;
}

TEST(Owners, CloseEachHandleOnceAndOnlyWhenOwned)
{
    using tw::client::platform::KernelHandle;
    const struct {
        const char* name;
        KernelHandle (*act)(HANDLE a, HANDLE b);  // what it returns is still held
        bool a_open, b_open;                      // while that owner lives
        bool a_open_after;                        // once it is gone too
    } rows[] = {
        {"moved from", [](HANDLE a, HANDLE) {
             KernelHandle from(a);
             return KernelHandle(std::move(from));
         }, true, true, false},
        {"moved onto", [](HANDLE a, HANDLE b) {
             KernelHandle from(a), onto(b);
             onto = std::move(from);
             return onto;
         }, true, false, false},
        {"moved onto itself", [](HANDLE a, HANDLE) {
             KernelHandle self(a);
             KernelHandle& same = self;
             self = std::move(same);
             return self;
         }, true, true, false},
        {"released", [](HANDLE a, HANDLE) {
             KernelHandle owner(a);
             owner.release();
             return KernelHandle();
         }, true, true, true},
        {"reset to another", [](HANDLE a, HANDLE b) {
             KernelHandle owner(a);
             owner.reset(b);
             return owner;
         }, false, true, false},
        {"reset to its own", [](HANDLE a, HANDLE) {
             KernelHandle owner(a);
             owner.reset(a);
             return owner;
         }, true, true, false},
    };
    for (const auto& row : rows) {
        const HANDLE a = CreateEventW(nullptr, TRUE, FALSE, nullptr), b = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        ASSERT_TRUE(a && b);
        KernelHandle held = row.act(a, b);
        EXPECT_EQ(is_open(a), row.a_open) << row.name;
        EXPECT_EQ(is_open(b), row.b_open) << row.name;
        held.reset();
        EXPECT_EQ(is_open(a), row.a_open_after) << row.name;
        for (const HANDLE left : {a, b})
            if (is_open(left))
                CloseHandle(left);
    }
}

}  // namespace
