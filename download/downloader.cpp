#include "download/downloader.h"

#include "client/http_rules.h"
#include "client/platform/internet_handle.h"
#include "client/platform/text.h"
#include "download/address_policy.h"
#include "download/cracked_address.h"
#include "download/download_rules.h"
#include "download/file_names.h"
#include "download/staging.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <new>
#include <optional>
#include <vector>

namespace tw::download {
namespace {

using client::platform::InternetHandle;
using client::platform::narrow;
using client::platform::widen;

constexpr wchar_t kNetworkUnavailable[] = L"The network could not be opened.";
constexpr wchar_t kForeignAddress[] = L"The download pointed somewhere other than Tarnwick's own addresses.";
constexpr wchar_t kUnreadableAddress[] = L"The download address could not be read.";
constexpr wchar_t kNotStarted[] = L"The download could not be started.";
constexpr wchar_t kUnreachable[] = L"Tarnwick could not be reached.";
constexpr wchar_t kNoLocation[] = L"The download moved without saying where.";
constexpr wchar_t kTooManyMoves[] = L"The download moved too many times.";
constexpr wchar_t kNoFolder[] = L"No folder could be made for the download.";
constexpr wchar_t kNotSaved[] = L"The download could not be saved.";
constexpr wchar_t kStoppedPartWay[] = L"The download stopped part way.";
constexpr wchar_t kEndedEarly[] = L"The download ended early.";
constexpr wchar_t kNotHeld[] = L"The download could not be held for its checks.";

constexpr DWORD kResolveTimeoutMs = 15000;
constexpr DWORD kConnectTimeoutMs = 15000;
constexpr DWORD kSendTimeoutMs = 30000;
constexpr DWORD kReceiveTimeoutMs = 60000;

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

std::uint32_t status_of(HINTERNET request)
{
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
        return 0;
    return status;
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
// the session and the last hop's handles close when the call ends.
class Download {
public:
    Download(const DownloadRequest& request, const DownloadProgress& progress, const std::atomic<bool>* cancel)
        : request_(request), progress_(progress), cancel_(cancel)
    {
    }

    DownloadResult run()
    {
        if (open_session() && fetch()) {
            if (result_.status == 200)
                save_body();
            else
                read_error_body();
        }
        return std::move(result_);
    }

private:
    bool fail(const wchar_t* text)
    {
        result_.message = text;
        return false;
    }

    bool cancelled() const { return cancel_ && cancel_->load(); }

    bool open_session()
    {
        session_.reset(WinHttpOpen(widen(request_.user_agent).c_str(), WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
                                   WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
        if (!session_)
            return fail(kNetworkUnavailable);
        WinHttpSetTimeouts(session_.get(), kResolveTimeoutMs, kConnectTimeoutMs, kSendTimeoutMs, kReceiveTimeoutMs);
        // Without this the system's defaults apply, which on Windows 10 still include TLS 1.0 and 1.1.
        DWORD protocols = client::platform::kSecureProtocols;
        WinHttpSetOption(session_.get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols);
        return true;
    }

    // Follows redirects by hand so that every address is judged before it is connected to;
    // ends with the final answer's request open.
    bool fetch()
    {
        std::string current = request_.url;
        for (int hops = 0;; ++hops) {
            if (hops > kMaxRedirects)
                return fail(kTooManyMoves);
            if (!is_allowed_download_url(current, request_.site_host))
                return fail(kForeignAddress);
            const std::optional<CrackedAddress> address = crack_address(current);
            if (!address)
                return fail(kUnreadableAddress);
            if (!send(*address))
                return false;
            result_.status = status_of(request_handle_.get());
            if (!is_followed_redirect(result_.status))
                return true;
            const std::string location = narrow(text_header(request_handle_.get(), WINHTTP_QUERY_LOCATION));
            if (location.empty())
                return fail(kNoLocation);
            current = redirect_target(address->secure, narrow(address->host), address->port, location);
        }
    }

    bool send(const CrackedAddress& address)
    {
        request_handle_.reset();
        connection_.reset(WinHttpConnect(session_.get(), address.host.c_str(), address.port, 0));
        if (!connection_)
            return fail(kNotStarted);
        request_handle_.reset(WinHttpOpenRequest(connection_.get(), L"GET", address.path.c_str(), nullptr,
                                                 WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                 address.secure ? WINHTTP_FLAG_SECURE : 0));
        if (!request_handle_)
            return fail(kNotStarted);
        DWORD policy = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
        WinHttpSetOption(request_handle_.get(), WINHTTP_OPTION_REDIRECT_POLICY, &policy, sizeof policy);

        std::wstring headers;
        if (sends_pass(narrow(address.host), request_.site_host, request_.pass))
            headers = L"Authorization: Bearer " + widen(request_.pass) + L"\r\n";
        const BOOL sent = WinHttpSendRequest(request_handle_.get(),
                                             headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                                             headers.empty() ? 0 : static_cast<DWORD>(-1), WINHTTP_NO_REQUEST_DATA,
                                             0, 0, 0);
        if (!sent || !WinHttpReceiveResponse(request_handle_.get(), nullptr))
            return fail(kUnreachable);
        return true;
    }

    void read_error_body()
    {
        std::string body;
        char piece[kErrorBodyChunk];
        DWORD read = 0;
        while (body.size() < kErrorBodyLimit && WinHttpReadData(request_handle_.get(), piece, sizeof piece, &read) &&
               read > 0)
            body.append(piece, read);
        result_.error_code = error_code_of(body);
        result_.message = L"The site answered " + std::to_wstring(result_.status) + L".";
    }

    void save_body()
    {
        const std::int64_t expected =
            parse_content_length(narrow(text_header(request_handle_.get(), WINHTTP_QUERY_CONTENT_LENGTH)));
        const std::wstring folder = make_staging_folder();
        if (folder.empty()) {
            fail(kNoFolder);
            return;
        }
        result_.path = join_path(folder, sanitise_file_name(request_.file_name));
        StagedFile staged(result_.path);
        if (write_body(expected) && hold_for_checks())
            staged.keep();
    }

    bool write_body(std::int64_t expected)
    {
        FileHandle file(CreateFileW(result_.path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid())
            return fail(kNotSaved);
        std::vector<char> buffer(kFileBufferSize);
        std::int64_t written = 0;
        if (cancelled())
            return stop_cancelled();
        for (;;) {
            // Never past the announced length: whatever a server sends beyond it is not the file.
            const auto room = static_cast<DWORD>(
                expected >= 1 ? std::min<std::int64_t>(buffer.size(), expected - written) : buffer.size());
            DWORD filled = 0;
            const Piece piece = fill(buffer.data(), room, filled);
            if (piece == Piece::failed)
                return fail(kStoppedPartWay);
            if (piece == Piece::cancelled)
                return stop_cancelled();
            if (filled == 0)
                break;
            DWORD stored = 0;
            if (!WriteFile(file.get(), buffer.data(), filled, &stored, nullptr) || stored != filled)
                return fail(kNotSaved);
            written += filled;
            if (progress_)
                progress_(written, expected);
            if (cancelled())
                return stop_cancelled();
            if (piece == Piece::last)
                break;
        }
        file.reset();
        if (expected >= 1 && written != expected)
            return fail(kEndedEarly);
        return true;
    }

    enum class Piece { full, last, failed, cancelled };

    // Fills up to `room` bytes of `into`, reading only what has arrived: a read that waits for a
    // whole buffer would keep a body that trickles in from ever seeing the cancel flag.
    Piece fill(char* into, DWORD room, DWORD& filled)
    {
        while (filled < room) {
            DWORD available = 0;
            if (!WinHttpQueryDataAvailable(request_handle_.get(), &available))
                return Piece::failed;
            DWORD read = 0;
            if (available > 0 &&
                !WinHttpReadData(request_handle_.get(), into + filled, std::min(available, room - filled), &read))
                return Piece::failed;
            if (read == 0)
                return Piece::last;
            filled += read;
            if (cancelled())
                return Piece::cancelled;
        }
        return Piece::full;
    }

    bool stop_cancelled()
    {
        result_.cancelled = true;
        return false;
    }

    bool hold_for_checks()
    {
        result_.file.reset(CreateFileW(result_.path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!result_.file.valid())
            return fail(kNotHeld);
        result_.ok = true;
        return true;
    }

    const DownloadRequest& request_;
    const DownloadProgress& progress_;
    const std::atomic<bool>* cancel_;
    DownloadResult result_;
    InternetHandle session_;
    InternetHandle connection_;
    InternetHandle request_handle_;
};

}  // namespace

DownloadResult download_file(const DownloadRequest& request, const DownloadProgress& progress,
                             const std::atomic<bool>* cancel)
{
    try {
        return Download(request, progress, cancel).run();
    } catch (const std::bad_alloc&) {
        // Whatever was staged has been removed on the way out.
        DownloadResult result;
        result.message = kNotSaved;
        return result;
    }
}

}  // namespace tw::download
