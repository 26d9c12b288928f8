// The window's model and its transitions, as tables: each row starts from a described state,
// applies one event and checks what the window would show and do.
#include "app/ui/layout.h"
#include "app/ui/model_layout.h"
#include "app/window_model.h"
#include "app/translation.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace tw::app {
namespace {

constexpr char two_products[] = R"({"publisher":"Tarnwick Software Ltd","products":[
  {"slug":"studio","name":"Studio","betaAvailable":true,"builds":[
    {"version":"2.1.0","fileName":"a.exe","downloadUrl":"https://localhost/a","sha256":"%A"},
    {"version":"2.2.0-beta","channel":"test","fileName":"b.exe","downloadUrl":"https://localhost/b","sha256":"%A"}]},
  {"slug":"notes","name":"Notes","betaAvailable":true,"betasNeedSignIn":true,"builds":[
    {"version":"1.0.0","fileName":"c.exe","downloadUrl":"https://localhost/c","sha256":"%A"}]}]})";

std::string document(std::string text, const std::string& minimum = "")
{
    for (std::size_t at; (at = text.find("%A")) != std::string::npos;)
        text.replace(at, 2, std::string(64, 'a'));
    if (!minimum.empty())
        text.insert(1, R"("minimumInstallerVersion":")" + minimum +
                           R"(","installer":{"version":"9.0.0","fileName":"TarnwickInstaller.exe",)"
                           R"("downloadUrl":"https://localhost/i","sha256":")" + std::string(64, 'b') + R"("},)");
    return text;
}

catalog::CatalogReply reply(std::uint32_t status, std::string body, bool pass_sent = false,
                            catalog::TrustVerdict trust = catalog::TrustVerdict::believed)
{
    catalog::CatalogReply r;
    r.status = status;
    r.body = std::move(body);
    r.pass_sent = pass_sent;
    r.trust = trust;
    return r;
}

const Surroundings around{L"tarnwick.test", ""};
constexpr std::uint64_t now = 1'000'000;

WindowModel loaded()
{
    WindowModel model;
    catalog_arrived(model, reply(200, document(two_products)), around, now);
    return model;
}

