#include "app/ui/model_layout.h"

namespace tw::app::ui {

LayoutFacts layout_facts(const WindowModel& model, int status_height, const LabelWidths& labels,
                         int beta_note_height)
{
    LayoutFacts facts;
    facts.screen = model.screen;
    facts.catalog_loaded = model.catalog.has_value();
    facts.product_count = model.catalog ? static_cast<int>(model.catalog->products.size()) : 0;
    facts.self_update_offered = model.self_update_offered;
    if (const catalog::CatalogProduct* product = selected_product(model)) {
        for (const catalog::CatalogBuild& build : product->builds)
            ++(build.beta ? facts.beta_builds : facts.official_builds);
        facts.beta_available = product->beta_available;
        facts.betas_need_sign_in = product->betas_need_sign_in;
    }
    facts.channel = model.channel;
    facts.beta_gate = model.beta_gate;
    facts.shown_build_count = static_cast<int>(model.shown_builds.size());
    facts.status_height = status_height;
    facts.beta_note_height = beta_note_height;
    facts.labels = labels;
    return facts;
}

}  // namespace tw::app::ui
