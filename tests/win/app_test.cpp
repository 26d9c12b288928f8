// The real main window, created in this process with no site set, driven by its own messages.
#include "app/catalog_screen.h"
#include "app/installer_app.h"
#include "app/main_window.h"
#include "app/messages.h"
#include "app/sign_in_screen.h"
#include "app/status.h"
#include "app/texts.h"
#include "app/workers.h"
#include "client/http.h"
#include "client/platform/system_clock.h"
#include "client/platform/winhttp_transport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include <string>
#include <utility>
#include <vector>

namespace tw::app {
namespace {

std::wstring window_text(HWND window)
{
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

void pump_messages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void reset_app(InstallerApp& app)
{
    app.catalog.reset();
    app.screen = screen_products;
    app.selected_product = -1;
    app.selected_slug.clear();
    app.channel = channel_official;
    app.shown_builds.clear();
    app.download_pass.clear();
    app.status_text.clear();
    app.status_kind = status_information;
    app.status_height = 24;
    app.site_origin.clear();
    app.site_host = "localhost";
    app.product_hint.clear();
    app.transport.reset();
    for (auto* flag : {&app.signing_in, &app.busy, &app.cancel_sign_in})
        flag->store(false);
    app.download_job.reset();
    app.close_requested = false;
    app.self_update_offered = false;
}

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        reset_app(app);
        ASSERT_TRUE(register_window_class(GetModuleHandleW(nullptr)));
        window = create_main_window(GetModuleHandleW(nullptr));
        ASSERT_NE(window, nullptr);
        pump_messages();
    }

    void TearDown() override
    {
        set_thread_launcher(nullptr);
        if (IsWindow(window))
            DestroyWindow(window);
        pump_messages();
    }

    void post_and_pump(UINT message, WPARAM wparam, LPARAM lparam)
    {
        ASSERT_TRUE(PostMessageW(window, message, wparam, lparam));
        pump_messages();
    }

    void deliver_catalog(std::uint32_t status, std::string body, bool pass_sent = false)
    {
        auto reply = std::make_unique<catalog::CatalogReply>();
        reply->status = status;
        reply->body = std::move(body);
        reply->pass_sent = pass_sent;
        post_and_pump(msg_catalog_reply, 0, reinterpret_cast<LPARAM>(reply.release()));
    }

    InstallerApp& app = the_app();
    HWND window = nullptr;
};

TEST_F(MainWindow, HasItsClassTitleAndTwelveControlsInOrder)
{
    wchar_t class_name[64] = {};
    GetClassNameW(window, class_name, 64);
    EXPECT_STREQ(class_name, L"TarnwickInstaller");
    EXPECT_EQ(window_text(window), L"Tarnwick Installer");

    const std::vector<std::pair<int, std::wstring>> expected = {
        {103, L"\u2039 All products"}, {101, L""}, {102, L""}, {104, L"Official"}, {105, L"Beta"}, {106, L""},
        {107, L"Beta builds need a tester sign-in."}, {108, L"Sign in for beta builds"},
        {109, L"Open the browser again"}, {110, L"Cancel"}, {111, L"Install"}, {112, L"Close"}};
    std::vector<std::pair<int, std::wstring>> found;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const int id = GetDlgCtrlID(child);
        found.emplace_back(id, id == id_status_label ? std::wstring() : window_text(child));
    }
    EXPECT_EQ(found, expected);
}

TEST_F(MainWindow, WithoutASiteSaysSoAndStartsNoLoad)
{
    EXPECT_EQ(app.status_text, L"No site is set. A development build needs TWI_SITE, such as https://localhost:7180.");
    EXPECT_EQ(app.status_kind, status_attention);
    EXPECT_FALSE(app.catalog.has_value());
}

TEST_F(MainWindow, TheDefaultIdIsTheFocusedButtonOrElseTheScreensAction)
{
    SetFocus(app.product_list);
    EXPECT_EQ(SendMessageW(window, DM_GETDEFID, 0, 0), MAKELONG(113, DC_HASDEFID));
    app.screen = screen_versions;
    EXPECT_EQ(SendMessageW(window, DM_GETDEFID, 0, 0), MAKELONG(111, DC_HASDEFID));
    ShowWindow(app.close_button, SW_SHOW);
    SetFocus(app.close_button);
    EXPECT_EQ(SendMessageW(window, DM_GETDEFID, 0, 0), MAKELONG(112, DC_HASDEFID));
}