WindowModel on_notes_beta_signed_in()
{
    WindowModel model = loaded();
    model.pass = {"twdp_pass", now + 60'000};
    product_opened(model, 1, now);
    channel_switched(model, Channel::beta, now);
    return model;
}

TEST(WindowModel, CatalogRepliesAndWhatTheyShow)
{
    const struct {
        const char* label;
        std::function<WindowModel()> start;
        catalog::CatalogReply reply;
        Screen screen;
        std::wstring status;
        StatusKind kind;
        bool fetch;
        Focus focus;
    } cases[] = {
        {"two products", [] { return WindowModel{}; }, reply(200, document(two_products)), Screen::products,
         L"Choose a product.", StatusKind::information, false, Focus::product_list},
        {"unreachable", [] { return WindowModel{}; }, reply(0, ""), Screen::products,
         L"Tarnwick can't be reached. Check the connection, then reopen the Installer.", StatusKind::attention,
         false, Focus::unchanged},
        {"not a catalog", [] { return WindowModel{}; }, reply(200, "{not json"), Screen::products,
         L"Tarnwick didn't answer as expected. Try again in a few minutes.", StatusKind::attention, false,
         Focus::unchanged},
        {"401 without a pass", [] { return WindowModel{}; }, reply(401, "", false), Screen::products,
         L"Tarnwick didn't answer as expected. Try again in a few minutes.", StatusKind::attention, false,
         Focus::unchanged},
        {"ended pass: asked again", on_notes_beta_signed_in, reply(401, "", true), Screen::versions,
         L"Your beta sign-in has ended. Sign in again for beta builds.", StatusKind::attention, true,
         Focus::unchanged},
        {"reload keeps the open product", on_notes_beta_signed_in, reply(200, document(two_products)),
         Screen::versions, L"", StatusKind::information, false, Focus::version_list},
        {"out of date with a new Installer", loaded, reply(200, document(two_products, "2.0.0")), Screen::products,
         L"This Installer is out of date. Get the new one to continue.", StatusKind::attention, false,
         Focus::install_button},
        {"a catalog whose signature is refused keeps the one shown", loaded,
         reply(200, document(two_products), false, catalog::TrustVerdict::refused), Screen::products,
         L"Tarnwick didn't answer as expected. Try again in a few minutes.", StatusKind::attention, false,
         Focus::unchanged},
        {"an expired catalog", [] { return WindowModel{}; },
         reply(200, document(two_products), true, catalog::TrustVerdict::expired), Screen::products,
         L"Tarnwick's list of software has expired. Check that this computer's date and time are right, then "
         L"reopen the Installer.",
         StatusKind::attention, false, Focus::unchanged},
        {"out of date without one", loaded, reply(200, document(R"({"publisher":"P","minimumInstallerVersion":"2.0.0","products":[]})")),
         Screen::products, L"This Installer is out of date. Download the new one from tarnwick.test.",
         StatusKind::attention, false, Focus::close_button},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        WindowModel model = c.start();
        const Effects effects = catalog_arrived(model, c.reply, around, now);
        EXPECT_EQ(model.screen, c.screen);
        EXPECT_EQ(in_english(model.status.text), c.status);
        EXPECT_EQ(model.status.kind, c.kind);
        EXPECT_EQ(effects.fetch_catalog, c.fetch);
        EXPECT_EQ(effects.focus, c.focus);
    }
}

TEST(WindowModel, AReloadKeepsTheBetaChannelAndAnEndedPassIsNeverSentAgain)
{
    WindowModel model = on_notes_beta_signed_in();
    catalog_arrived(model, reply(200, document(two_products)), around, now);
    EXPECT_EQ(model.channel, Channel::beta);
    EXPECT_EQ(current_pass(model, now), "twdp_pass");

    catalog_arrived(model, reply(401, "", true), around, now);
    EXPECT_EQ(current_pass(model, now), "");
    EXPECT_EQ(model.beta_gate, BetaGate::signed_in);  // the old gate shows until the reload says otherwise
}

TEST(WindowModel, ChannelsGatesAndTheRowsTheyShow)
{
    const struct {
        const char* label;
        int product;
        Channel channel;
        bool pass;
        bool signing_in;
        BetaGate gate;
        std::size_t rows;
        std::wstring status;
    } cases[] = {
        {"official", 0, Channel::official, false, false, BetaGate::none, 1, L"Choose a version."},
        {"open beta", 0, Channel::beta, false, false, BetaGate::none, 1, L"Choose a version."},
        {"gated beta", 1, Channel::beta, false, false, BetaGate::sign_in_needed, 0, L""},
        {"gated beta, signed in", 1, Channel::beta, true, false, BetaGate::signed_in, 0, L""},
        {"gated beta, waiting", 1, Channel::beta, false, true, BetaGate::waiting, 0, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        WindowModel model = loaded();
        if (c.pass)
            model.pass = {"twdp_pass", now + 1};
        model.signing_in = c.signing_in;
        product_opened(model, c.product, now);
        channel_switched(model, c.channel, now);
        EXPECT_EQ(model.beta_gate, c.gate);
        EXPECT_EQ(model.shown_builds.size(), c.rows);
        EXPECT_EQ(model.highlighted_build, c.rows ? 0 : -1);
        EXPECT_EQ(in_english(model.status.text), c.status);
    }
}

// Switching channels never moves a control: only what is shown changes.
TEST(WindowModel, NothingMovesBetweenChannels)
{
    for (const int product : {0, 1}) {
        WindowModel model = loaded();
        product_opened(model, product, now);
        const ui::LayoutPlan official = ui::plan_layout(ui::layout_facts(model, 24));
        channel_switched(model, Channel::beta, now);
        const ui::LayoutPlan beta = ui::plan_layout(ui::layout_facts(model, 24));
        EXPECT_EQ(official.content_bottom, beta.content_bottom) << product;
        EXPECT_EQ(official.list_rect, beta.list_rect) << product;
        for (const auto member : {&ui::LayoutPlan::install_button, &ui::LayoutPlan::close_button,
                                  &ui::LayoutPlan::official_button, &ui::LayoutPlan::status_label}) {
            EXPECT_EQ((official.*member).x, (beta.*member).x) << product;
            EXPECT_EQ((official.*member).y, (beta.*member).y) << product;
        }
    }
}

TEST(WindowModel, WorkSignInAndCloseEndings)
{
    const struct {
        const char* label;
        bool busy, signing_in, setup_open;
        std::function<Effects(WindowModel&)> event;
        bool destroy, hide, cancel;
    } cases[] = {
        {"close while idle", false, false, false, [](WindowModel& m) { return close_requested(m, false); }, true,
         false, false},
        {"close while a setup runs", true, false, true, [](WindowModel& m) { return close_requested(m, true); },
         false, false, false},
        {"close while downloading", true, false, false, [](WindowModel& m) { return close_requested(m, false); },
         false, true, true},
        {"closed, then the download ends", true, false, false,
         [](WindowModel& m) { close_requested(m, false); return work_finished(m, {}, now); }, true, false, false},
        {"closed, download ends, sign-in runs on", true, true, false,
         [](WindowModel& m) { close_requested(m, false); return work_finished(m, {}, now); }, false, false, false},
        {"closed, sign-in ends last", false, true, false,
         [](WindowModel& m) {
             close_requested(m, false);
             return sign_in_finished(m, {client::SignInOutcome::cancelled, "", 0}, around, now);
         },
         true, false, false},
        {"a result without closing", true, false, false, [](WindowModel& m) { return work_finished(m, {}, now); },
         false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        WindowModel model = loaded();
        model.running = c.busy ? std::optional(JobKind::install) : std::nullopt;
        model.signing_in = c.signing_in;
        model.status = {text::downloading, StatusKind::information};
        const Effects effects = c.event(model);
        EXPECT_EQ(effects.destroy_window, c.destroy);
        EXPECT_EQ(effects.hide_window, c.hide);
        EXPECT_EQ(effects.cancel_work, c.cancel);
        if (c.setup_open)
            EXPECT_EQ(in_english(model.status.text), L"Finish the installer's own window first.");
        else
            EXPECT_EQ(in_english(model.status.text), L"Downloading\u2026");  // a cancelled worker says nothing
    }
}

TEST(WindowModel, InstallAndItsResult)
{
    WindowModel model = on_notes_beta_signed_in();
    EXPECT_FALSE(install_started(model));  // no beta build to install
    channel_switched(model, Channel::official, now);
    ASSERT_TRUE(install_started(model));
    EXPECT_EQ(model.running, JobKind::install);
    EXPECT_FALSE(install_started(model));  // one at a time
    EXPECT_EQ(in_english(model.status.text), L"Downloading\u2026");

    progress_moved(model, 0.5);
    work_finished(model, {Status{text::installed(L"Notes 1.0.0"), StatusKind::success}, false}, now);
    EXPECT_FALSE(busy(model));
    EXPECT_EQ(model.progress, 0.0);
    EXPECT_EQ(model.status.kind, StatusKind::success);

    channel_switched(model, Channel::beta, now);
    model.running = JobKind::install;
    work_finished(model, {Status{text::pass_ended, StatusKind::attention}, true}, now);
    EXPECT_EQ(current_pass(model, now), "");
    EXPECT_EQ(model.beta_gate, BetaGate::sign_in_needed);
}

TEST(WindowModel, ASelfUpdateRunsOnlyWhenOfferedAndAlone)
{
    WindowModel model = loaded();
    EXPECT_FALSE(self_update_started(model));  // nothing offered
    model.self_update_offered = true;
    EXPECT_FALSE(self_update_started(model));  // offered, but the catalog names no new Installer
    model.catalog->installer = catalog::InstallerRelease{};
    ASSERT_TRUE(self_update_started(model));
    EXPECT_EQ(model.running, JobKind::self_update);
    EXPECT_FALSE(self_update_started(model));
    EXPECT_FALSE(install_started(model));
    self_update_launched(model);
    EXPECT_FALSE(busy(model));
}

TEST(WindowModel, SignInFromStartToPass)
{
    WindowModel model = loaded();
    product_opened(model, 1, now);
    model.approval_url = "https://localhost/old";
    ASSERT_TRUE(sign_in_started(model, now));
    EXPECT_FALSE(sign_in_started(model, now));
    EXPECT_EQ(model.approval_url, "");
    EXPECT_EQ(model.beta_gate, BetaGate::waiting);

    sign_in_code_arrived(model, L"ABCD-EFGH", "https://localhost/approve", false, around);
    EXPECT_EQ(in_english(model.beta_note), L"Open tarnwick.test/installer/approve and enter this code:");

    const Effects effects = sign_in_finished(model, {client::SignInOutcome::approved, "twdp_new", 3600}, around, now);
    EXPECT_TRUE(effects.fetch_catalog);
    EXPECT_EQ(model.sign_in_code, L"");
    // Kept until a minute before the service ends it.
    EXPECT_EQ(current_pass(model, now + 3'539'999), "twdp_new");
    EXPECT_EQ(current_pass(model, now + 3'540'000), "");

    ASSERT_TRUE(sign_in_started(model, now));
    sign_in_finished(model, {client::SignInOutcome::denied, "", 0}, around, now);
    EXPECT_EQ(in_english(model.status.text), L"Beta builds weren't unlocked. Public releases are still available.");
    EXPECT_EQ(model.status.kind, StatusKind::attention);
}

}  // namespace
}  // namespace tw::app
