// Where a download may be staged, and whether a held file is still the staged one.
#include "download/staging_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace tw::download;

TEST(StagingRules, AFolderIsFitOnlyWhenItIsNoLinkAndItsParentIsOwnedByTheUserOrTheSystem)
{
    const struct {
        bool reparse_point;
        FolderOwner owner;
        StagingVerdict verdict;
    } cases[] = {
        {false, FolderOwner::current_user, StagingVerdict::fit},
        {false, FolderOwner::administrators, StagingVerdict::fit},
        {false, FolderOwner::local_system, StagingVerdict::fit},
        {false, FolderOwner::someone_else, StagingVerdict::foreign_owner},
        {false, FolderOwner::unknown, StagingVerdict::foreign_owner},
        {true, FolderOwner::current_user, StagingVerdict::reparse_point},
        {true, FolderOwner::someone_else, StagingVerdict::reparse_point},
    };
    for (const auto& c : cases)
        EXPECT_EQ(judge_staging_folder(c.reparse_point, c.owner), c.verdict) << static_cast<int>(c.owner);
}

TEST(StagingRules, TheFinalPathMustNameTheStagedFile)
{
    const std::wstring staged = L"C:\\Users\\J\u00f6rg\\AppData\\Local\\Temp\\TarnwickInstaller\\{0A}\\Setup.exe";
    const struct {
        std::wstring final_path;
        std::wstring staged_path;
        bool same;
    } cases[] = {
        {L"\\\\?\\" + staged, staged, true},
        {staged, staged, true},
        {L"\\\\?\\C:\\USERS\\J\u00d6RG\\AppData\\Local\\Temp\\TarnwickInstaller\\{0a}\\setup.EXE", staged, true},
        {L"\\\\?\\C:\\Users\\J\u00f6rg\\AppData\\Local\\Temp\\TarnwickInstaller\\{0A}\\Setup.exe",
         L"C:\\Users\\J\u00f6rg\\AppData\\Local\\Temp\\TarnwickInstaller\\{0A}\\Setup.exe. .", true},
        {L"\\\\?\\UNC\\server\\share\\T\\{0A}\\Setup.exe", L"\\\\server\\share\\T\\{0A}\\Setup.exe", true},
        // A junction above the folder turned it elsewhere.
        {L"\\\\?\\D:\\Elsewhere\\TarnwickInstaller\\{0A}\\Setup.exe", staged, false},
        {L"\\\\?\\C:\\Users\\J\u00f6rg\\AppData\\Local\\Temp\\TarnwickInstaller\\{0B}\\Setup.exe", staged, false},
        {L"\\\\?\\" + staged + L"x", staged, false},
        {L"\\\\?\\" + staged.substr(0, staged.size() - 1), staged, false},
        {L"\\\\?\\UNC\\C:\\Users\\J\u00f6rg\\AppData\\Local\\Temp\\TarnwickInstaller\\{0A}\\Setup.exe", staged, false},
        // Letters outside Latin-1 must match as they are.
        {L"\\\\?\\C:\\\u0416\\Setup.exe", L"C:\\\u0436\\Setup.exe", false},
        {L"", L"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(is_staged_path(c.final_path, c.staged_path), c.same) << testing::PrintToString(c.final_path);
}

}  // namespace
