// The install and self-update flow with its steps replaced: which steps run, which sentence ends
// the job and whether the staged folder goes, for each way a job can end.
#include "app/install_flow.h"
#include "app/texts.h"

#include <gtest/gtest.h>

namespace tw::app {
namespace {

using download::DownloadOutcome;
using download::RunOutcome;

constexpr wchar_t host[] = L"tarnwick.test";
constexpr wchar_t label[] = L"Tarnwick Studio 4.2.0";
constexpr wchar_t sealed_path[] = L"C:\\Temp\\TarnwickInstaller\\{1}\\setup.exe";
const std::string catalog_hash(64, 'a');

// Steps that write down, in order, which of them ran, and give the answers a case sets; by default
// every one succeeds.
struct Fake {
    FlowJob job{JobKind::install, host, catalog_hash, "Tarnwick Ltd", label, std::make_shared<DownloadJobState>()};
    download::DownloadReport download;
    bool closes = false;  // the window closes while the file is hashed
    SignerAnswer signer{true, "Tarnwick Ltd"};
    Seal seal{SealEnd::sealed, sealed_path};
    download::RunResult run{RunOutcome::started, 0, {}};
    std::string ran;                   // the steps, then what the report says beside its sentence
    std::optional<Sentence> said;  // the report's sentence
    FlowSteps steps;

    void step(const char* name) { ran.append(ran.empty() ? "" : " ").append(name); }
    void refuse_download() { download = {}, download.status = 401, download.pass_sent = true; }

    Fake()
    {
        download.outcome = DownloadOutcome::saved;
        steps.download = [this] { step("download"); return download; };
        steps.hash = [this](const auto&) { step("hash"); job.state->cancel = closes; return catalog_hash; };
        steps.signer = [this] { step("signer"); return signer; };
        steps.seal = [this] { step("seal"); return seal; };
        steps.gate = [this](std::atomic<SetupGate>& gate) { step("gate"); return claim_setup_start(gate); };
        steps.run = [this](const std::wstring& path) { step(path == sealed_path ? "run" : "run at"); return run; };
        steps.report = [this](const FlowReport& end) {
            const auto* result = std::get_if<WorkResult>(&end);
            if (job.state->gate == SetupGate::ended)
                step("ended");
            if (!result || result->pass_ended)
                step(result ? "pass ended" : "launched");
            said = result && result->status ? std::optional(result->status->text) : std::nullopt;
        };
        steps.note = [](WorkerNote) {};
        steps.log = [](const client::support_log::Step&) {};
        steps.discard = [this] { step("discard"); };
    }
};

TEST(InstallFlow, EachStepsAnswerDecidesWhatRunsNextAndHowTheJobEnds)
{
    const Sentence check_failed = text::check_failed(host);
    const std::string sealed = "download hash signer seal";
    const std::string checked = sealed + " gate";
    const std::string ran = checked + " run discard ended";
    const struct {
        const char* name;
        void (*change)(Fake&);
        std::string ran;
        std::optional<Sentence> said;  // none: a report without a sentence
    } cases[] = {
        {"installed", [](Fake&) {}, ran, text::installed(label)},
        {"exit code", [](Fake& f) { f.run.exit_code = 3010; }, ran,
         text::installed_restart_needed(label)},
        {"declined", [](Fake& f) { f.run.outcome = RunOutcome::declined; }, ran,
         text::install_cancelled},
        {"pass ended", [](Fake& f) { f.refuse_download(); }, "download pass ended", text::pass_ended},
        {"self-update 401", [](Fake& f) { f.job.kind = JobKind::self_update, f.refuse_download(); }, "download",
         text::download_unfinished},
        {"download cancelled", [](Fake& f) { f.download.outcome = DownloadOutcome::cancelled; }, "download", {}},
        {"closed during the hash", [](Fake& f) { f.closes = true; }, "download hash discard", {}},
        {"hash mismatch", [](Fake& f) { f.job.sha256 = std::string(64, 'b'); }, "download hash discard", check_failed},
        {"signer mismatch", [](Fake& f) { f.signer = {false, "Other"}; }, "download hash signer discard", check_failed},
        {"folder crowded", [](Fake& f) { f.seal = {SealEnd::crowded, {}}; }, sealed + " discard", check_failed},
        {"file moved", [](Fake& f) { f.seal = {SealEnd::moved, {}}; }, sealed + " discard", text::staging_unsafe(host)},
        {"gate refused", [](Fake& f) { close_setup_gate(f.job.state->gate); }, checked + " discard", {}},
        {"new Installer started", [](Fake& f) { f.job.kind = JobKind::self_update; }, checked + " run ended launched",
         {}},
        {"new Installer not started",
         [](Fake& f) { f.job.kind = JobKind::self_update, f.run = {RunOutcome::not_started, 0, "error 2"}; },
         ran, text::installer_not_started(host)},
    };
    for (const auto& c : cases) {
        Fake fake;
        c.change(fake);
        run_job(fake.job, fake.steps);
        EXPECT_EQ(fake.ran, c.ran) << c.name;
        EXPECT_EQ(fake.said, c.said) << c.name;
    }
}

}  // namespace
}  // namespace tw::app
