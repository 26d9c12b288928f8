#pragma once
// The product list and, for one product, its Official and Beta version lists.

#include "app/installer_app.h"
#include "catalog/catalog_request.h"

#include <memory>

namespace tw::app {

// Asks for the catalog on a worker, with the pass while it is current; false when no worker could
// be started. load_catalog also says so on the status line.
bool start_catalog_fetch(InstallerApp& app);
void load_catalog(InstallerApp& app);
void handle_catalog_reply(InstallerApp& app, std::unique_ptr<catalog::CatalogReply> reply);
void apply_catalog(InstallerApp& app, catalog::Catalog catalog);
void show_products(InstallerApp& app);
void open_product(InstallerApp& app, int index);
void select_channel(InstallerApp& app, int channel);
void fill_versions(InstallerApp& app);

// The download pass while it may still be sent; empty otherwise.
std::string current_pass(const InstallerApp& app);

}  // namespace tw::app
