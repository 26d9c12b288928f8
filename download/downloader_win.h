#pragma once
// Fetches one setup program from the site into a fresh staging folder and hands it back held
// open, so that nothing can change it between the checks and the run.

#include "client/scoped_win.h"
#include "download/download_report.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace tw::download {

struct DownloadRequest {
    std::string url;        // UTF-8
    std::string site_host;  // the site origin's host
    std::string user_agent;
    std::string pass;       // empty: no pass to send
    std::wstring file_name; // made safe before use
    std::int64_t expected_bytes = 0;  // the catalog's sizeBytes; 0: unknown
    // The catalog's size is the file's own (a signed catalog): a longer announced length is
    // refused before the body, and no byte past the size is read.
    bool size_is_limit = false;
};

struct DownloadResult : DownloadReport {
    // Read access, shared for reading only; valid only when the outcome is saved.
    client::platform::FileHandle file;
};

// Called after every piece read with (bytes read so far, bytes announced or 0).
using DownloadProgress = std::function<void(std::int64_t written, std::int64_t expected)>;

enum class ConnectionState { lost, flowing };

// Told when a broken download waits to try again, and when its bytes flow again.
using ConnectionNotice = std::function<void(ConnectionState)>;

// A download that breaks part way keeps what it wrote and tries again, up to max_retries more
// times, from where it stopped when the server allows it.
// Never throws for network or file failures. A failed or cancelled download leaves nothing on
// disk but the shared staging parent folder; a cancel is seen within a moment at every stage.
// `cancel` may be null.
DownloadResult download_file(const DownloadRequest& request, const DownloadProgress& progress,
                             const std::atomic<bool>* cancel, const ConnectionNotice& notice = nullptr);

}  // namespace tw::download
