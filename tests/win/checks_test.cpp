// The download checks and the runners on real files: the sample setup programs (tests/samples),
// signed with the test PKI by scripts/sign-samples into TWI_SIGNED_SAMPLES_DIR, and read through
// a handle held the way the downloader holds it.
#include "client/scoped_win.h"
#include "download/checks_win.h"
#include "download/runners_win.h"
#include "tests/support/test_support.h"

#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <atomic>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using tw::client::platform::FileHandle;
using tw::client::platform::KernelHandle;
using tw::download::check_signature;
using tw::download::file_sha256_hex;
using tw::download::RunOutcome;

constexpr wchar_t tarnwick_publisher[] = L"Tarnwick Software Ltd";
constexpr DWORD piece_bytes = 1'048'576;
constexpr DWORD bound_ms = 30'000;  // liveness bound for the waits below, never an assertion on speed

// The samples folder is a Unix path; Wine names it for Windows programs.
std::wstring signed_sample(const std::wstring& name)
{
    using Convert = WCHAR*(CDECL*)(LPCSTR);
    const auto convert = reinterpret_cast<Convert>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    WCHAR* folder = convert ? convert(TWI_SIGNED_SAMPLES_DIR) : nullptr;
    std::wstring path = folder ? std::wstring(folder) + L"\\" + name : name;
    HeapFree(GetProcessHeap(), 0, folder);
    return path;
}

// Exactly how the downloader holds a finished download.
FileHandle hold(const std::wstring& path)
{
    return FileHandle(
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

using tw::test_support::exists;

bool wait_for_file(const std::wstring& path)
{
    const ULONGLONG deadline = GetTickCount64() + bound_ms;
    while (!exists(path) && GetTickCount64() < deadline)
        Sleep(20);
    return exists(path);
}

// A fresh folder under %TEMP%, removed with its files.
class Scratch : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH + 1] = {};
        GetTempPathW(MAX_PATH + 1, temp);
        folder = std::wstring(temp) + L"twi-checks-" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(folder.c_str(), nullptr);
    }
    void TearDown() override
    {
        WIN32_FIND_DATAW found;
        const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do
                DeleteFileW((folder + L"\\" + found.cFileName).c_str());
            while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(folder.c_str());
    }

    std::wstring write_file(const std::wstring& name, const std::string& content)
    {
        const std::wstring path = folder + L"\\" + name;
        const FileHandle file(
            CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        EXPECT_TRUE(WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr));
        return path;
    }

    std::wstring folder;
};

using tw::test_support::pattern;

const std::string multi_piece_digest = "fe2aaf82bfa2ffec207a0c6fa7ce7d4af268d67e2672fdaec675f3f9b65d0854";

using FileHash = Scratch;

