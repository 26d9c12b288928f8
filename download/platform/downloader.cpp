#include "download/platform/downloader.h"

#include "client/http_rules.h"
#include "client/platform/async_request.h"
#include "client/platform/proxy_access.h"
#include "client/platform/proxy_auth.h"
#include "client/platform/scoped_win.h"
#include "client/platform/support_log_file.h"
#include "client/platform/text.h"
#include "client/platform/tls_floor.h"
#include "download/address_policy.h"
#include "download/download_rules.h"
#include "download/file_names.h"
#include "download/platform/cracked_address.h"
#include "download/platform/staging.h"
#include "download/platform/staging_acl.h"
#include "download/platform/volume_space.h"
#include "download/resume_rules.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <new>
#include <optional>
#include <vector>

namespace tw::download {
namespace {

using client::platform::FileHandle;
using client::platform::InternetHandle;
using client::platform::narrow;
using client::platform::widen;

constexpr wchar_t network_unavailable[] = L"The network could not be opened.";
constexpr wchar_t no_modern_tls[] = L"The network would not promise TLS 1.2 or later.";
constexpr wchar_t foreign_address[] = L"The download pointed somewhere other than Tarnwick's own addresses.";
constexpr wchar_t unreadable_address[] = L"The download address could not be read.";
constexpr wchar_t not_started[] = L"The download could not be started.";
constexpr wchar_t site_unreachable[] = L"Tarnwick could not be reached.";
constexpr wchar_t no_location[] = L"The download moved without saying where.";
constexpr wchar_t too_many_moves[] = L"The download moved too many times.";
constexpr wchar_t no_folder[] = L"No folder could be made for the download.";
constexpr wchar_t not_saved[] = L"The download could not be saved.";
constexpr wchar_t stopped_part_way[] = L"The download stopped part way.";
constexpr wchar_t ended_early[] = L"The download ended early.";
constexpr wchar_t not_continued[] = L"The download could not be continued where it stopped.";
constexpr wchar_t no_space[] = L"There was not enough free space for the download.";
constexpr wchar_t not_held[] = L"The download could not be held for its checks.";
constexpr wchar_t not_protected[] = L"The download's folder could not be closed to other programs.";

constexpr DWORD resolve_timeout_ms = 15000;
constexpr DWORD connect_timeout_ms = 15000;
constexpr DWORD send_timeout_ms = 30000;
constexpr DWORD receive_timeout_ms = 60000;
// How long a closed request may take to let go before its connection and session close anyway:
// under Wine a request that waits on a silent server lets go only at its socket's time-out, and
// Close must still end the process within two seconds.
constexpr std::chrono::milliseconds close_grace{300};
// A cancel during the wait before another try is seen within this.
constexpr DWORD retry_wait_slice_ms = 50;

std::wstring text_header(HINTERNET request, DWORD info_level)
{
    DWORD size = 0;
    WinHttpQueryHeaders(request, info_level, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &size,
                        WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0)
        return {};
    std::wstring text(size / sizeof(wchar_t), L'\0');
    if (!WinHttpQueryHeaders(request, info_level, WINHTTP_HEADER_NAME_BY_INDEX, text.data(), &size,
                             WINHTTP_NO_HEADER_INDEX))
        return {};
    text.resize(size / sizeof(wchar_t));
    return text;
}

// Removes the staged file and its folder on the way out unless the download is kept.
class StagedFile {
public:
    explicit StagedFile(std::wstring path) : path_(std::move(path)) {}
    ~StagedFile()
    {
        if (!kept_)
            discard_download(path_);
    }
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    void keep() { kept_ = true; }

private:
    std::wstring path_;
    bool kept_ = false;
};

// One call of download_file. Each hop of a redirect chain gets its own connection and request;
// the session and the last hop's handles close when the call ends. WinHTTP runs asynchronously
// and this thread waits for each step in short slices, so a cancel ends the download at once at
// every stage: a synchronous call that waits on a server which took the request and never
// answers returns only at its time-out, and a closed window's process lived on until then.
class Download {
public:
    Download(const DownloadRequest& request, const DownloadProgress& progress, const std::atomic<bool>* cancel,
             const ConnectionNotice& notice)
        : request_(request), progress_(progress), cancel_(cancel), notice_(notice)
    {
    }

