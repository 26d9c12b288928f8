// The real main window, created in this process with no site set, driven by its own messages.
#include "app/main_window_win.h"
#include "tests/win/main_window_probe.h"
#include "app/messages_win.h"
#include "app/texts.h"
#include "app/translation.h"
#include "app/workers_win.h"
#include "client/http.h"
#include "client/scoped_win.h"
#include "client/support_log_file_win.h"
#include "client/system_clock_win.h"
#include "client/winhttp_transport_win.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstdlib>
#include <ctime>
#include <set>
#include <string_view>

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

using test_support::pump_messages;

std::string two_products_document();

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(MainWindow::register_class(GetModuleHandleW(nullptr)));
        SiteConnection site;
        site.host = "localhost";
        window = MainWindow::create(GetModuleHandleW(nullptr), std::move(site));
        ASSERT_NE(window, nullptr);
        main = MainWindow::of(window);
        pump_messages();
    }

    void TearDown() override
    {
        set_thread_launcher(nullptr);
        if (IsWindow(window))
            DestroyWindow(window);
        pump_messages();
    }

    void report_and_pump(WorkerReport report)
    {
        hand_report({window, MainWindowProbe::site(*main).reports}, std::move(report));
        pump_messages();
    }

    void deliver_catalog(std::uint32_t status, std::string body, bool pass_sent = false)
    {
        catalog::CatalogReply reply;
        reply.status = status;
        reply.body = std::move(body);
        reply.pass_sent = pass_sent;
        report_and_pump(std::move(reply));
    }

    WindowModel& model() { return MainWindowProbe::model(*main); }
    const ui::Controls& controls() const { return main->view().controls; }

    HWND window = nullptr;
    MainWindow* main = nullptr;
};

// Every button and list a user can see and use is reached by Tab, on both screens.
TEST_F(MainWindowTest, HasItsClassAndTitleAndTabReachesEveryShownControl)
{
    wchar_t class_name[64] = {};
    GetClassNameW(window, class_name, 64);
    EXPECT_STREQ(class_name, L"TarnwickInstaller");
    EXPECT_EQ(window_text(window), L"Tarnwick Installer");

    const auto expect_all_reachable = [this](const char* screen) {
        std::set<HWND> reached;
        HWND first = GetNextDlgTabItem(window, nullptr, FALSE);
        for (HWND at = first; at && reached.insert(at).second;)
            at = GetNextDlgTabItem(window, at, FALSE);
        for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            wchar_t kind[16] = {};
            GetClassNameW(child, kind, 16);
            const bool usable = IsWindowVisible(child) && IsWindowEnabled(child) &&
                                (std::wstring_view(kind) == L"Button" || std::wstring_view(kind) == L"ListBox");
            if (usable) {
                EXPECT_TRUE(reached.count(child)) << screen << ": " << GetDlgCtrlID(child);
            }
        }
        EXPECT_FALSE(reached.empty()) << screen;
    };
    ShowWindow(window, SW_SHOW);
    deliver_catalog(200, two_products_document());
    expect_all_reachable("products");
    main->open_product(0);
    expect_all_reachable("versions");
}

TEST_F(MainWindowTest, WithoutASiteSaysSoAndStartsNoLoad)
{
    EXPECT_EQ(in_english(model().status.text), L"No site is set. A development build needs TWI_SITE, such as https://localhost:7180.");
    EXPECT_EQ(model().status.kind, StatusKind::attention);
    EXPECT_FALSE(model().catalog.has_value());
}

