#pragma once
// The catalog screen's decisions that need no window: how a reply is read, which product opens
// by itself, and what a version row says.

#include "app/ui_state.h"
#include "catalog/catalog.h"
#include "catalog/catalog_request.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tw::app {

enum class ReplyVerdict { pass_ended, unreachable, unexpected, catalog, proxy_refused, expired };

// The order of the tests matters: a 401 means an ended pass only when a pass was sent.
ReplyVerdict judge_catalog_reply(const catalog::CatalogReply& reply);

// True when the service no longer accepts this Installer.
bool installer_out_of_date(const catalog::Catalog& catalog);

// True when the service no longer accepts an Installer of `version`.
bool installer_out_of_date(const catalog::Catalog& catalog, std::string_view version);

// The product to open without asking: the remembered slug, else the file-name hint, else the
// only product; -1 when the user must choose.
int product_to_open(const catalog::Catalog& catalog, std::string_view remembered_slug,
                    std::string_view product_hint);

// The channel a freshly opened product shows first.
Channel initial_channel(const catalog::CatalogProduct& product);

}  // namespace tw::app