    DownloadResult run()
    {
        if (open_session() && fetch({})) {
            if (result_.status == 200)
                save_body();
            else
                read_error_body();
        }
        return std::move(result_);
    }

private:
    // How one try of the body ended. A broken try may be tried again; a failed one has its
    // failure or cancel recorded and ends the download.
    enum class TryEnd { whole, broken, failed };

    bool fail(const wchar_t* text)
    {
        result_.message = text;
        return false;
    }

    bool cancelled() const { return cancel_ && cancel_->load(); }

    bool stop_cancelled()
    {
        result_.cancelled = true;
        return false;
    }

    // A step that ended because of the cancel is not a fault of the network; one that failed on
    // a dropped, reset or stalled line is worth another try.
    bool step_failed(const std::string& error, const wchar_t* text)
    {
        if (error == client::platform::cancelled_step)
            return stop_cancelled();
        broken_ = is_passing_network_error(waiter_->failure());
        return fail(text);
    }

    TryEnd try_failed(const wchar_t* text)
    {
        fail(text);
        return TryEnd::failed;
    }

    TryEnd try_cancelled()
    {
        stop_cancelled();
        return TryEnd::failed;
    }

    TryEnd try_stopped(const std::string& error, const wchar_t* text)
    {
        step_failed(error, text);
        return broken_ ? TryEnd::broken : TryEnd::failed;
    }

    void tell(ConnectionState state)
    {
        if (notice_)
            notice_(state);
    }

    bool open_session()
    {
        const std::optional<CrackedAddress> first = crack_address(request_.url);
        const DWORD access = client::platform::session_access_type(first ? narrow(first->host) : std::string());
        session_.reset(WinHttpOpen(widen(request_.user_agent).c_str(), access, WINHTTP_NO_PROXY_NAME,
                                   WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC));
        if (!session_ || !client::platform::report_requests(session_.get()))
            return fail(network_unavailable);
        WinHttpSetTimeouts(session_.get(), resolve_timeout_ms, connect_timeout_ms, send_timeout_ms, receive_timeout_ms);
        if (!client::platform::require_modern_tls(session_.get()))
            return fail(no_modern_tls);
        return true;
    }

    // Follows redirects by hand so that every address is judged before it is connected to;
    // ends with the final answer's request open. `lines` go with every hop.
    bool fetch(const std::wstring& lines)
    {
        std::string current = request_.url;
        for (int hops = 0;; ++hops) {
            if (hops > max_redirects)
                return fail(too_many_moves);
            if (!is_allowed_download_url(current, request_.site_host))
                return fail(foreign_address);
            const std::optional<CrackedAddress> address = crack_address(current);
            if (!address)
                return fail(unreadable_address);
            if (!send(*address, lines))
                return false;
            result_.status = client::platform::response_status(request_handle_.get());
            const bool redirected = is_followed_redirect(result_.status);
            if (redirected || hops > 0)
                client::platform::log_step(client::support_log::HopStep{narrow(address->host), result_.status});
            if (!redirected)
                return true;
            const std::string location = narrow(text_header(request_handle_.get(), WINHTTP_QUERY_LOCATION));
            if (location.empty())
                return fail(no_location);
            current = redirect_target(address->secure, narrow(address->host), address->port, location);
        }
    }

    // The previous hop's request, then its connection, before a new one is made.
    void close_hop()
    {
        waiter_.reset();
        guard_.reset();
        context_.reset();
        connection_.reset();
    }

