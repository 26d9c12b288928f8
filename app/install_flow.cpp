#include "app/install_flow.h"

#include "app/outcomes.h"
#include "app/texts.h"

#include <optional>
#include <utility>

namespace tw::app {
namespace {

namespace support_log = client::support_log;
using download::DownloadOutcome;
using download::RunOutcome;

Status attention(Sentence text)
{
    return {std::move(text), StatusKind::attention};
}

WorkResult saying(Sentence text)
{
    WorkResult result;
    if (!text.empty())
        result.status = attention(std::move(text));
    return result;
}

DownloadFailure failure_of(const download::DownloadReport& report)
{
    return {report.outcome == DownloadOutcome::cancelled,
            client::download_code_named(report.error_code),
            report.status,
            report.failure,
            report.volume,
            report.needed_bytes,
            report.through_proxy};
}

// One job on its way through the steps: its copies, the download's report and where it stands.
class JobContext {
public:
    JobContext(const FlowJob& job, const FlowSteps& steps) : job_(job), steps_(steps) {}

    void run()
    {
        download_ = steps_.download();
        if (download_.outcome != DownloadOutcome::saved) {
            steps_.report(download_failed());
            return;
        }
        FlowReport report = check_and_run();
        if (!std::holds_alternative<SelfUpdateLaunched>(report))
            steps_.discard();
        steps_.report(std::move(report));
    }

private:
    bool closed() const { return job_.state->cancel.load(); }

    WorkResult download_failed() const
    {
        const DownloadFailure failure = failure_of(download_);
        if (job_.kind == JobKind::self_update)
            return saying(self_update_download_failure(failure, job_.host));
        WorkOutcome outcome = install_download_failure(failure, download_.pass_sent, job_.host);
        WorkResult result = saying(std::move(outcome.message));
        result.pass_ended = outcome.pass_ended;
        return result;
    }

    // The hash first; the signature only for a file that is what the catalog describes. A Close
    // stops the hash between two reads, and the signature check, which cannot be stopped, is not
    // begun after it.
    bool passes_checks() const
    {
        steps_.note(WorkerNote::checking);
        const std::string actual = steps_.hash(job_.state->cancel);
        if (closed())
            return false;
        const bool hash_ok = hash_matches(actual, job_.sha256);
        steps_.log(support_log::HashStep{job_.sha256, actual, hash_ok});
        if (!hash_ok)
            return false;
        const SignerAnswer signer = steps_.signer();
        steps_.log(support_log::SignerStep{signer.signer, job_.publisher, signer.accepted});
        return signer.accepted;
    }

    WorkResult check_failed() const { return closed() ? WorkResult{} : saying(text::check_failed(job_.host)); }

    // Last before the run, the folder it will run from, since a file planted beside a setup is
    // loaded by it; then the path the held file resolves to, since a junction turned above the
    // folder during the elevation prompt would have had the shell start another file.
    FlowReport check_and_run() const
    {
        if (!passes_checks())
            return check_failed();
        const Seal seal = steps_.seal();
        if (seal.end == SealEnd::crowded)
            return check_failed();
        if (seal.end == SealEnd::moved)
            return saying(text::staging_unsafe(job_.host));
        // The window may have been closed while the file was checked: then nothing is started.
        if (!steps_.gate(job_.state->gate))
            return WorkResult{};
        return job_.kind == JobKind::install ? install(seal.path) : hand_over(seal.path);
    }

    FlowReport install(const std::wstring& path) const
    {
        steps_.note(WorkerNote::installer_open);
        const download::RunResult run = steps_.run(path);
        const bool started = run.outcome == RunOutcome::started;
        const bool declined = run.outcome == RunOutcome::declined;
        steps_.log(support_log::SetupStep{started, declined, run.exit_code, run.reason});
        mark_setup_ended(job_.state->gate);
        WorkResult result;
        result.status = install_run_message(run, job_.label, job_.host);
        return result;
    }

    // A new Installer that starts runs from the staged file, so its folder stays.
    FlowReport hand_over(const std::wstring& path) const
    {
        const download::RunResult run = steps_.run(path);
        const bool started = run.outcome == RunOutcome::started;
        steps_.log(support_log::HandOverStep{started, run.reason});
        mark_setup_ended(job_.state->gate);
        if (started)
            return SelfUpdateLaunched{};
        return saying(text::installer_not_started(job_.host));
    }

    const FlowJob& job_;
    const FlowSteps& steps_;
    download::DownloadReport download_;
};

}  // namespace

void run_job(const FlowJob& job, const FlowSteps& steps)
{
    JobContext(job, steps).run();
}

}  // namespace tw::app
