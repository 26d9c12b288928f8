#pragma once
// What a download came to, as the install flow decides by it: saved, cancelled or failed, one of
// the three, with the facts the sentence for a failure and the support log are made from.

#include "download/download_rules.h"

#include <cstdint>
#include <string>

namespace tw::download {

// saved: whole, of the announced length, and held open for its checks.
enum class DownloadOutcome { saved, cancelled, failed };

struct DownloadReport {
    DownloadOutcome outcome = DownloadOutcome::failed;
    std::wstring path;        // the saved file's path, known once its staging folder was made
    std::uint32_t status = 0; // of the last response received
    bool pass_sent = false;   // the last request carried the pass: only then does a 401 speak of it
    bool through_proxy = false;  // a proxy the system names for the host gave the last answer
    std::string error_code;   // the service's error code from an error body
    std::wstring message;     // the downloader's own account of a failure
    DownloadFailureKind failure = DownloadFailureKind::other;
    std::wstring volume;      // not_enough_space: the staging folder's volume, such as "C:\\"
    std::int64_t needed_bytes = 0;   // not_enough_space: the download's length
    std::int64_t bytes_fetched = 0;  // body bytes received over every try, kept or thrown away
    int requests = 0;                // requests sent, redirects and retries included
    int tries = 0;                   // tries of the body: the first and each resume
};

}  // namespace tw::download