    bool open_hop(const CrackedAddress& address)
    {
        close_hop();
        if (cancelled())
            return stop_cancelled();
        connection_.reset(WinHttpConnect(session_.get(), address.host.c_str(), address.port, 0));
        if (!connection_)
            return fail(not_started);
        request_handle_.reset(WinHttpOpenRequest(connection_.get(), L"GET", address.path.c_str(), nullptr,
                                                 WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                 address.secure ? WINHTTP_FLAG_SECURE : 0));
        if (!request_handle_ || !client::platform::refuse_automatic_logon(request_handle_.get()))
            return fail(not_started);
        context_ = std::make_shared<client::platform::RequestContext>(file_buffer_size);
        context_value_ = client::platform::attach_context(request_handle_.get(), context_);
        if (context_value_ == 0)
            return fail(not_started);
        guard_.emplace(request_handle_, context_, close_grace);
        waiter_.emplace(*context_, client::platform::MonotonicClock::time_point::max(), cancel_);
        DWORD policy = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
        WinHttpSetOption(request_handle_.get(), WINHTTP_OPTION_REDIRECT_POLICY, &policy, sizeof policy);
        return true;
    }

    // One asynchronous step, waited for here; empty when it completed.
    template <class Start>
    std::string step(const char* name, Start start)
    {
        waiter_->begin();
        return waiter_->wait(name, start());
    }

    bool add_lines(const std::wstring& lines)
    {
        return lines.empty() || WinHttpAddRequestHeaders(request_handle_.get(), lines.c_str(), static_cast<DWORD>(-1),
                                                         WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE);
    }

    bool send(const CrackedAddress& address, const std::wstring& lines)
    {
        if (!open_hop(address))
            return false;
        result_.pass_sent = sends_pass(narrow(address.host), request_.site_host, request_.pass);
        if (result_.pass_sent && !add_lines(L"Authorization: Bearer " + widen(request_.pass)))
            return fail(not_started);
        if (!add_lines(lines))
            return fail(not_started);
        // A proxy that asks for the user's Windows sign-in gets it once, on the same handle; any
        // other 407 is the answer, which the window names.
        for (bool asked_before = false;; asked_before = true) {
            if (!exchange())
                return false;
            using client::platform::ProxyChallenge;
            if (client::platform::answer_proxy_challenge(request_handle_.get(), asked_before) !=
                ProxyChallenge::answered)
                return true;
        }
    }

    bool exchange()
    {
        HINTERNET request = request_handle_.get();
        const DWORD_PTR context = context_value_;
        ++result_.requests;
        std::string error = step("WinHttpSendRequest", [&] {
            return WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0,
                                      context);
        });
        if (error.empty())
            error = step("WinHttpReceiveResponse", [&] { return WinHttpReceiveResponse(request, nullptr); });
        return error.empty() || step_failed(error, site_unreachable);
    }

    // How many bytes have arrived and can be read without waiting; 0 at the end of the body.
    std::string available(DWORD& bytes)
    {
        HINTERNET request = request_handle_.get();
        const std::string error =
            step("WinHttpQueryDataAvailable", [&] { return WinHttpQueryDataAvailable(request, nullptr); });
        bytes = error.empty() ? waiter_->bytes() : 0;
        return error;
    }

    // Reads up to `wanted` bytes into the request's own buffer at `offset`.
    std::string read(std::size_t offset, DWORD wanted, DWORD& bytes)
    {
        HINTERNET request = request_handle_.get();
        char* into = context_->buffer.data() + offset;
        const std::string error =
            step("WinHttpReadData", [&] { return WinHttpReadData(request, into, wanted, nullptr); });
        bytes = error.empty() ? std::min<DWORD>(waiter_->bytes(), wanted) : 0;
        return error;
    }

    void read_error_body()
    {
        std::string body;
        while (body.size() < error_body_limit) {
            DWORD ready = 0;
            DWORD got = 0;
            if (!available(ready).empty() || ready == 0 ||
                !read(0, std::min<DWORD>(ready, error_body_chunk), got).empty() || got == 0)
                break;
            body.append(context_->buffer.data(), got);
        }
        result_.error_code = error_code_of(body);
        result_.message = L"The site answered " + std::to_wstring(result_.status) + L".";
    }

    FirstAnswer answer_facts() const
    {
        HINTERNET request = request_handle_.get();
        return {parse_content_length(narrow(text_header(request, WINHTTP_QUERY_CONTENT_LENGTH))),
                accepts_byte_ranges(narrow(text_header(request, WINHTTP_QUERY_ACCEPT_RANGES))),
                narrow(text_header(request, WINHTTP_QUERY_ETAG)),
                narrow(text_header(request, WINHTTP_QUERY_LAST_MODIFIED))};
    }

