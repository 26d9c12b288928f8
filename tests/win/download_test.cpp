// The downloader against the dev site (devsite/server.py), started by
// tests/servers/run_with_devsite.py, whose request log shows what reached the site and where.
#include "client/tls_floor_win.h"
#include "client/winhttp_transport_win.h"
#include "download/file_names.h"
#include "download/downloader_win.h"
#include "download/staging_win.h"
#include "tests/support/test_support.h"

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using tw::download::discard_download;
using tw::download::download_file;
using tw::download::DownloadProgress;
using tw::download::DownloadRequest;
using tw::download::DownloadResult;
using tw::download::DownloadFailureKind;
using tw::download::DownloadOutcome;
using tw::test_support::exists;
using tw::test_support::pattern_byte;
using ::testing::AnyOf;
using ::testing::Each;
using ::testing::Eq;
using Json = nlohmann::json;

constexpr char installer_user_agent[] = "tarnwick-installer/1.0.0 (windows; release)";
constexpr wchar_t foreign_refusal[] = L"The download pointed somewhere other than Tarnwick's own addresses.";

std::string site_port()
{
    const char* value = std::getenv("TWI_TEST_SITE_PORT");
    return value ? value : "";
}

std::string site_url(const std::string& target, const std::string& host = "localhost")
{
    return "https://" + host + ":" + site_port() + target;
}

bool named_hosts()
{
    const char* value = std::getenv("TWI_TEST_NAMED_HOSTS");
    return value && std::string(value) == "1";
}

tw::client::HttpResponse site_call(const std::string& method, const std::string& target)
{
    static const auto transport = tw::client::platform::make_winhttp_transport();
    tw::client::HttpRequest request;
    request.method = method;
    request.url = site_url(target);
    return transport->send(request);
}

std::string granted_pass(int lifetime_s)
{
    const Json answer = Json::parse(site_call("POST", "/_dev/pass?lifetime=" + std::to_string(lifetime_s)).body,
                                    nullptr, false);
    return answer.is_object() ? answer.value("pass", "") : "";
}

struct Seen {
    std::string path;
    std::string host;
    std::string authorization;
};

// What reached the site since the test began (the log's own reads are not in it).
std::vector<Seen> seen()
{
    std::vector<Seen> requests;
    const Json log = Json::parse(site_call("GET", "/_dev/requests").body, nullptr, false);
    for (const Json& entry : log.is_array() ? log : Json::array()) {
        Seen request;
        request.path = entry.value("path", "");
        for (const Json& header : entry.value("headers", Json::array())) {
            const std::string name = header.at(0).get<std::string>();
            if (_stricmp(name.c_str(), "Host") == 0)
                request.host = header.at(1).get<std::string>();
            if (_stricmp(name.c_str(), "Authorization") == 0)
                request.authorization = header.at(1).get<std::string>();
        }
        requests.push_back(request);
    }
    return requests;
}

std::wstring staging_parent()
{
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    return tw::download::join_path(temp, L"TarnwickInstaller");
}