TEST_F(FileHash, HashesTheWholeFileFromTheStartEveryTime)
{
    const struct {
        std::size_t size;
        std::string digest;
    } cases[] = {
        {0, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {piece_bytes, "631b84027d6b9e52b539c4e8373622d23032dfadc64d60af87339c9037e4f769"},
        {3 * piece_bytes + 17, multi_piece_digest},
    };
    for (const auto& c : cases) {
        const FileHandle file = hold(write_file(L"data.bin", pattern(c.size)));
        EXPECT_EQ(file_sha256_hex(file.get()), c.digest) << c.size << " bytes";
        EXPECT_EQ(file_sha256_hex(file.get()), c.digest) << c.size << " bytes, hashed again from the end";
    }
}

TEST_F(FileHash, OneChangedByteInALaterPieceNoLongerMatchesTheCatalog)
{
    std::string bytes = pattern(3 * piece_bytes + 17);
    bytes[2 * piece_bytes + 5] ^= 0x01;
    const FileHandle file = hold(write_file(L"data.bin", bytes));
    EXPECT_NE(file_sha256_hex(file.get()), multi_piece_digest);
}

// A Close while a large file is hashed is seen before the next piece is read.
TEST_F(FileHash, ACancelEndsTheHashWithoutADigest)
{
    const FileHandle file = hold(write_file(L"data.bin", pattern(3 * piece_bytes + 17)));
    std::atomic<bool> cancel{true};
    EXPECT_EQ(file_sha256_hex(file.get(), &cancel), "");
    cancel = false;
    EXPECT_EQ(file_sha256_hex(file.get(), &cancel), multi_piece_digest);
}

TEST_F(FileHash, AnUnreadableHandleGivesNoHashRatherThanTheHashOfNothing)
{
    const std::wstring path = write_file(L"data.bin", "content");
    const FileHandle write_only(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(write_only.valid());
    EXPECT_EQ(file_sha256_hex(write_only.get()), "");
    EXPECT_EQ(file_sha256_hex(INVALID_HANDLE_VALUE), "");
}

// Wine's WinVerifyTrust accepts a chain that ends in an untrusted root, so these cases do not
// tell trusted from untrusted roots; on Windows the good case passes only while the test CA is a
// trusted root.
TEST(Signature, AcceptsOnlyAValidSignatureByExactlyThePublisher)
{
    const std::wstring long_name = std::wstring(288, L'a') + L"@example.com";
    const struct {
        const wchar_t* file;
        std::wstring publisher;
        bool ok;
        std::wstring signer;
        std::wstring message;
    } cases[] = {
        {L"unsigned.exe", tarnwick_publisher, false, L"", L"The installer is not signed."},
        {L"not-a-program.txt", tarnwick_publisher, false, L"", L"The installer is not signed."},
        {L"tampered.exe", tarnwick_publisher, false, L"", L"The installer's signature is not valid."},
        {L"signed-case.exe", tarnwick_publisher, false, L"tarnwick software ltd",
         L"The installer is signed by \"tarnwick software ltd\", not \"Tarnwick Software Ltd\"."},
        {L"signed-other.exe", tarnwick_publisher, false, L"Other Software Ltd",
         L"The installer is signed by \"Other Software Ltd\", not \"Tarnwick Software Ltd\"."},
        // No common name: neither the e-mail address nor the organisation stands in for one.
        {L"signed-long.exe", long_name, false, L"", L"The installer's signature could not be read."},
        {L"signed-no-cn.exe", tarnwick_publisher, false, L"", L"The installer's signature could not be read."},
        {L"sample-setup-exit-0.exe", tarnwick_publisher, true, tarnwick_publisher, L""},
    };
    for (const auto& c : cases) {
        const std::wstring path = signed_sample(c.file);
        const FileHandle file = hold(path);
        ASSERT_TRUE(file.valid()) << "missing sample " << testing::PrintToString(c.file);
        const auto check = check_signature(file.get(), path, c.publisher);
        EXPECT_EQ(check.ok, c.ok) << testing::PrintToString(c.file);
        EXPECT_EQ(check.signer, c.signer) << testing::PrintToString(c.file);
        EXPECT_EQ(check.message, c.message) << testing::PrintToString(c.file);
    }
}

using HeldFile = Scratch;

bool run_and_wait(std::wstring command_line)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &process))
        return false;
    const bool ended = WaitForSingleObject(process.hProcess, bound_ms) == WAIT_OBJECT_0;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ended;
}

TEST_F(HeldFile, NoOtherProcessCanChangeOrRemoveItWhileTheChecksRun)
{
    const std::wstring path = folder + L"\\setup.exe";
    ASSERT_TRUE(CopyFileW(signed_sample(L"sample-setup-exit-0.exe").c_str(), path.c_str(), FALSE));
    const FileHandle file = hold(path);
    ASSERT_TRUE(file.valid());
    const std::string digest = file_sha256_hex(file.get());
    ASSERT_EQ(digest.size(), 64u);

    for (const std::wstring& attempt : {L"del /f /q \"" + path + L"\"", L"echo changed>>\"" + path + L"\"",
                                       L"ren \"" + path + L"\" moved.exe", L"copy /y nul \"" + path + L"\""}) {
        ASSERT_TRUE(run_and_wait(L"cmd.exe /c " + attempt));
        EXPECT_TRUE(exists(path)) << testing::PrintToString(attempt);
        EXPECT_EQ(file_sha256_hex(file.get()), digest) << testing::PrintToString(attempt);
    }
    EXPECT_TRUE(check_signature(file.get(), path, tarnwick_publisher).ok);
}

