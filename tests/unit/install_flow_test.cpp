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

download::DownloadReport download_ending(DownloadOutcome outcome, std::uint32_t status = 200)
{
    download::DownloadReport report;
    report.outcome = outcome;
    report.status = status;
    report.pass_sent = true;
    return report;
}

// Steps that write down, in order, which of them ran, and give the answers a case sets; by default
// every one succeeds.
struct Fake {
    FlowJob job{JobKind::install, host, catalog_hash, "Tarnwick Ltd", label, std::make_shared<DownloadJobState>()};
    download::DownloadReport download = download_ending(DownloadOutcome::saved);
    bool close_in_hash = false;
    SignerAnswer signer{true, "Tarnwick Ltd"};
    Seal seal{SealEnd::sealed, sealed_path};
    download::RunResult run{RunOutcome::started, 0, {}};
    std::string ran;
    std::optional<FlowReport> report;
    FlowSteps steps;

    void step(const char* name)
    {
        if (!ran.empty())
            ran += ' ';
        ran += name;
    }

    Fake()
    {
        steps.download = [this] { step("download"); return download; };
        steps.hash = [this](const std::atomic<bool>&) {
            step("hash");
            job.state->cancel = close_in_hash;
            return catalog_hash;
        };
        steps.signer = [this] { step("signer"); return signer; };
        steps.seal = [this] { step("seal"); return seal; };
        steps.gate = [this](std::atomic<SetupGate>& gate) { step("gate"); return claim_setup_start(gate); };
        steps.run = [this](const std::wstring& path) { step(path == sealed_path ? "run" : "run elsewhere"); return run; };
        steps.report = [this](FlowReport end) { report = std::move(end); };
        steps.note = [](WorkerNote) {};
        steps.log = [](const client::support_log::Step&) {};
        steps.discard = [this] { step("discard"); };
    }
};

TEST(InstallFlow, EachStepsAnswerDecidesWhatRunsNextAndHowTheJobEnds)
{
    const std::wstring installed = std::wstring(label) + text::installed_suffix;
    const std::wstring restart = std::wstring(label) + text::installed_restart_suffix;
    const std::string checked = "download hash signer seal gate";
    const struct {
        const char* name;
        void (*change)(Fake&);
        std::string ran;
        std::optional<std::wstring> said;  // none: a report without a sentence
        bool pass_ended = false;
        bool launched = false;
    } cases[] = {
        {"installed", [](Fake&) {}, checked + " run discard", installed},
        {"exit code", [](Fake& f) { f.run.exit_code = 3010; }, checked + " run discard", restart},
        {"declined", [](Fake& f) { f.run.outcome = RunOutcome::declined; }, checked + " run discard",
         text::install_cancelled},
        {"pass ended", [](Fake& f) { f.download = download_ending(DownloadOutcome::failed, 401); }, "download",
         text::pass_ended, true},
        {"self-update sends no pass",
         [](Fake& f) { f.job.kind = JobKind::self_update, f.download = download_ending(DownloadOutcome::failed, 401); },
         "download", text::download_unfinished},
        {"download cancelled", [](Fake& f) { f.download.outcome = DownloadOutcome::cancelled; }, "download", {}},
        {"closed during the hash",
         [](Fake& f) { f.close_in_hash = true; }, "download hash discard", {}},
        {"hash mismatch", [](Fake& f) { f.job.sha256 = std::string(64, 'b'); }, "download hash discard",
         text::check_failed(host)},
        {"signer mismatch", [](Fake& f) { f.signer = {false, "Other"}; }, "download hash signer discard",
         text::check_failed(host)},
        {"folder crowded", [](Fake& f) { f.seal = {SealEnd::crowded, {}}; }, "download hash signer seal discard",
         text::check_failed(host)},
        {"file moved", [](Fake& f) { f.seal = {SealEnd::moved, {}}; }, "download hash signer seal discard",
         text::staging_unsafe(host)},
        {"gate refused", [](Fake& f) { close_setup_gate(f.job.state->gate); }, checked + " discard", {}},
        {"new Installer started", [](Fake& f) { f.job.kind = JobKind::self_update; }, checked + " run", {}, false,
         true},
        {"new Installer not started",
         [](Fake& f) { f.job.kind = JobKind::self_update, f.run = {RunOutcome::not_started, 0, "error 2"}; },
         checked + " run discard", text::installer_not_started(host)},
    };
    for (const auto& c : cases) {
        Fake fake;
        c.change(fake);
        run_job(fake.job, fake.steps);
        EXPECT_EQ(fake.ran, c.ran) << c.name;
        ASSERT_TRUE(fake.report) << c.name;
        EXPECT_EQ(std::holds_alternative<SelfUpdateLaunched>(*fake.report), c.launched) << c.name;
        if (const auto* result = std::get_if<WorkResult>(&*fake.report)) {
            EXPECT_EQ(result->status ? std::optional(result->status->text) : std::nullopt, c.said) << c.name;
            EXPECT_EQ(result->pass_ended, c.pass_ended) << c.name;
        }
        if (fake.ran.find(" run") != std::string::npos) {
            EXPECT_EQ(fake.job.state->gate.load(), SetupGate::ended) << c.name;
        }
    }
}

}  // namespace
}  // namespace tw::app
