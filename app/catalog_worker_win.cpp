#include "app/catalog_worker_win.h"

#include "app/messages_win.h"
#include "app/workers_win.h"
#include "catalog/catalog_request.h"

namespace tw::app {
namespace {

void catalog_worker(std::unique_ptr<CatalogLoad> load)
{
    const bool pass_sent = !load->pass.empty();
    catalog::CatalogReply reply =
        catalog::fetch_catalog(*load->transport, load->site_origin, load->user_agent, load->pass, pass_sent);
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
