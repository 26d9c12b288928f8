// The window's decisions as tables: which controls are live, what the Beta channel shows, what
// Enter does, and which sentence each way an install, a self-update or a sign-in ends gets.
#include "app/controls.h"
#include "app/outcomes.h"
#include "app/progress.h"
#include "app/setup_gate.h"
#include "app/translation.h"
#include "client/download_sign_in.h"

#include <gtest/gtest.h>

#include <thread>

namespace tw::app {
namespace {

constexpr std::wstring_view host = L"tarnwick.test";
constexpr wchar_t unfinished_download[] = L"The download didn't finish. Check the connection and try again.";
constexpr wchar_t rate_limited[] = L"Too many downloads right now. Try again in a minute.";

TEST(Controls, WhatIsLiveFollowsTheWork)
{
    const struct {
        ControlInputs in;
        bool install, choosing, sign_in;
    } cases[] = {
        {{false, false, false, true}, true, true, true},
        {{false, false, false, false}, false, true, true},   // no version chosen
        {{false, false, true, false}, true, true, true},     // the new Installer needs no version
        {{true, false, true, true}, false, false, false},    // busy: only Close and the sign-in's own
        {{false, true, false, true}, true, true, false},     // one sign-in at a time
    };
    for (const auto& c : cases) {
        const ControlStates s = plan_controls(c.in);
        EXPECT_EQ(s.install, c.install);
        EXPECT_EQ(s.choosing, c.choosing);
        EXPECT_EQ(s.sign_in, c.sign_in);
    }
}

TEST(Controls, BetaGateWaitingThenSignedInThenNeeded)
{
    EXPECT_EQ(beta_gate(true, true, true), BetaGate::waiting);
    EXPECT_EQ(beta_gate(false, true, true), BetaGate::signed_in);
    EXPECT_EQ(beta_gate(false, true, false), BetaGate::signed_in);
    EXPECT_EQ(beta_gate(false, false, true), BetaGate::sign_in_needed);
    EXPECT_EQ(beta_gate(false, false, false), BetaGate::none);
}

TEST(Controls, EnterActsOnTheFocusedButtonElseOnTheScreen)
{
    for (const int button : {id_back_button, id_official_button, id_beta_button, id_sign_in_button,
                             id_reopen_browser_button, id_cancel_sign_in_button, id_close_button})
        EXPECT_EQ(enter_command(button, Screen::versions, false), button);
    EXPECT_EQ(enter_command(id_version_list, Screen::versions, false), id_install_button);
    EXPECT_EQ(enter_command(0, Screen::versions, false), id_install_button);
    EXPECT_EQ(enter_command(id_product_list, Screen::products, false), id_open_product);
    EXPECT_EQ(enter_command(id_product_list, Screen::products, true), id_install_button);
}

TEST(Progress, PostedWhenTheBarMovesAtMostEvery30Ms)
{
    EXPECT_TRUE(progress_worth_posting(-1, 0, 0));      // the first value
    EXPECT_FALSE(progress_worth_posting(250, 250, 500)); // the bar did not move
    EXPECT_FALSE(progress_worth_posting(250, 251, 29));
    EXPECT_TRUE(progress_worth_posting(250, 251, 30));
    EXPECT_TRUE(progress_worth_posting(998, 1000, 0));   // the end is never held back
}

using Code = tw::client::ContractErrorCode;
constexpr auto not_enough_space = tw::download::DownloadFailureKind::not_enough_space;
constexpr auto unsafe_staging = tw::download::DownloadFailureKind::unsafe_staging;
constexpr wchar_t staging_unsafe_sentence[] =
    L"The Installer couldn't keep the download safe in this computer's temporary folder, so it wasn't run. "
    L"Tell us at tarnwick.test/contact.";
constexpr auto too_long = tw::download::DownloadFailureKind::too_long;
constexpr auto other = tw::download::DownloadFailureKind::other;
constexpr wchar_t no_space_on_c[] =
    L"There isn't enough free space on C:\\ for this download (1073741824.0 MB). Free up space and try again.";

TEST(Outcomes, DownloadFailuresOfAnInstall)
{
    const struct {
        DownloadFailure failure;
        bool pass_sent;
        std::wstring message;
        bool pass_ended;
    } cases[] = {
        {{true, Code::RATE_LIMITED, 429}, true, L"", false},  // a cancel says nothing, whatever came before
        {{false, Code::RATE_LIMITED, 429}, true, rate_limited, false},
        {{false, Code::AGREEMENT_REQUIRED, 403}, true,
         L"Accept the new beta tester agreement on tarnwick.test, then try again.", false},
        {{false, Code::INVALID_TOKEN, 401}, true, L"Your beta sign-in has ended. Sign in again for beta builds.", true},
        {{false, Code::NONE, 401}, false, unfinished_download, false},
        {{false, Code::UNRECOGNIZED, 429}, false, unfinished_download, false},
        {{false, Code::NONE, 0}, false, unfinished_download, false},
        {{false, Code::NONE, 407}, true, unfinished_download, false},  // no proxy: the site's own 407
        {{false, Code::NONE, 0, too_long}, true, L"This download didn't pass its check, so it wasn't run. Tell us at "
                                       L"tarnwick.test/contact.", false},
        {{false, Code::NONE, 407, other, {}, 0, true}, true, L"Your network's proxy wants a sign-in that the Installer can't give. "
                                 L"Ask whoever runs your network to let this address through.", false},
        {{false, Code::RATE_LIMITED, 429, not_enough_space, L"C:\\", std::int64_t{1} << 50}, true, no_space_on_c, false},
        {{false, Code::NONE, 200, unsafe_staging}, true, staging_unsafe_sentence, false},
        {{true, Code::NONE, 200, unsafe_staging}, true, L"", false},
    };
    for (const auto& c : cases) {
        const WorkOutcome outcome = install_download_failure(c.failure, c.pass_sent, host);
        EXPECT_EQ(in_english(outcome.message), c.message);
        EXPECT_EQ(outcome.pass_ended, c.pass_ended);
    }
}

TEST(Outcomes, DownloadFailuresOfASelfUpdate)
{
    EXPECT_EQ(in_english(self_update_download_failure({true, Code::RATE_LIMITED, 429}, host)), L"");
    EXPECT_EQ(in_english(self_update_download_failure({false, Code::RATE_LIMITED, 429}, host)), rate_limited);
    EXPECT_EQ(in_english(self_update_download_failure({false, Code::AGREEMENT_REQUIRED, 403}, host)), unfinished_download);
    EXPECT_EQ(in_english(self_update_download_failure({false, Code::NONE, 401}, host)), unfinished_download);
    EXPECT_EQ(in_english(self_update_download_failure({false, Code::NONE, 200, not_enough_space, L"C:\\", std::int64_t{1} << 50}, host)),
              no_space_on_c);
    EXPECT_EQ(in_english(self_update_download_failure({false, Code::NONE, 200, unsafe_staging}, host)), staging_unsafe_sentence);
    EXPECT_EQ(in_english(self_update_download_failure({false, Code::NONE, 200, too_long}, host)),
              L"This download didn't pass its check, so it wasn't run. Tell us at tarnwick.test/contact.");
}

TEST(Outcomes, OnlyAnExactHashLetsAFileRun)
{
    const std::string hash(64, 'a');
    EXPECT_TRUE(hash_matches(hash, hash));
    EXPECT_FALSE(hash_matches("", ""));
    EXPECT_FALSE(hash_matches(hash, std::string(64, 'A')));
    EXPECT_FALSE(hash_matches(hash.substr(1), hash));
}

TEST(Outcomes, RunsAndTheirSentences)
{
    using enum download::RunOutcome;
    const std::wstring unfinished = L"The install didn't finish (code ";
    constexpr auto attention = StatusKind::attention;
    const struct {
        struct {
            download::RunOutcome outcome;
            std::uint32_t exit_code;
        } run;
        std::wstring message;
        StatusKind kind;
    } cases[] = {
        {{started, 0}, L"Studio 2.1.0 is installed.", StatusKind::success},
        {{started, 8}, L"Windows needs a restart first. Restart, then run the Installer again.", attention},
        {{started, 2}, L"The install was cancelled.", attention},
        {{started, 5}, L"The install was cancelled.", attention},
        {{declined, 0}, L"The install was cancelled.", attention},
        {{not_started, 0}, L"Windows couldn't start the installer. Tell us at tarnwick.test/contact.", attention},
        {{started, 3010}, L"Studio 2.1.0 is installed. Restart Windows to finish.", attention},
        {{started, 1641}, L"Studio 2.1.0 is installed. Windows is restarting to finish.", attention},
        {{started, 1618}, L"Another installation is running. Wait for it to finish, then try again.", attention},
        {{not_started, 3010}, L"Windows couldn't start the installer. Tell us at tarnwick.test/contact.", attention},
        {{started, 3011}, unfinished + L"3011). Tell us at tarnwick.test/contact.", attention},
        {{started, 0xFFFFFFFFu}, unfinished + L"4294967295). Tell us at tarnwick.test/contact.", attention},
        {{started, 1}, unfinished + L"1). Tell us at tarnwick.test/contact.", attention},
    };
    for (const auto& c : cases) {
        const Status status = install_run_message({c.run.outcome, c.run.exit_code}, L"Studio 2.1.0", host);
        EXPECT_EQ(in_english(status.text), c.message) << c.run.exit_code;
        EXPECT_EQ(status.kind, c.kind) << c.run.exit_code;
    }
}

TEST(Outcomes, OnlyAnInstalledSentenceIsASuccess)
{
    using enum download::RunOutcome;
    const auto kind = [](download::RunResult run, std::wstring_view label) { return install_run_message(run, label, host).kind; };
    EXPECT_EQ(kind({started, 0}, L"Studio 2.1.0"), StatusKind::success);
    EXPECT_EQ(kind({started, 3010}, L"Studio 2.1.0 is installed."), StatusKind::attention);
    EXPECT_EQ(kind({declined, 0}, L"Studio 2.1.0"), StatusKind::attention);
}

TEST(Outcomes, SignInEndings)
{
    using client::SignInOutcome;
    EXPECT_EQ(in_english(sign_in_message(SignInOutcome::approved, host)), L"");
    EXPECT_EQ(in_english(sign_in_message(SignInOutcome::cancelled, host)), L"");
    EXPECT_EQ(in_english(sign_in_message(SignInOutcome::update_required, host)),
              L"This Installer is out of date. Download the new one from tarnwick.test.");
    EXPECT_EQ(in_english(sign_in_message(SignInOutcome::offline, host)),
              L"Tarnwick can't be reached. Check the connection, then reopen the Installer.");
    EXPECT_EQ(in_english(sign_in_message(static_cast<SignInOutcome>(99), host)), L"Sign-in didn't work. Try again.");
    EXPECT_EQ(in_english(sign_in_message(SignInOutcome::proxy_refused, host)),
              L"Your network's proxy wants a sign-in that the Installer can't give. "
              L"Ask whoever runs your network to let this address through.");
}

TEST(SetupGate, CloseAndStartDecideOnce)
{
    const struct {
        SetupGate before;
        bool close_goes_on;
        SetupGate after_close;
        bool start_after_close;
    } cases[] = {
        {SetupGate::waiting, true, SetupGate::cancelled, false},
        {SetupGate::running, false, SetupGate::running, false},  // the window waits for the setup
        {SetupGate::ended, true, SetupGate::ended, false},
        {SetupGate::cancelled, true, SetupGate::cancelled, false},
    };
    for (const auto& c : cases) {
        std::atomic<SetupGate> gate{c.before};
        EXPECT_EQ(close_setup_gate(gate), c.close_goes_on) << static_cast<int>(c.before);
        EXPECT_EQ(gate.load(), c.after_close) << static_cast<int>(c.before);
        EXPECT_EQ(claim_setup_start(gate), c.start_after_close) << static_cast<int>(c.before);
    }
}

// Raced from two threads, a start and a close never both go ahead, and one of them always does.
TEST(SetupGate, ARacedCloseAndStartNeverBothGoOn)
{
    for (int round = 0; round < 2000; ++round) {
        std::atomic<SetupGate> gate{SetupGate::waiting};
        bool started = false;
        bool closed = false;
        std::thread worker([&] { started = claim_setup_start(gate); });
        closed = close_setup_gate(gate);
        worker.join();
        ASSERT_NE(started, closed) << round;
    }
}

}  // namespace
}  // namespace tw::app