int icon_width(HICON icon)
{
    ICONINFO info{};
    if (!icon || !GetIconInfo(icon, &info))
        return 0;
    BITMAP bitmap{};
    GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return bitmap.bmWidth;
}

TEST_F(MainWindow, WindowIconsAreDrawnForTheWindowDpiAndRedrawnWhenItChanges)
{
    const auto window_icon_width = [this](WPARAM kind) {
        return icon_width(reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, kind, 0)));
    };
    EXPECT_EQ(window_icon_width(ICON_BIG), GetSystemMetricsForDpi(SM_CXICON, app.dpi));
    EXPECT_EQ(window_icon_width(ICON_SMALL), GetSystemMetricsForDpi(SM_CXSMICON, app.dpi));

    RECT suggested;
    GetWindowRect(window, &suggested);
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(app.dpi, 144);
    EXPECT_EQ(window_icon_width(ICON_BIG), GetSystemMetricsForDpi(SM_CXICON, 144));
    EXPECT_EQ(window_icon_width(ICON_SMALL), GetSystemMetricsForDpi(SM_CXSMICON, 144));
    EXPECT_EQ(window_icon_width(ICON_SMALL), 24);

    // The layout follows: 560 units of client width at 144 DPI.
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 840);
}

// --- Closing while work runs -------------------------------------------------------------

