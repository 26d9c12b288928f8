#pragma once
// Installing a chosen build and replacing this Installer, as one sequence of named steps over one
// job: download, hash, signer, seal, gate, run, report. The flow decides what follows each step:
// whether a Close stops it, which sentence ends it, and whether the staged folder goes. The steps
// do the work; the worker plugs in the Win32 ones, which share the held download among
// themselves, and a test replaces any of them.

#include "app/job_states.h"
#include "app/setup_gate.h"
#include "app/window_model.h"
#include "app/worker_reports.h"
#include "client/support_log.h"
#include "download/download_report.h"
#include "download/run_result.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <variant>

namespace tw::app {

// The job's copies that the flow decides by, and the state it shares with the window.
struct FlowJob {
    JobKind kind = JobKind::install;
    std::wstring host;      // the site's, as the sentences name it
    std::string sha256;     // the catalog's
    std::string publisher;  // the catalog's, UTF-8
    std::wstring label;     // an install's product name and version
    std::shared_ptr<DownloadJobState> state;
};

struct SignerAnswer {
    bool accepted = false;  // a valid signature by exactly the catalog's publisher
    std::string signer;     // the signing certificate's name, UTF-8
};

// crowded: the staging folder holds more than the file, which a setup would load; moved: the
// held file no longer resolves to the staged path.
enum class SealEnd { sealed, crowded, moved };

struct Seal {
    SealEnd end = SealEnd::moved;
    std::wstring path;  // sealed: the path the held file resolves to, which the run starts
};

using FlowReport = std::variant<WorkResult, SelfUpdateLaunched>;

struct FlowSteps {
    std::function<download::DownloadReport()> download;
    // The file's SHA-256 in lower-case hex, empty on a failure; stops between reads on a Close.
    std::function<std::string(const std::atomic<bool>& cancel)> hash;
    std::function<SignerAnswer()> signer;
    std::function<Seal()> seal;
    std::function<bool(std::atomic<SetupGate>& gate)> gate = claim_setup_start;
    std::function<download::RunResult(const std::wstring& path)> run;
    std::function<void(FlowReport report)> report;
    // Beside the steps: the status line, the support log, and removing the staged folder.
    std::function<void(WorkerNote note)> note;
    std::function<void(const client::support_log::Step& step)> log;
    std::function<void()> discard;
};

// Runs the job to its one report. Every step must be set.
void run_job(const FlowJob& job, const FlowSteps& steps);

}  // namespace tw::app