// The samples leave their markers in the scratch folder and, told to, wait for a release file.
class Runner : public Scratch {
protected:
    void SetUp() override
    {
        Scratch::SetUp();
        release = folder + L"\\release";
        SetEnvironmentVariableW(L"TWI_SAMPLE_MARKERS", folder.c_str());
    }
    void TearDown() override
    {
        write_file(L"release", "");
        SetEnvironmentVariableW(L"TWI_SAMPLE_MARKERS", nullptr);
        SetEnvironmentVariableW(L"TWI_SAMPLE_HOLD", nullptr);
        Scratch::TearDown();
    }

    std::wstring release;
};

// The third line of a sample's marker, the working folder it was started in (the test's are ASCII).
std::wstring marker_working_folder(const std::wstring& marker)
{
    std::ifstream in{std::filesystem::path(marker)};
    std::string path, code, folder;
    std::getline(std::getline(std::getline(in, path), code), folder);
    folder = folder.substr(0, folder.find('\r'));
    return std::wstring(folder.begin(), folder.end());
}

// Under Wine "runas" asks nothing and runs the program as the same user; a refused prompt cannot
// be played here. All ones would not do as a code: it is also what the runner reports when it
// cannot read one.
TEST_F(Runner, WaitsForTheInstallerAndHandsBackItsExitCodeUnsigned)
{
    for (const std::uint32_t code : {3010u, 4294967294u}) {
        const std::wstring name = L"sample-setup-exit-" + std::to_wstring(code) + L".exe";
        const std::wstring path = signed_sample(name);
        const FileHandle held = hold(path);
        const auto run = tw::download::run_installer_elevated(path);
        EXPECT_EQ(run.outcome, RunOutcome::started) << code;
        EXPECT_EQ(run.exit_code, code);
        EXPECT_EQ(run.reason, "") << code;
        EXPECT_EQ(marker_working_folder(folder + L"\\" + name + L".ran"), path.substr(0, path.rfind(L'\\'))) << code;
    }
}

TEST_F(Runner, AMissingFileIsNotStartedAndSaysWhy)
{
    const auto run = tw::download::run_installer_elevated(folder + L"\\missing.exe");
    EXPECT_EQ(run.outcome, RunOutcome::not_started);
    EXPECT_EQ(run.reason, "Windows could not start the installer (error 2).");

    const auto handed_over = tw::download::run_new_installer(folder + L"\\missing.exe");
    EXPECT_EQ(handed_over.outcome, RunOutcome::not_started);
    EXPECT_EQ(handed_over.reason, "Windows could not start the new Installer (error 2).");
}

HANDLE open_process_named(const std::wstring& name)
{
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    HANDLE process = nullptr;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && !process; more = Process32NextW(snapshot, &entry))
        if (lstrcmpiW(entry.szExeFile, name.c_str()) == 0)
            process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
    CloseHandle(snapshot);
    return process;
}

// The new Installer cannot end before the release file exists, which is made only after
// run_new_installer has returned: finding it alive proves that nothing waited for it.
TEST_F(Runner, TheNewInstallerIsStartedAndLeftRunning)
{
    const std::wstring name = L"TarnwickInstaller-" + std::to_wstring(GetCurrentProcessId()) + L".exe";
    const std::wstring path = folder + L"\\" + name;
    ASSERT_TRUE(CopyFileW(signed_sample(L"sample-new-installer.exe").c_str(), path.c_str(), FALSE));
    SetEnvironmentVariableW(L"TWI_SAMPLE_HOLD", release.c_str());

    const FileHandle held = hold(path);
    const auto handed_over = tw::download::run_new_installer(path);
    ASSERT_EQ(handed_over.outcome, RunOutcome::started);
    EXPECT_EQ(handed_over.reason, "");

    ASSERT_TRUE(wait_for_file(folder + L"\\" + name + L".ran"));
    EXPECT_EQ(marker_working_folder(folder + L"\\" + name + L".ran"), folder);
    const KernelHandle process(open_process_named(name));
    ASSERT_NE(process.get(), nullptr);
    EXPECT_EQ(WaitForSingleObject(process.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));

    write_file(L"release", "");
    ASSERT_EQ(WaitForSingleObject(process.get(), bound_ms), WAIT_OBJECT_0);
    DWORD exit_code = 1;
    EXPECT_TRUE(GetExitCodeProcess(process.get(), &exit_code));
    EXPECT_EQ(exit_code, 0u);
}

}  // namespace