TEST_F(MainWindowTest, TheDefaultIdIsTheFocusedButtonOrElseTheScreensAction)
{
    SetFocus(controls().product_list);
    EXPECT_EQ(SendMessageW(window, DM_GETDEFID, 0, 0), MAKELONG(113, DC_HASDEFID));
    model().screen = Screen::versions;
    EXPECT_EQ(SendMessageW(window, DM_GETDEFID, 0, 0), MAKELONG(111, DC_HASDEFID));
    ShowWindow(controls().close_button, SW_SHOW);
    SetFocus(controls().close_button);
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

TEST_F(MainWindowTest, WindowIconsAreDrawnForTheWindowDpiAndRedrawnWhenItChanges)
{
    const auto window_icon_width = [this](WPARAM kind) {
        return icon_width(reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, kind, 0)));
    };
    EXPECT_EQ(window_icon_width(ICON_BIG), GetSystemMetricsForDpi(SM_CXICON, main->view().dpi));
    EXPECT_EQ(window_icon_width(ICON_SMALL), GetSystemMetricsForDpi(SM_CXSMICON, main->view().dpi));

    RECT suggested;
    GetWindowRect(window, &suggested);
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(main->view().dpi, 144);
    EXPECT_EQ(window_icon_width(ICON_BIG), GetSystemMetricsForDpi(SM_CXICON, 144));
    EXPECT_EQ(window_icon_width(ICON_SMALL), GetSystemMetricsForDpi(SM_CXSMICON, 144));
    EXPECT_EQ(window_icon_width(ICON_SMALL), 24);

    // The layout follows: 560 units of client width at 144 DPI.
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 840);
}

// --- Closing while work runs -------------------------------------------------------------