    void save_body()
    {
        first_ = answer_facts();
        const StagingFolder folder = make_staging_folder();
        if (folder.path.empty()) {
            if (folder.failure == StagingFailure::unsafe)
                result_.failure = DownloadFailureKind::unsafe_staging;
            fail(no_folder);
            return;
        }
        result_.path = join_path(folder.path, sanitise_file_name(request_.file_name));
        StagedFile staged(result_.path);
        if (room_for(first_.length) && write_all() && hold_for_checks() && close_folder())
            staged.keep();
    }

    // Asked once the length is known and before any of the body is read: a file that cannot fit
    // failed only after minutes of downloading, with a sentence about the connection.
    bool room_for(std::int64_t length)
    {
        const std::optional<std::uint64_t> free = free_bytes_of(parent_folder(result_.path));
        return !free || fits_free_space(length, *free) || out_of_space(length);
    }

    bool out_of_space(std::int64_t length)
    {
        result_.failure = DownloadFailureKind::not_enough_space;
        result_.volume = volume_of(parent_folder(result_.path));
        result_.needed_bytes = length;
        return fail(no_space);
    }

    // The first answer's body, then up to max_retries more tries of what is missing.
    bool write_all()
    {
        FileHandle file(CreateFileW(result_.path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid())
            return fail(not_saved);
        result_.tries = 1;
        TryEnd end = write_body(file.get());
        for (int retry = 1; end == TryEnd::broken && retry <= max_retries; ++retry) {
            end = wait_to_retry(retry) ? try_again(file.get()) : TryEnd::failed;
            ++result_.tries;
        }
        return end == TryEnd::whole;
    }

    bool wait_to_retry(int retry)
    {
        close_hop();
        if (!lost_)
            tell(ConnectionState::lost);
        lost_ = true;
        const ULONGLONG until = GetTickCount64() + static_cast<ULONGLONG>(wait_before_retry_ms(retry));
        while (!cancelled() && GetTickCount64() < until)
            Sleep(retry_wait_slice_ms);
        return !cancelled() || stop_cancelled();
    }

    // Asks again through the same address checks, redirects and pass rules as the first request,
    // for the rest of the file where the server allows it, and takes up the body from there.
    TryEnd try_again(HANDLE file)
    {
        const RetryAsk ask = plan_retry(first_, written_);
        result_.message.clear();
        broken_ = false;
        std::wstring lines;
        if (ask.from > 0)
            lines = L"Range: " + widen(ask.range) + L"\r\nIf-Range: " + widen(ask.if_range);
        if (!fetch(lines))
            return broken_ ? TryEnd::broken : TryEnd::failed;
        HINTERNET request = request_handle_.get();
        switch (judge_retry_answer(ask, first_, result_.status, narrow(text_header(request, WINHTTP_QUERY_CONTENT_RANGE)),
                                   narrow(text_header(request, WINHTTP_QUERY_ETAG)))) {
        case RetryVerdict::continue_at_kept:
            return write_body(file);
        case RetryVerdict::restart:
            return restart(file);
        case RetryVerdict::fail:
            break;
        }
        if (result_.status == 206)
            return try_failed(not_continued);
        read_error_body();
        return TryEnd::failed;
    }

    // A whole new answer: the kept bytes may be of another file, so they go.
    TryEnd restart(HANDLE file)
    {
        first_ = answer_facts();
        written_ = 0;
        const LARGE_INTEGER start{};
        if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN) || !SetEndOfFile(file))
            return try_failed(not_saved);
        if (!room_for(first_.length))
            return TryEnd::failed;
        return write_body(file);
    }