TEST_F(MainWindow, ClosingWithNothingRunningDestroysTheWindow)
{
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(MainWindow, ClosingWhileTheInstallerIsOpenKeepsTheWindowAndSaysWhy)
{
    app.busy.store(true);
    app.download_job = std::make_shared<DownloadJobState>();
    app.download_job->gate.store(SetupGate::running);
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_FALSE(app.close_requested);
    EXPECT_FALSE(app.download_job->cancel.load());
    EXPECT_EQ(app.status_text, L"Finish the installer's own window first.");
    EXPECT_EQ(app.status_kind, status_attention);
}

TEST_F(MainWindow, ClosingDuringADownloadHidesAndCancelsThenTheResultDestroys)
{
    ShowWindow(window, SW_SHOW);
    app.busy.store(true);
    const auto job = std::make_shared<DownloadJobState>();
    app.download_job = job;
    set_status(app, L"Downloading\u2026", status_information);
    SendMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(IsWindow(window));
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_TRUE(app.close_requested);
    EXPECT_TRUE(job->cancel.load());
    EXPECT_EQ(job->gate.load(), SetupGate::cancelled);
    EXPECT_TRUE(app.cancel_sign_in.load());

    post_and_pump(msg_work_result, 0, reinterpret_cast<LPARAM>(new WorkResult{}));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(app.busy.load());
    EXPECT_EQ(app.status_text, L"Downloading\u2026");  // the cancelled worker's empty message is not shown
}

TEST_F(MainWindow, ClosingDuringASignInWaitsForItsCancelledResult)
{
    app.signing_in.store(true);
    SendMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(IsWindow(window));
    EXPECT_TRUE(app.cancel_sign_in.load());
    post_and_pump(msg_sign_in_result, 0, reinterpret_cast<LPARAM>(new SignInResultMessage{3, {}, 0}));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(app.signing_in.load());
}

// The window goes only with the last of its workers, in whichever order they report.
TEST_F(MainWindow, ClosingWithTwoWorkersWaitsForBoth)
{
    for (const bool download_first : {true, false}) {
        if (!IsWindow(window))
            SetUp();
        app.busy.store(true);
        app.download_job = std::make_shared<DownloadJobState>();
        app.signing_in.store(true);
        SendMessageW(window, WM_CLOSE, 0, 0);
        if (download_first)
            post_and_pump(msg_work_result, 0, reinterpret_cast<LPARAM>(new WorkResult{}));
        else
            post_and_pump(msg_sign_in_result, 0, reinterpret_cast<LPARAM>(new SignInResultMessage{3, {}, 0}));
        EXPECT_TRUE(IsWindow(window)) << download_first;
        if (download_first)
            post_and_pump(msg_sign_in_result, 0, reinterpret_cast<LPARAM>(new SignInResultMessage{3, {}, 0}));
        else
            post_and_pump(msg_work_result, 0, reinterpret_cast<LPARAM>(new WorkResult{}));
        EXPECT_FALSE(IsWindow(window)) << download_first;
    }
}

// --- Workers and their records -----------------------------------------------------------

struct Counted {
    static inline int alive = 0;
    Counted() { ++alive; }
    ~Counted() { --alive; }
};

TEST_F(MainWindow, ARecordPostedToAWindowThatIsGoneIsFreedByItsSender)
{
    DestroyWindow(window);
    pump_messages();
    post_record(window, WM_APP + 40, std::make_unique<Counted>());
    EXPECT_EQ(Counted::alive, 0);
}

TEST_F(MainWindow, ARecordPostedToALiveWindowBelongsToTheReceiver)
{
    post_record(window, WM_APP + 40, std::make_unique<Counted>());
    EXPECT_EQ(Counted::alive, 1);
    MSG message;
    ASSERT_TRUE(PeekMessageW(&message, window, WM_APP + 40, WM_APP + 40, PM_REMOVE));
    take_record<Counted>(message.lParam).reset();
    EXPECT_EQ(Counted::alive, 0);
}

TEST_F(MainWindow, ProgressIsPostedInThousandthsOnlyForAKnownTotal)
{
    MSG message;
    post_progress(window, 50, 200);
    ASSERT_TRUE(PeekMessageW(&message, window, msg_progress, msg_progress, PM_REMOVE));
    EXPECT_EQ(message.wParam, 250u);
    post_progress(window, 50, 0);
    post_progress(window, 50, -1);
    EXPECT_FALSE(PeekMessageW(&message, window, msg_progress, msg_progress, PM_REMOVE));
}

TEST_F(MainWindow, AThreadThatCannotBeCreatedEndsInAMessage)
{
    set_thread_launcher([](ThreadEntry, void*) { return false; });
    app.site_origin = "https://localhost:1";
    load_catalog(app);
    EXPECT_EQ(app.status_text, text::worker_failed);
    EXPECT_EQ(app.status_kind, status_attention);
}

TEST_F(MainWindow, PressingSignInTwiceStartsOneSignIn)
{
    // Runs each worker at once on this thread: with no site set it ends before any request.
    static int launches;
    launches = 0;
    set_thread_launcher([](ThreadEntry entry, void* argument) {
        ++launches;
        entry(argument);
        return true;
    });
    app.transport = client::platform::make_winhttp_transport();
    app.authorize_url = "https://localhost/installer/approve?code=OLD0-CODE";
    start_sign_in(app);
    EXPECT_EQ(app.authorize_url, "");  // "Open the browser again" waits for the new code
    start_sign_in(app);
    EXPECT_EQ(launches, 1);
    pump_messages();
    EXPECT_FALSE(app.signing_in.load());
    EXPECT_EQ(app.status_text, text::sign_in_failed);
    start_sign_in(app);
    EXPECT_EQ(launches, 2);
    pump_messages();
}

TEST(SystemClock, WallTimeIsUnixSecondsAndTheSteadyClockNeverGoesBack)
{
    client::platform::SystemClock clock;
    EXPECT_LE(std::llabs(clock.now_unix_seconds() - static_cast<long long>(std::time(nullptr))), 2);
    std::int64_t previous = clock.now_steady_ms();
    for (int i = 0; i < 1000; ++i) {
        const std::int64_t now = clock.now_steady_ms();
        ASSERT_GE(now, previous);
        previous = now;
    }
}

// --- Catalog replies ---------------------------------------------------------------------

constexpr char two_products[] = R"({"publisher":"Tarnwick Software Ltd","products":[
  {"slug":"studio-pro","name":"Studio Pro","builds":[
    {"version":"2.1.0","fileName":"a.exe","downloadUrl":"https://localhost/a","sizeBytes":1048576,
     "sha256":"0000000000000000000000000000000000000000000000000000000000000000"},
    {"version":"2.0.0","fileName":"b.exe","downloadUrl":"https://localhost/b",
     "sha256":"1111111111111111111111111111111111111111111111111111111111111111"}]},
  {"slug":"notes","name":"Notes","builds":[
    {"version":"1.0.0","fileName":"c.exe","downloadUrl":"https://localhost/c",
     "sha256":"2222222222222222222222222222222222222222222222222222222222222222"}]}]})";

