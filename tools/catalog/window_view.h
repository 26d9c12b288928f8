#pragma once
// What the window of Installer 1.0.0 shows for a catalog it accepted: the products and, for each,
// the rows of its Official and Beta channels.

#include "app/ui_state.h"
#include "catalog/catalog.h"

#include <string>
#include <vector>

namespace tw::tool {

struct ShownRow {
    std::string version;
    bool latest = false;
};

struct ShownProduct {
    std::string name;
    std::string slug;
    bool beta_channel = false;  // the Beta button is there
    app::Channel opens_on = app::Channel::official;
    std::vector<ShownRow> official;
    std::vector<ShownRow> beta;
};

struct WindowView {
    bool out_of_date = false;  // then no product is shown
    bool self_update = false;  // the new Installer is offered
    std::vector<ShownProduct> products;
};

WindowView window_view(const catalog::Catalog& catalog);

const char* channel_name(app::Channel channel);

}  // namespace tw::tool
