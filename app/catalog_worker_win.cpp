#include "app/catalog_worker_win.h"

#include "app/messages_win.h"
#include "app/workers_win.h"
#include "catalog/catalog_request.h"
#include "client/catalog_verifier_win.h"
#include "client/support_log_file_win.h"
#include "client/system_clock_win.h"

namespace tw::app {
namespace {

client::support_log::CatalogTrustStep trust_step(const catalog::CatalogTrust& trust,
                                                 const catalog::TrustReport& report)
{
    client::support_log::CatalogTrustStep step;
    step.verdict.assign(catalog::fault_words(report.fault));
    step.key_id = report.key_id;
    if (report.expires)
        step.expires = catalog::expiry_text(*report.expires);
    step.pinned_publisher.assign(trust.publisher);
    step.publisher_read = report.publisher_read;
    return step;
}

// Only a catalog is judged: a refusal or an ended pass carries nothing to believe.
void judge_trust(const catalog::CatalogTrust& trust, catalog::CatalogReply& reply)
{
    if (reply.status != 200 || !catalog::asks_anything(trust))
        return;
    client::platform::CngCatalogVerifier verifier;
    const catalog::TrustReport report = catalog::judge_catalog_trust(
        trust, reply.headers, reply.body, client::platform::unix_ms_now() / 1000, verifier);
    reply.trust = catalog::verdict_of(report.fault);
    client::platform::log_step(trust_step(trust, report));
}

void catalog_worker(std::unique_ptr<CatalogLoad> load)
{
    const bool pass_sent = !load->pass.empty();
    catalog::CatalogReply reply =
        catalog::fetch_catalog(*load->transport, load->site_origin, load->user_agent, load->pass, pass_sent);
    judge_trust(load->trust, reply);
    const HWND window = load->window ? load->window : load->window_to_come->wait();
    if (window)
        hand_report({window, load->reports}, std::move(reply));
}

}  // namespace

bool start_catalog_fetch(CatalogLoad load)
{
    return start_worker<CatalogLoad, catalog_worker>(std::make_unique<CatalogLoad>(std::move(load)));
}

}  // namespace tw::app