    TryEnd write_body(HANDLE file)
    {
        const std::vector<char>& buffer = context_->buffer;
        const std::int64_t expected = first_.length;
        if (cancelled())
            return try_cancelled();
        for (;;) {
            // Never past the announced length: whatever a server sends beyond it is not the file.
            const auto room = static_cast<DWORD>(
                expected >= 1 ? std::min<std::int64_t>(buffer.size(), expected - written_) : buffer.size());
            DWORD filled = 0;
            std::string error;
            const bool last = !fill(room, filled, expected, error);
            if (!error.empty())
                return try_stopped(error, stopped_part_way);
            if (filled > 0) {
                if (!store(file, buffer.data(), filled))
                    return TryEnd::failed;
                written_ += filled;
            }
            if (cancelled())
                return try_cancelled();
            if (last || filled == 0)
                break;
        }
        if (expected >= 1 && written_ != expected) {
            fail(ended_early);
            return TryEnd::broken;  // Wine ends a cut body with a clean 0-byte read
        }
        return TryEnd::whole;
    }

    bool store(HANDLE file, const char* bytes, DWORD count)
    {
        DWORD stored = 0;
        if (WriteFile(file, bytes, count, &stored, nullptr) && stored == count)
            return true;
        const DWORD error = GetLastError();
        if (error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL)
            return out_of_space(first_.length >= 1 ? first_.length : written_ + count);
        return fail(not_saved);
    }

    // Fills up to `room` bytes of the request's buffer, one read at a time, telling progress
    // after every read so that the bar moves on a slow line and for a file smaller than the
    // buffer, not only once a buffer is full. False once the body ended.
    bool fill(DWORD room, DWORD& filled, std::int64_t expected, std::string& error)
    {
        while (filled < room) {
            const DWORD wanted = std::min(read_size_, room - filled);
            const ULONGLONG start = GetTickCount64();
            DWORD got = 0;
            error = read(filled, wanted, got);
            if (!error.empty() || got == 0)
                return false;
            read_size_ = next_read_size(wanted < read_size_ ? read_size_ : wanted, got,
                                        static_cast<std::int64_t>(GetTickCount64() - start));
            filled += got;
            result_.bytes_fetched += got;
            if (lost_) {
                lost_ = false;
                tell(ConnectionState::flowing);
            }
            if (progress_)
                progress_(written_ + filled, expected);
            if (cancelled()) {
                error = client::platform::cancelled_step;
                return false;
            }
        }
        return true;
    }

    bool hold_for_checks()
    {
        result_.file.reset(CreateFileW(result_.path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!result_.file.valid())
            return fail(not_held);
        result_.ok = true;
        return true;
    }

    // The setup runs elevated from this folder and loads DLLs from it: from here on no program of
    // the user may add a file to it. The folder was made closed to everyone else; this takes the
    // right to add a file away from the user too.
    bool close_folder()
    {
        if (protect_staging_folder(result_.path))
            return true;
        result_.ok = false;
        result_.file.reset();
        result_.failure = DownloadFailureKind::unsafe_staging;
        return fail(not_protected);
    }

    const DownloadRequest& request_;
    const DownloadProgress& progress_;
    const std::atomic<bool>* cancel_;
    const ConnectionNotice& notice_;
    DownloadResult result_;
    FirstAnswer first_;
    std::int64_t written_ = 0;  // bytes kept in the staged file
    bool broken_ = false;       // the last failure was of the line, worth another try
    bool lost_ = false;         // waiting to try again, or tried and no byte came yet
    InternetHandle session_;
    InternetHandle connection_;
    InternetHandle request_handle_;
    std::shared_ptr<client::platform::RequestContext> context_;
    DWORD_PTR context_value_ = 0;
    DWORD read_size_ = first_read_size;
    // Declared last, so the request closes first and the connection and session only after it.
    std::optional<client::platform::RequestGuard> guard_;
    std::optional<client::platform::StepWaiter> waiter_;
};

}  // namespace

DownloadResult download_file(const DownloadRequest& request, const DownloadProgress& progress,
                             const std::atomic<bool>* cancel, const ConnectionNotice& notice)
{
    try {
        return Download(request, progress, cancel, notice).run();
    } catch (const std::bad_alloc&) {
        // Whatever was staged has been removed on the way out.
        DownloadResult result;
        result.message = not_saved;
        return result;
    }
}

}  // namespace tw::download
