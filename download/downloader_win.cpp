#include "download/downloader_win.h"

#include "client/http_rules.h"
#include "client/scoped_win.h"
#include "client/support_log_file_win.h"
#include "client/text_win.h"
#include "client/winhttp_request_win.h"
#include "download/download_rules.h"
#include "download/file_names.h"
#include "download/staging_win.h"
#include "download/staging_acl_win.h"
#include "download/volume_space_win.h"
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
constexpr wchar_t too_long[] = L"The download ran past the size the catalog gives for it.";

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

// One call of download_file: the first request, its body written into a fresh staging folder, and
// the tries after a break, all through one WinHttpRequest. It judges every hop of a redirect chain
// and waits for each asynchronous step in short slices, so a cancel ends the download at once at
// every stage: a synchronous call that waits on a server which took the request and never
// answers returns only at its time-out, and a closed window's process lived on until then. A
// break closes the hop before the wait for the next try; the rest closes when the call ends.
class Download {
public:
    Download(const DownloadRequest& request, const DownloadProgress& progress, const std::atomic<bool>* cancel,
             const ConnectionNotice& notice)
        : request_(request), progress_(progress), cancel_(cancel), notice_(notice), winhttp_(rules_for(request, cancel))
    {
    }

    DownloadResult run()
    {
        if (fetch({})) {
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
        result_.outcome = DownloadOutcome::cancelled;
        return false;
    }

    // A step that ended because of the cancel is not a fault of the network; one that failed on
    // a dropped, reset or stalled line is worth another try.
    bool step_failed(client::platform::StepEnd end, const wchar_t* text)
    {
        if (end == client::platform::StepEnd::cancelled)
            return stop_cancelled();
        broken_ = is_passing_network_error(winhttp_.win32_failure());
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

    TryEnd try_stopped(client::platform::StepEnd end, const wchar_t* text)
    {
        step_failed(end, text);
        return broken_ ? TryEnd::broken : TryEnd::failed;
    }

    void tell(ConnectionState state)
    {
        if (notice_)
            notice_(state);
    }

    static client::platform::RequestRules rules_for(const DownloadRequest& request, const std::atomic<bool>* cancel)
    {
        client::platform::RequestRules rules;
        rules.agent = widen(request.user_agent);
        rules.site_host = request.site_host;
        rules.judge_first = true;
        rules.resolve_ms = resolve_timeout_ms;
        rules.connect_ms = connect_timeout_ms;
        rules.send_ms = send_timeout_ms;
        rules.receive_ms = receive_timeout_ms;
        rules.cancel = cancel;
        rules.close_grace = close_grace;
        rules.buffer_size = file_buffer_size;
        rules.on_hop = [](const std::string& host, std::uint32_t status) {
            client::platform::log_step(client::support_log::HopStep{host, status});
        };
        return rules;
    }

    // Every hop is judged before it is connected to; ends with the final answer's request open.
    // `lines` go with every hop, the pass only to the site host.
    bool fetch(const std::vector<std::wstring>& lines)
    {
        client::platform::Ask ask;
        ask.url = request_.url;
        ask.lines = lines;
        if (sends_pass(request_.site_host, request_.site_host, request_.pass))
            ask.pass_lines.push_back(L"Authorization: Bearer " + widen(request_.pass));
        const bool answered = winhttp_.fetch(ask);
        result_.status = winhttp_.status();
        result_.pass_sent = winhttp_.pass_sent();
        result_.through_proxy = winhttp_.through_proxy();
        result_.requests = winhttp_.requests();
        return answered || fetch_failed();
    }

    bool fetch_failed()
    {
        using client::platform::RequestFailure;
        switch (winhttp_.failure()) {
        case RequestFailure::none:
            return true;
        case RequestFailure::session:
            return fail(network_unavailable);
        case RequestFailure::tls_floor:
            return fail(no_modern_tls);
        case RequestFailure::address:
            return fail(unreadable_address);
        case RequestFailure::not_started:
            return fail(not_started);
        case RequestFailure::cancelled:
            return stop_cancelled();
        case RequestFailure::unreachable:
            return step_failed(client::platform::StepEnd::failed, site_unreachable);
        case RequestFailure::foreign_hop:
            return fail(foreign_address);
        case RequestFailure::no_location:
            return fail(no_location);
        case RequestFailure::too_many_hops:
            return fail(too_many_moves);
        }
        return fail(not_started);
    }

    std::string text_header(DWORD info_level) const { return narrow(winhttp_.header(info_level)); }

    void read_error_body()
    {
        std::string body;
        while (body.size() < error_body_limit) {
            const client::platform::StepResult ready = winhttp_.available();
            if (!ready.done() || ready.bytes == 0)
                break;
            const client::platform::StepResult got = winhttp_.read(0, std::min<DWORD>(ready.bytes, error_body_chunk));
            if (!got.done() || got.bytes == 0)
                break;
            body.append(winhttp_.buffer().data(), got.bytes);
        }
        result_.error_code = error_code_of(body);
        result_.message = L"The site answered " + std::to_wstring(result_.status) + L".";
    }

    FirstAnswer answer_facts() const
    {
        return {parse_content_length(text_header(WINHTTP_QUERY_CONTENT_LENGTH)),
                accepts_byte_ranges(text_header(WINHTTP_QUERY_ACCEPT_RANGES)), text_header(WINHTTP_QUERY_ETAG),
                text_header(WINHTTP_QUERY_LAST_MODIFIED)};
    }

    // The answer's facts and how much of its body may be read; false when none of it may.
    bool take_answer()
    {
        first_ = answer_facts();
        bound_ = body_bound(first_.length, request_.expected_bytes, request_.size_is_limit);
        return !bound_.refused || too_long_failure();
    }

    bool too_long_failure()
    {
        result_.failure = DownloadFailureKind::too_long;
        return fail(too_long);
    }

    std::int64_t space_needed() const { return space_to_ask(first_.length, request_.expected_bytes); }

    void save_body()
    {
        if (!take_answer())
            return;
        const StagingFolder folder = make_staging_folder();
        if (folder.path.empty()) {
            if (folder.failure == StagingFailure::unsafe)
                result_.failure = DownloadFailureKind::unsafe_staging;
            fail(no_folder);
            return;
        }
        result_.path = join_path(folder.path, sanitise_file_name(request_.file_name));
        StagedFile staged(result_.path);
        if (room_for(space_needed()) && write_all() && hold_for_checks() && close_folder())
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
        winhttp_.close_hop();
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
        std::vector<std::wstring> lines;
        if (ask.from > 0)
            lines = {L"Range: " + widen(ask.range), L"If-Range: " + widen(ask.if_range)};
        if (!fetch(lines))
            return broken_ ? TryEnd::broken : TryEnd::failed;
        const std::string etag = text_header(WINHTTP_QUERY_ETAG);
        const std::string last_modified = text_header(WINHTTP_QUERY_LAST_MODIFIED);
        switch (judge_retry_answer(ask, first_, result_.status, text_header(WINHTTP_QUERY_CONTENT_RANGE),
                                   {etag, last_modified})) {
        case RetryVerdict::continue_at_kept:
            return write_body(file);
        case RetryVerdict::restart:
            return restart(file);
        case RetryVerdict::ask_whole:
            return ask_whole(file);
        case RetryVerdict::fail:
            break;
        }
        if (result_.status == 206)
            return try_failed(not_continued);
        read_error_body();
        return TryEnd::failed;
    }

    bool empty_file(HANDLE file)
    {
        written_ = 0;
        const LARGE_INTEGER start{};
        return SetFilePointerEx(file, start, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    }

    // A whole new answer: the kept bytes may be of another file, so they go.
    TryEnd restart(HANDLE file)
    {
        if (!empty_file(file))
            return try_failed(not_saved);
        if (!take_answer() || !room_for(space_needed()))
            return TryEnd::failed;
        return write_body(file);
    }

    // The kept bytes go and the next try asks for the whole file; its body is never read.
    TryEnd ask_whole(HANDLE file)
    {
        if (!empty_file(file))
            return try_failed(not_saved);
        fail(not_continued);
        return TryEnd::broken;
    }

    // Room for the next fill: never past the bound, but one byte past it where that byte is the
    // sign of a body too long.
    DWORD room_left(std::size_t buffer_size) const
    {
        if (bound_.limit < 1)
            return static_cast<DWORD>(buffer_size);
        const std::int64_t left = bound_.limit - written_ + (bound_.past_limit_fails ? 1 : 0);
        return static_cast<DWORD>(std::clamp<std::int64_t>(left, 0, static_cast<std::int64_t>(buffer_size)));
    }

    TryEnd write_body(HANDLE file)
    {
        const std::vector<char>& buffer = winhttp_.buffer();
        const std::int64_t expected = first_.length;
        if (cancelled())
            return try_cancelled();
        for (;;) {
            // Never past the body's bound: whatever a server sends beyond it is not the file.
            const DWORD room = room_left(buffer.size());
            DWORD filled = 0;
            client::platform::StepEnd end = client::platform::StepEnd::done;
            const bool last = !fill(room, filled, expected, end);
            if (end != client::platform::StepEnd::done)
                return try_stopped(end, stopped_part_way);
            if (bound_.past_limit_fails && written_ + filled > bound_.limit) {
                too_long_failure();
                return TryEnd::failed;
            }
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
    // buffer, not only once a buffer is full. False once the body ended, a read failed or the
    // cancel came; `end` then says which of the last two.
    bool fill(DWORD room, DWORD& filled, std::int64_t expected, client::platform::StepEnd& end)
    {
        while (filled < room) {
            const DWORD wanted = std::min(read_size_, room - filled);
            const ULONGLONG start = GetTickCount64();
            const client::platform::StepResult step = winhttp_.read(filled, wanted);
            end = step.end;
            const DWORD got = step.bytes;
            if (!step.done() || got == 0)
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
                end = client::platform::StepEnd::cancelled;
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
        result_.outcome = DownloadOutcome::saved;
        return true;
    }

    // The setup runs elevated from this folder and loads DLLs from it: from here on no program of
    // the user may add a file to it. The folder was made closed to everyone else; this takes the
    // right to add a file away from the user too.
    bool close_folder()
    {
        if (protect_staging_folder(result_.path))
            return true;
        result_.outcome = DownloadOutcome::failed;
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
    BodyBound bound_;
    bool broken_ = false;       // the last failure was of the line, worth another try
    bool lost_ = false;         // waiting to try again, or tried and no byte came yet
    DWORD read_size_ = first_read_size;
    client::platform::WinHttpRequest winhttp_;
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