TEST_F(MainWindow, RepliesThatCarryNoCatalogLeaveAnAttentionMessage)
{
    deliver_catalog(0, "");
    EXPECT_EQ(app.status_text, L"Tarnwick can't be reached. Check the connection, then reopen the Installer.");
    deliver_catalog(503, R"({"error":{"code":"UNAVAILABLE"}})");
    EXPECT_EQ(app.status_text, L"Tarnwick didn't answer as expected. Try again in a few minutes.");
    deliver_catalog(200, "{not json");
    EXPECT_EQ(app.status_text, L"Tarnwick didn't answer as expected. Try again in a few minutes.");
    deliver_catalog(401, "", false);
    EXPECT_EQ(app.status_text, L"Tarnwick didn't answer as expected. Try again in a few minutes.");
    EXPECT_EQ(app.status_kind, status_attention);
    EXPECT_FALSE(app.catalog.has_value());
}

TEST_F(MainWindow, AReloadKeepsTheOpenProductAndAFailedOneKeepsTheLists)
{
    deliver_catalog(200, two_products);
    ASSERT_EQ(app.screen, screen_products);
    EXPECT_EQ(SendMessageW(app.product_list, LB_GETCOUNT, 0, 0), 2);
    open_product(app, 1);
    deliver_catalog(200, two_products);
    EXPECT_EQ(app.screen, screen_versions);
    EXPECT_EQ(app.selected_product, 1);
    deliver_catalog(0, "");
    EXPECT_EQ(app.selected_product, 1);
    EXPECT_EQ(SendMessageW(app.version_list, LB_GETCOUNT, 0, 0), 1);
}

// Answers every request with "no answer" and keeps what it was asked.
class RecordingTransport : public client::Transport {
public:
    client::HttpResponse send(const client::HttpRequest& request) override
    {
        requests.push_back(request);
        return client::failed_exchange("cannot connect");
    }
    std::vector<client::HttpRequest> requests;
};

bool has_header(const client::HttpRequest& request, const std::string& name)
{
    for (const auto& header : request.headers) {
        if (header.first == name)
            return true;
    }
    return false;
}

// Catalog loads run on this thread, so a request is seen at once and its reply waits in the
// queue; the site never answers. A current pass is stored.
class CatalogLoads : public MainWindow {
protected:
    std::shared_ptr<RecordingTransport> load_on_this_thread_with_a_pass()
    {
        set_thread_launcher([](ThreadEntry entry, void* argument) {
            entry(argument);
            return true;
        });
        auto transport = std::make_shared<RecordingTransport>();
        app.transport = transport;
        app.site_origin = "https://localhost:1";
        app.download_pass = "twdp_pass";
        app.pass_expires_at = GetTickCount64() + 60'000;
        return transport;
    }
};

TEST_F(CatalogLoads, AnEndedPassIsDroppedAndTheCatalogAskedForAgainWithoutIt)
{
    const auto transport = load_on_this_thread_with_a_pass();

    auto reply = std::make_unique<catalog::CatalogReply>();
    reply->status = 401;
    reply->pass_sent = true;
    SendMessageW(window, msg_catalog_reply, 0, reinterpret_cast<LPARAM>(reply.release()));

    EXPECT_TRUE(app.download_pass.empty());
    EXPECT_EQ(app.status_text, L"Your beta sign-in has ended. Sign in again for beta builds.");
    ASSERT_EQ(transport->requests.size(), 1u);
    EXPECT_FALSE(has_header(transport->requests[0], "Authorization"));

    pump_messages();
    EXPECT_EQ(app.status_text, L"Tarnwick can't be reached. Check the connection, then reopen the Installer.");
}

TEST_F(CatalogLoads, ACurrentPassRidesOnTheCatalogRequest)
{
    const auto transport = load_on_this_thread_with_a_pass();
    load_catalog(app);
    app.pass_expires_at = GetTickCount64();  // expired: kept, but no longer sent
    load_catalog(app);
    pump_messages();

    ASSERT_EQ(transport->requests.size(), 2u);
    EXPECT_EQ(transport->requests[0].headers.back(),
              (std::pair<std::string, std::string>("Authorization", "Bearer twdp_pass")));
    EXPECT_FALSE(has_header(transport->requests[1], "Authorization"));
}

}  // namespace
}  // namespace tw::app