std::set<std::wstring> staging_folders()
{
    std::set<std::wstring> names;
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW((staging_parent() + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (std::wstring name = found.cFileName; name != L"." && name != L"..")
            names.insert(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

struct Progress {
    std::vector<std::int64_t> written;
    std::vector<std::int64_t> expected;
    DownloadProgress callable()
    {
        return [this](std::int64_t done, std::int64_t total) {
            written.push_back(done);
            expected.push_back(total);
        };
    }
};

// Every test starts with an empty site log and must end with no staging folder of its own left.
class Download : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(site_port().empty()) << "run through tests/servers/run_with_devsite.py";
        site_call("POST", "/_dev/reset");
        before_ = staging_folders();
    }

    void TearDown() override { EXPECT_EQ(staging_folders(), before_) << "a staging folder was left behind"; }

    static DownloadResult fetch(const std::string& url, const std::string& pass = "",
                                const std::string& site_host = "localhost", const std::wstring& name = L"setup.exe",
                                const DownloadProgress& progress = nullptr, const std::atomic<bool>* cancel = nullptr)
    {
        return download_file({url, site_host, installer_user_agent, pass, name}, progress, cancel);
    }

    // A failed download tells where it would have saved, yet nothing of it is on disk.
    static void expect_nothing_saved(const DownloadResult& result)
    {
        EXPECT_NE(result.outcome, DownloadOutcome::saved);
        EXPECT_FALSE(result.file.valid());
        if (!result.path.empty()) {
            EXPECT_FALSE(exists(result.path));
            EXPECT_FALSE(exists(tw::download::parent_folder(result.path)));
        }
    }

    static void release(DownloadResult& result)
    {
        result.file.reset();
        discard_download(result.path);
        EXPECT_FALSE(exists(tw::download::parent_folder(result.path)));
    }

    std::set<std::wstring> before_;
};

TEST_F(Download, SavesTheWholeFileHeldAgainstChange)
{
    Progress progress;
    DownloadResult result = fetch(site_url("/bytes/600000"), "", "localhost", L"setup.exe", progress.callable());
    ASSERT_EQ(result.outcome, DownloadOutcome::saved) << result.message;
    EXPECT_EQ(result.status, 200u);
    EXPECT_TRUE(result.message.empty());
    EXPECT_EQ(progress.written.back(), 600000);
    EXPECT_THAT(progress.expected, Each(Eq(600000)));

    std::string content(600001, '\0');
    DWORD read = 0;
    ASSERT_TRUE(ReadFile(result.file.get(), content.data(), 600001, &read, nullptr));
    ASSERT_EQ(read, 600000u);
    for (std::size_t i = 0; i < read; i += 4999)
        ASSERT_EQ(static_cast<unsigned char>(content[i]), pattern_byte(i)) << i;

    const HANDLE writer = CreateFileW(result.path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE) << "the held file could be opened for writing";
    if (writer != INVALID_HANDLE_VALUE)
        CloseHandle(writer);
    EXPECT_FALSE(DeleteFileW(result.path.c_str()));
    release(result);
}

TEST_F(Download, RedirectsOnTheSiteHostKeepThePassAndThePort)
{
    const std::string pass = granted_pass(600);
    DownloadResult result = fetch(site_url("/hops/5/bytes/100"), pass);
    ASSERT_EQ(result.outcome, DownloadOutcome::saved) << result.message;
    const auto requests = seen();
    ASSERT_EQ(requests.size(), 6u);  // five hops, absolute and "/"-relative by turns, then the file
    for (const Seen& request : requests) {
        EXPECT_EQ(request.host, "localhost:" + site_port()) << request.path;
        EXPECT_EQ(request.authorization, "Bearer " + pass) << request.path;
    }
    release(result);
}

TEST_F(Download, TheSixthRedirectFailsUnfollowed)
{
    const DownloadResult result = fetch(site_url("/hops/6/bytes/100"));
    expect_nothing_saved(result);
    EXPECT_EQ(result.message, L"The download moved too many times.");
    EXPECT_EQ(result.status, 302u);
    EXPECT_EQ(seen().size(), 6u);
}

TEST_F(Download, RefusedTargetsAreNeverContacted)
{
    const std::string port = site_port();
    const struct {
        std::string location;
        std::wstring message;
    } cases[] = {
        {"https://127.0.0.1:" + port + "/bytes/10", foreign_refusal},      // the same machine by another name
        {"https://downloads.localhost:" + port + "/bytes/10", foreign_refusal},
        {"https://localhost.:" + port + "/bytes/10", foreign_refusal},
        {"https://x@localhost:" + port + "/bytes/10", foreign_refusal},
        {"ftp://localhost:" + port + "/bytes/10", foreign_refusal},
        {"bytes/10", foreign_refusal},                                    // relative without "/" is not resolved
        {"", L"The download moved without saying where."},
    };
    for (const auto& c : cases) {
        site_call("POST", "/_dev/reset");
        const std::string moved = c.location.empty() ? "/moved" : "/moved?to=" + c.location;
        const DownloadResult result = fetch(site_url(moved));
        expect_nothing_saved(result);
        EXPECT_EQ(result.message, c.message) << c.location;
        EXPECT_EQ(result.status, 302u) << c.location;
        EXPECT_EQ(seen().size(), 1u) << c.location << ": the target was contacted";
    }
}

TEST_F(Download, RefusalsGiveTheirStatusAndCode)
{
    const struct {
        std::string target;
        std::uint32_t status;
        std::string code;
    } cases[] = {
        {"/refuse/429?code=RATE_LIMITED&retry=30", 429, "RATE_LIMITED"},
        {"/refuse/403?code=AGREEMENT_REQUIRED", 403, "AGREEMENT_REQUIRED"},
        {"/refuse/503", 503, ""},                                   // an HTML body has no code
        {"/downloads/none-such.exe", 404, "UNKNOWN_RESOURCE"},
        {"/downloads/guarded-beta.bin", 401, "INVALID_TOKEN"},      // a beta download without a pass
    };
    for (const auto& c : cases) {
        const DownloadResult result = fetch(site_url(c.target));
        expect_nothing_saved(result);
        EXPECT_TRUE(result.path.empty()) << c.target;
        EXPECT_EQ(result.status, c.status) << c.target;
        EXPECT_EQ(result.error_code, c.code) << c.target;
        EXPECT_EQ(result.message, L"The site answered " + std::to_wstring(c.status) + L".") << c.target;
    }
}

TEST_F(Download, BetaDownloadsTakeOnlyALivePass)
{
    const struct {
        int lifetime_s;
        std::uint32_t status;
    } cases[] = {{0, 401}, {600, 200}};
    for (const auto& c : cases) {
        DownloadResult result = fetch(site_url("/downloads/guarded-beta.bin"), granted_pass(c.lifetime_s));
        EXPECT_EQ(result.status, c.status) << c.lifetime_s;
        EXPECT_EQ(result.outcome == DownloadOutcome::saved, c.status == 200) << c.lifetime_s;
        if (result.outcome == DownloadOutcome::saved)
            release(result);
    }
}

TEST_F(Download, ABodyShortOfItsLengthLeavesNothing)
{
    const DownloadResult result = fetch(site_url("/bytes/1000?short=1"));
    expect_nothing_saved(result);
    EXPECT_FALSE(result.path.empty());
    // Wine ends a cut body with a normal 0-byte read; Windows may report the read as failed.
    EXPECT_THAT(result.message, AnyOf(Eq(L"The download ended early."), Eq(L"The download stopped part way.")));
}

TEST_F(Download, WithoutALengthEverythingIsSavedAgainstATotalOfZero)
{
    Progress progress;
    DownloadResult result = fetch(site_url("/bytes/300000?unsized=1"), "", "localhost", L"setup.exe",
                                  progress.callable());
    ASSERT_EQ(result.outcome, DownloadOutcome::saved) << result.message;
    EXPECT_EQ(progress.written.back(), 300000);
    EXPECT_THAT(progress.expected, Each(Eq(0)));
    release(result);
}

// The catalog's size bounds the body: an unsized one far past it is cut as too long; with the size
// as the limit, a longer announced length is refused before the body and no byte past it is read.
TEST_F(Download, TheCatalogsSizeBoundsTheBody)
{
    constexpr std::int64_t mib = 1 << 20;
    const struct {
        const char* name;
        const char* target;
        bool strict;
        bool ok;
        std::int64_t fetched_at_most;
    } cases[] = {
        {"unsized, far past the size", "/bytes/67108864?unsized=chunked", false, false, 2 * mib + 1},
        {"unsized, within the slack", "/bytes/1900000?unsized=1", false, true, 1900000},
        {"strict, a longer length", "/bytes/1048577", true, false, 0},
        {"strict, unsized, read up to the size", "/bytes/3000000?unsized=chunked", true, true, mib},
        {"strict, the exact length", "/bytes/1048576", true, true, mib},
    };
    for (const auto& c : cases) {
        DownloadRequest request{site_url(c.target), "localhost", installer_user_agent, "", L"setup.exe", mib, c.strict};
        DownloadResult result = download_file(request, nullptr, nullptr);
        EXPECT_EQ(result.outcome == DownloadOutcome::saved, c.ok) << c.name;
        EXPECT_LE(result.bytes_fetched, c.fetched_at_most) << c.name;
        EXPECT_EQ(result.failure, c.ok ? DownloadFailureKind::other : DownloadFailureKind::too_long) << c.name;
        if (result.outcome == DownloadOutcome::saved)
            release(result);
        else
            expect_nothing_saved(result);
    }
}

TEST_F(Download, CancelLeavesNothing)
{
    for (const bool before_first_read : {true, false}) {
        std::atomic<bool> cancel{before_first_read};
        Progress progress;
        const DownloadProgress cancel_on_progress = [&](std::int64_t done, std::int64_t total) {
            progress.callable()(done, total);
            cancel.store(true);
        };
        const DownloadResult result = fetch(site_url("/bytes/50000000?rate=2000000"), "", "localhost", L"setup.exe",
                                            cancel_on_progress, &cancel);
        expect_nothing_saved(result);
        EXPECT_EQ(result.outcome, DownloadOutcome::cancelled);
        EXPECT_TRUE(result.message.empty());
        EXPECT_EQ(progress.written.size(), before_first_read ? 0u : 1u);
    }
}

TEST_F(Download, AClimbingFileNameStaysInItsOwnFolder)
{
    DownloadResult result = fetch(site_url("/bytes/10"), "", "localhost", L"..\\..\\..\\Windows\\evil.exe");
    ASSERT_EQ(result.outcome, DownloadOutcome::saved) << result.message;
    const std::wstring folder = tw::download::parent_folder(result.path);
    EXPECT_EQ(tw::download::parent_folder(folder), staging_parent());
    EXPECT_EQ(result.path, folder + L"\\......Windowsevil.exe");
    release(result);
}

TEST_F(Download, EachDownloadHasAFolderOfItsOwn)
{
    DownloadResult first = fetch(site_url("/bytes/10"));
    DownloadResult second = fetch(site_url("/bytes/10"));
    ASSERT_EQ(first.outcome, DownloadOutcome::saved);
    ASSERT_EQ(second.outcome, DownloadOutcome::saved);
    const std::wstring folders[] = {tw::download::parent_folder(first.path), tw::download::parent_folder(second.path)};
    EXPECT_NE(folders[0], folders[1]);
    for (const std::wstring& folder : folders) {
        EXPECT_EQ(tw::download::parent_folder(folder), staging_parent());
        const std::wstring guid = folder.substr(folder.size() - 38);
        EXPECT_TRUE(guid.front() == L'{' && guid.back() == L'}' && guid[9] == L'-' && guid[24] == L'-') << guid;
        EXPECT_EQ(guid.find_first_not_of(L"{}-0123456789ABCDEF"), std::wstring::npos) << guid;
    }
    release(first);
    release(second);
}

TEST_F(Download, AFileOpenElsewhereSurvivesItsDiscard)
{
    DownloadResult result = fetch(site_url("/bytes/10"));
    ASSERT_EQ(result.outcome, DownloadOutcome::saved) << result.message;
    result.file.reset();
    const HANDLE reader = CreateFileW(result.path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                      nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    discard_download(result.path);
    EXPECT_TRUE(exists(result.path));
    CloseHandle(reader);
    release(result);
}

// A real-looking site, its names leading to this machine through the test's own hosts file.
TEST_F(Download, ThePassGoesToTheSiteHostOnly)
{
    if (!named_hosts())
        GTEST_SKIP() << "no hosts file of the test's own here";
    const std::string pass = granted_pass(600);
    const std::string file = site_url("/bytes/1000", "downloads.tarnwick.test");
    DownloadResult result = fetch(site_url("/moved?to=" + file, "tarnwick.test"), pass, "tarnwick.test");
    ASSERT_EQ(result.outcome, DownloadOutcome::saved) << result.message;
    const auto requests = seen();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].host, "tarnwick.test:" + site_port());
    EXPECT_EQ(requests[0].authorization, "Bearer " + pass);
    EXPECT_EQ(requests[1].host, "downloads.tarnwick.test:" + site_port());
    EXPECT_EQ(requests[1].authorization, "");
    release(result);
}

TEST_F(Download, ARealSiteRefusesPlainHttpAndLookAlikes)
{
    if (!named_hosts())
        GTEST_SKIP() << "no hosts file of the test's own here";
    const std::string port = site_port();
    for (const std::string& location : {"http://tarnwick.test:" + port + "/bytes/10",
                                       "http://downloads.tarnwick.test:" + port + "/bytes/10",
                                       "https://localhost:" + port + "/bytes/10"}) {
        site_call("POST", "/_dev/reset");
        const DownloadResult result = fetch(site_url("/moved?to=" + location, "tarnwick.test"), "", "tarnwick.test");
        expect_nothing_saved(result);
        EXPECT_EQ(result.message, foreign_refusal) << location;
        EXPECT_EQ(seen().size(), 1u) << location;
    }
}

// A cancel from another thread ends the download at once wherever it waits, not at its next
// time-out of 15 to 60 seconds (a handshake that never ends is tried through the window).
TEST_F(Download, ACancelEndsTheDownloadWhereverItWaits)
{
    const struct {
        const char* stage;
        std::string url;
        DWORD cancel_after_ms;
    } cases[] = {
        {"before the first request", site_url("/bytes/10"), 0},
        {"waiting for headers", site_url("/silent"), 700},
        {"waiting after redirects", site_url("/hops/3/silent"), 700},
        {"reading a trickle", site_url("/bytes/100000?rate=10"), 700},
    };
    for (const auto& c : cases) {
        site_call("POST", "/_dev/reset");
        std::atomic<bool> cancel{c.cancel_after_ms == 0};
        std::thread canceller([&] {
            Sleep(c.cancel_after_ms);
            cancel.store(true);
        });
        const ULONGLONG start = GetTickCount64();
        const DownloadResult result = fetch(c.url, "", "localhost", L"setup.exe", nullptr, &cancel);
        const ULONGLONG took = GetTickCount64() - start - c.cancel_after_ms;
        canceller.join();
        expect_nothing_saved(result);
        EXPECT_EQ(result.outcome, DownloadOutcome::cancelled) << c.stage;
        EXPECT_LT(took, 1000u) << c.stage;
        if (c.cancel_after_ms == 0) {
            EXPECT_TRUE(seen().empty()) << "a cancelled download sent a request";
        }
    }
}

// Only a request that carried the pass can say the pass has ended.
TEST_F(Download, TellsWhetherTheLastRequestCarriedThePass)
{
    const std::string ended = granted_pass(0);
    const struct {
        const char* what;
        std::string url, pass, site_host;
        bool pass_sent;
    } cases[] = {
        {"no pass", site_url("/downloads/guarded-beta.bin"), "", "localhost", false},
        {"an ended pass", site_url("/downloads/guarded-beta.bin"), ended, "localhost", true},
        {"a pass kept from the downloads host", site_url("/moved?to=" + site_url("/refuse/401", "downloads.tarnwick.test"),
                                                         "tarnwick.test"), ended, "tarnwick.test", false},
    };
    for (const auto& c : cases) {
        if (c.site_host != "localhost" && !named_hosts())
            continue;
        const DownloadResult result = fetch(c.url, c.pass, c.site_host);
        EXPECT_EQ(result.status, 401u) << c.what;
        EXPECT_EQ(result.pass_sent, c.pass_sent) << c.what;
    }
}

// The bar moves with what arrives: a file smaller than one buffer is not reported only when done.
TEST_F(Download, ProgressIsToldAsPiecesArrive)
{
    Progress progress;
    DownloadResult result = fetch(site_url("/bytes/200000?rate=400000"), "", "localhost", L"setup.exe",
                                  progress.callable());
    ASSERT_EQ(result.outcome, DownloadOutcome::saved) << result.message;
    EXPECT_GT(progress.written.size(), 2u);
    EXPECT_LT(progress.written.front(), 200000);
    EXPECT_EQ(progress.written.back(), 200000);
    release(result);
}

// The only option that goes through the seam.
BOOL WINAPI refuse_every_protocol(HINTERNET, DWORD, LPVOID, DWORD)
{
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

TEST_F(Download, NothingIsSentWhereTls12CannotBeRequired)
{
    tw::client::platform::set_session_option_setter(&refuse_every_protocol);
    const DownloadResult result = fetch(site_url("/bytes/10"));
    tw::client::platform::set_session_option_setter(nullptr);
    expect_nothing_saved(result);
    EXPECT_NE(result.outcome, DownloadOutcome::cancelled);
    EXPECT_EQ(result.status, 0u);
    EXPECT_TRUE(seen().empty());
}

// Against the scriptable servers' /resumable (tests/servers/scriptable_server.py): a download that
// breaks part way waits and tries again, from where it stopped when it may.
std::string scriptable_url(const std::string& target)
{
    return "https://localhost:" + std::string(std::getenv("TWI_TEST_HTTPS_PORT")) + target;
}

DownloadResult fetch_resumable(const std::string& tag, const std::string& script, const DownloadProgress& progress,
                               const std::atomic<bool>* cancel, const tw::download::ConnectionNotice& notice)
{
    return download_file({scriptable_url("/resumable?tag=" + tag + "&" + script), "localhost", installer_user_agent,
                          "", L"setup.exe"}, progress, cancel, notice);
}

// The Range and If-Range of each request the scriptable servers saw with `tag`.
std::vector<std::string> ranges_asked(const std::string& tag)
{
    static const auto transport = tw::client::platform::make_winhttp_transport();
    tw::client::HttpRequest request;
    request.method = "GET";
    request.url = scriptable_url("/seen?tag=" + tag);
    std::vector<std::string> asked;
    for (const Json& entry : Json::parse(transport->send(request).body)) {
        asked.emplace_back();
        for (const Json& header : entry.at("headers"))
            if (header.at(0) == "Range" || header.at(0) == "If-Range")
                asked.back() += header.at(1).get<std::string>() + " ";
    }
    return asked;
}

TEST_F(Download, ABrokenDownloadIsTriedAgainFromWhereItStopped)
{
    using tw::download::ConnectionState;
    const struct {
        const char* tag;
        std::string script;
        std::vector<std::string> asked;
        std::int64_t fetched;
    } cases[] = {
        {"ranged", "bytes=300000&cut=100000&etag=a", {"", "bytes=100000- \"a\" "}, 300000},
        {"changed", "bytes=300000&cut=100000&etag=a&etag_after=b", {"", "bytes=100000- \"a\" "}, 400000},
        {"unranged", "bytes=300000&cut=100000&etag=a&ranges=0", {"", ""}, 400000},
        {"always", "bytes=1000000&cut=100000&cuts=9&etag=a",
         {"", "bytes=100000- \"a\" ", "bytes=200000- \"a\" ", "bytes=300000- \"a\" "}, 400000},
    };
    for (const auto& c : cases) {
        Progress progress;
        std::vector<ConnectionState> notices;
        DownloadResult result = fetch_resumable(c.tag, c.script, progress.callable(), nullptr,
                                                [&](ConnectionState state) { notices.push_back(state); });
        EXPECT_EQ(ranges_asked(c.tag), c.asked) << c.tag;
        EXPECT_EQ(result.requests, static_cast<int>(c.asked.size())) << c.tag;
        EXPECT_EQ(result.bytes_fetched, c.fetched) << c.tag;
        EXPECT_EQ(notices.front(), ConnectionState::lost) << c.tag;
        if (c.asked.size() > 2) {  // the last try failed too
            expect_nothing_saved(result);
            continue;
        }
        EXPECT_EQ(notices.back(), ConnectionState::flowing) << c.tag;
        EXPECT_EQ(std::is_sorted(progress.written.begin(), progress.written.end()), c.fetched == 300000) << c.tag;
        std::string content(300001, '\0');
        DWORD read = 0;
        ASSERT_TRUE(ReadFile(result.file.get(), content.data(), 300001, &read, nullptr));
        ASSERT_EQ(read, 300000u) << c.tag;
        for (std::size_t i = 0; i < read; ++i)
            ASSERT_EQ(static_cast<unsigned char>(content[i]), pattern_byte(i)) << c.tag << " " << i;
        release(result);
    }
}

TEST_F(Download, TheWaitBeforeAnotherTryEndsAtACancel)
{
    std::atomic<bool> cancel{false};
    ULONGLONG lost_at = 0;
    const DownloadResult result = fetch_resumable("cancel", "bytes=300000&cut=100000&etag=a", nullptr, &cancel,
                                                  [&](auto) { lost_at = GetTickCount64(); cancel.store(true); });
    const ULONGLONG took = GetTickCount64() - lost_at;
    expect_nothing_saved(result);
    EXPECT_EQ(result.outcome, DownloadOutcome::cancelled);
    EXPECT_EQ(result.requests, 1);
    EXPECT_LT(took, 900u) << "the one-second wait ran out before the cancel was seen";
}

TEST_F(Download, ALengthBeyondTheFreeSpaceIsRefusedBeforeItsBody)
{
    Progress progress;
    const DownloadResult result =
        fetch_resumable("space", "length=1125899906842624", progress.callable(), nullptr, nullptr);  // 2^50
    expect_nothing_saved(result);
    EXPECT_EQ(result.failure, tw::download::DownloadFailureKind::not_enough_space);
    EXPECT_EQ(result.volume + L" " + std::to_wstring(result.needed_bytes), L"C:\\ 1125899906842624");
    EXPECT_EQ(result.bytes_fetched, 0);
    EXPECT_TRUE(progress.written.empty());
}

}  // namespace