TEST_F(MainWindowTest, ClosingWithNothingRunningDestroysTheWindow)
{
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(MainWindowTest, ClosingWhileTheInstallerIsOpenKeepsTheWindowAndSaysWhy)
{
    model().running = JobKind::install;
    MainWindowProbe::work(*main).download = std::make_shared<DownloadJobState>();
    MainWindowProbe::work(*main).download->gate.store(SetupGate::running);
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_FALSE(model().close_requested);
    EXPECT_FALSE(MainWindowProbe::work(*main).download->cancel.load());
    EXPECT_EQ(in_english(model().status.text), L"Finish the installer's own window first.");
    EXPECT_EQ(model().status.kind, StatusKind::attention);
}

TEST_F(MainWindowTest, ClosingDuringADownloadHidesAndCancelsThenTheResultDestroys)
{
    ShowWindow(window, SW_SHOW);
    model().running = JobKind::install;
    const auto job = std::make_shared<DownloadJobState>();
    MainWindowProbe::work(*main).download = job;
    model().status = {text::downloading, StatusKind::information};
    SendMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(IsWindow(window));
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_TRUE(model().close_requested);
    EXPECT_TRUE(job->cancel.load());
    EXPECT_EQ(job->gate.load(), SetupGate::cancelled);

    report_and_pump(WorkResult{});
    EXPECT_FALSE(IsWindow(window));
}

// A worker held up in a check that cannot be stopped does not hold the closed window for long.
TEST_F(MainWindowTest, AClosedWindowGoesWithinItsDeadlineWhenTheWorkNeverReports)
{
    model().running = JobKind::install;
    MainWindowProbe::work(*main).download = std::make_shared<DownloadJobState>();
    SendMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(IsWindow(window));
    const ULONGLONG closed = GetTickCount64();
    for (MSG message; IsWindow(window) && GetTickCount64() - closed < 2000;) {
        if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        else
            Sleep(10);
    }
    EXPECT_FALSE(IsWindow(window)) << "still there 2 s after Close";
}

TEST_F(MainWindowTest, ClosingDuringASignInWaitsForItsCancelledResult)
{
    model().signing_in = true;
    const auto sign_in = std::make_shared<SignInJobState>();
    MainWindowProbe::work(*main).sign_in = sign_in;
    SendMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(IsWindow(window));
    EXPECT_TRUE(sign_in->cancel.load());
    report_and_pump(SignInEnd{client::SignInOutcome::cancelled, {}, 0});
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(sign_in.use_count() > 1);
}

// The window goes only with the last of its workers, in whichever order they report.
TEST_F(MainWindowTest, ClosingWithTwoWorkersWaitsForBoth)
{
    for (const bool download_first : {true, false}) {
        if (!IsWindow(window))
            SetUp();
        model().running = JobKind::install;
        MainWindowProbe::work(*main).download = std::make_shared<DownloadJobState>();
        model().signing_in = true;
        SendMessageW(window, WM_CLOSE, 0, 0);
        if (download_first)
            report_and_pump(WorkResult{});
        else
            report_and_pump(SignInEnd{client::SignInOutcome::cancelled, {}, 0});
        EXPECT_TRUE(IsWindow(window)) << download_first;
        if (download_first)
            report_and_pump(SignInEnd{client::SignInOutcome::cancelled, {}, 0});
        else
            report_and_pump(WorkResult{});
        EXPECT_FALSE(IsWindow(window)) << download_first;
    }
}

// --- Workers and their records -----------------------------------------------------------

// A worker that reports after the window has gone hands its report to the queue it holds, which
// the window no longer shares; the report goes with that last holder.
TEST_F(MainWindowTest, AReportToAWindowThatIsGoneStaysWithTheQueue)
{
    const auto reports = MainWindowProbe::site(*main).reports;
    DestroyWindow(window);
    pump_messages();
    EXPECT_EQ(reports.use_count(), 1);
    hand_report({window, reports}, WorkResult{});
    EXPECT_EQ(reports->take_all().size(), 1u);
    EXPECT_TRUE(reports->take_all().empty());
}

TEST_F(MainWindowTest, ProgressIsHandedInThousandthsOnlyForAKnownTotal)
{
    const ReportTarget target{window, std::make_shared<ReportQueue>()};
    post_progress(target, 50, 200);
    const auto reports = target.queue->take_all();
    ASSERT_TRUE(reports.size() == 1 && std::holds_alternative<ProgressReport>(reports.front()));
    EXPECT_EQ(std::get<ProgressReport>(reports.front()).per_mille, 250);
    post_progress(target, 50, 0);
    post_progress(target, 50, -1);
    EXPECT_TRUE(target.queue->take_all().empty());
}

TEST_F(MainWindowTest, AThreadThatCannotBeCreatedEndsInAMessage)
{
    set_thread_launcher([](ThreadEntry, void*) { return false; });
    MainWindowProbe::site(*main).origin = "https://localhost:1";
    main->load_catalog();
    EXPECT_EQ(model().status.text, Sentence(text::worker_failed));
    EXPECT_EQ(model().status.kind, StatusKind::attention);
}

TEST_F(MainWindowTest, PressingSignInTwiceStartsOneSignIn)
{
    // Runs each worker at once on this thread: with no site set it ends before any request.
    static int launches;
    launches = 0;
    set_thread_launcher([](ThreadEntry entry, void* argument) {
        ++launches;
        entry(argument);
        return true;
    });
    MainWindowProbe::site(*main).transport = client::platform::make_winhttp_transport();
    model().approval_url = "https://localhost/installer/approve?code=OLD0-CODE";
    main->start_sign_in();
    EXPECT_EQ(model().approval_url, "");  // "Open the browser again" waits for the new code
    main->start_sign_in();
    EXPECT_EQ(launches, 1);
    pump_messages();
    EXPECT_FALSE(model().signing_in);
    EXPECT_EQ(model().status.text, Sentence(text::sign_in_failed));
    main->start_sign_in();
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

// --- The support log while the process ends ---------------------------------------------

constexpr char after_exit_marker[] = "logged after static destruction";

std::size_t lines_with_marker()
{
    PWSTR raw = nullptr;
    constexpr KNOWNFOLDERID local_app_data{0xf1b32785, 0x6fba, 0x4fcf, {0x9d, 0x55, 0x7b, 0x8e, 0x7f, 0x15, 0x70, 0x91}};
    if (FAILED(SHGetKnownFolderPath(local_app_data, 0, nullptr, &raw)))
        return 0;
    const client::platform::CoTaskMemory<wchar_t> local(raw);
    const std::wstring path = std::wstring(raw) + L"\\TarnwickInstaller\\Logs\\installer.log";
    const client::platform::FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string text(4u << 20, '\0');
    DWORD read = 0;
    if (!file || !ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &read, nullptr))
        return 0;
    text.resize(read);
    std::size_t count = 0;
    for (auto at = text.find(after_exit_marker); at != std::string::npos; at = text.find(after_exit_marker, at + 1))
        ++count;
    return count;
}

void log_marker() { client::platform::log_step(client::support_log::OutcomeStep{after_exit_marker}); }

// A detached worker may log while the process ends. An exit handler registered before the log's
// first line runs after the log's statics would have been destroyed, as such a worker does.
TEST(SupportLogFile, AStepLoggedAfterStaticDestructionIsStillWritten)
{
    const std::size_t before = lines_with_marker();
    EXPECT_EXIT(
        {
            std::atexit(log_marker);
            client::platform::log_step(client::support_log::OutcomeStep{"first line of a process that ends"});
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(lines_with_marker(), before + 1);
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

std::string two_products_document() { return two_products; }

TEST_F(MainWindowTest, RepliesThatCarryNoCatalogLeaveAnAttentionMessage)
{
    deliver_catalog(0, "");
    EXPECT_EQ(in_english(model().status.text), L"Tarnwick can't be reached. Check the connection, then reopen the Installer.");
    deliver_catalog(503, R"({"error":{"code":"UNAVAILABLE"}})");
    EXPECT_EQ(in_english(model().status.text), L"Tarnwick didn't answer as expected. Try again in a few minutes.");
    deliver_catalog(200, "{not json");
    EXPECT_EQ(in_english(model().status.text), L"Tarnwick didn't answer as expected. Try again in a few minutes.");
    deliver_catalog(401, "", false);
    EXPECT_EQ(in_english(model().status.text), L"Tarnwick didn't answer as expected. Try again in a few minutes.");
    EXPECT_EQ(model().status.kind, StatusKind::attention);
    EXPECT_FALSE(model().catalog.has_value());
}

TEST_F(MainWindowTest, AReloadKeepsTheOpenProductAndAFailedOneKeepsTheLists)
{
    deliver_catalog(200, two_products);
    ASSERT_EQ(model().screen, Screen::products);
    EXPECT_EQ(SendMessageW(controls().product_list, LB_GETCOUNT, 0, 0), 2);
    main->open_product(1);
    deliver_catalog(200, two_products);
    EXPECT_EQ(model().screen, Screen::versions);
    EXPECT_EQ(model().selected_product, 1);
    deliver_catalog(0, "");
    EXPECT_EQ(model().selected_product, 1);
    EXPECT_EQ(SendMessageW(controls().version_list, LB_GETCOUNT, 0, 0), 1);
}

// Answers every request with "no answer" and keeps what it was asked.
class RecordingTransport : public client::testing::CannedTransport {
public:
    RecordingTransport() : CannedTransport(client::failed_exchange("cannot connect")) {}
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
class CatalogLoads : public MainWindowTest {
protected:
    std::shared_ptr<RecordingTransport> load_on_this_thread_with_a_pass()
    {
        set_thread_launcher([](ThreadEntry entry, void* argument) {
            entry(argument);
            return true;
        });
        auto transport = std::make_shared<RecordingTransport>();
        MainWindowProbe::site(*main).transport = transport;
        MainWindowProbe::site(*main).origin = "https://localhost:1";
        model().pass = {"twdp_pass", GetTickCount64() + 60'000};
        return transport;
    }
};

TEST_F(CatalogLoads, AnEndedPassIsDroppedAndTheCatalogAskedForAgainWithoutIt)
{
    const auto transport = load_on_this_thread_with_a_pass();

    auto reply = std::make_unique<catalog::CatalogReply>();
    reply->status = 401;
    reply->pass_sent = true;
    MainWindowProbe::site(*main).reports->hand_in(std::move(*reply));
    SendMessageW(window, msg_reports_waiting, 0, 0);

    EXPECT_TRUE(model().pass.token.empty());
    EXPECT_EQ(in_english(model().status.text), L"Your beta sign-in has ended. Sign in again for beta builds.");
    ASSERT_EQ(transport->sent.size(), 1u);
    EXPECT_FALSE(has_header(transport->sent[0], "Authorization"));

    pump_messages();
    EXPECT_EQ(in_english(model().status.text), L"Tarnwick can't be reached. Check the connection, then reopen the Installer.");
}

TEST_F(CatalogLoads, ACurrentPassRidesOnTheCatalogRequest)
{
    const auto transport = load_on_this_thread_with_a_pass();
    main->load_catalog();
    model().pass.usable_until_ms = GetTickCount64();  // expired: kept, but no longer sent
    main->load_catalog();
    pump_messages();

    ASSERT_EQ(transport->sent.size(), 2u);
    EXPECT_EQ(transport->sent[0].headers.back(),
              (std::pair<std::string, std::string>("Authorization", "Bearer twdp_pass")));
    EXPECT_FALSE(has_header(transport->sent[1], "Authorization"));
}

}  // namespace
}  // namespace tw::app
