#include "app/installer_app.h"

namespace tw::app {
namespace {

// Constructed before wWinMain and alive until the process ends, so detached workers that
// outlive the window still find their flags.
InstallerApp app_instance;

}  // namespace

InstallerApp& the_app()
{
    return app_instance;
}

const catalog::CatalogProduct* selected_product(const InstallerApp& app)
{
    if (!app.catalog || app.selected_product < 0 ||
        static_cast<size_t>(app.selected_product) >= app.catalog->products.size())
        return nullptr;
    return &app.catalog->products[static_cast<size_t>(app.selected_product)];
}

}  // namespace tw::app
