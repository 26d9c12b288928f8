#pragma once
// The one process-wide state record. Only the UI thread touches it, except the atomic flags and
// the site fields, which are fixed before any worker starts.

#include "app/download_job.h"
#include "app/ui_state.h"
#include "app/window_to_come.h"
#include "catalog/catalog.h"
#include "client/http.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tw::app {

struct Fonts {
    HFONT body = nullptr;
    HFONT title = nullptr;
    HFONT heading = nullptr;
    HFONT button = nullptr;
    HFONT row_detail = nullptr;
    HFONT badge = nullptr;
    HFONT code = nullptr;
    HFONT label = nullptr;
    HFONT chevron = nullptr;
    HFONT row_title = nullptr;
    HFONT segment = nullptr;
    HFONT segment_selected = nullptr;
    HFONT subtitle = nullptr;
    HFONT icon = nullptr;
};

struct InstallerApp {
    // Window and controls.
    HWND window = nullptr;
    HWND status_label = nullptr;
    HWND product_list = nullptr;
    HWND back_button = nullptr;
    HWND official_button = nullptr;
    HWND beta_button = nullptr;
    HWND version_list = nullptr;
    HWND beta_note = nullptr;
    HWND sign_in_button = nullptr;
    HWND reopen_browser_button = nullptr;
    HWND cancel_sign_in_button = nullptr;
    HWND install_button = nullptr;
    HWND close_button = nullptr;

    Fonts fonts;
    int body_font_px = 15;
    HBRUSH window_brush = nullptr;
    HBRUSH list_brush = nullptr;
    HICON big_icon = nullptr;
    HICON small_icon = nullptr;
    HDC back_buffer_dc = nullptr;
    HBITMAP back_buffer_bitmap = nullptr;
    HGDIOBJ back_buffer_previous = nullptr;
    int back_buffer_width = 0;
    int back_buffer_height = 0;

    // Layout results for the painter, in pixels.
    RECT title_rect{};
    RECT divider_rect{};
    RECT list_rect{};
    RECT code_rect{};
    RECT status_rect{};
    RECT progress_rect{};
    bool prompt_in_list = false;
    int prompt_extra = 0;
    int client_height = 0;

    int dpi = 96;
    HWND hovered_button = nullptr;
    HWND focused_list = nullptr;

    // Site and service: fixed during start-up, read by workers without a lock.
    std::string site_origin;
    std::string site_host;
    std::string product_hint;
    std::shared_ptr<client::Transport> transport;

    // Catalog and selection.
    std::optional<catalog::Catalog> catalog;
    int screen = screen_products;
    int selected_product = -1;
    std::string selected_slug;
    int channel = channel_official;
    std::vector<const catalog::CatalogBuild*> shown_builds;

    // Download sign-in.
    std::string download_pass;
    std::uint64_t pass_expires_at = 0;
    std::string authorize_url;
    std::wstring sign_in_code;
    int beta_gate = gate_none;

    // Progress and status.
    double progress = 0.0;
    int status_kind = status_information;
    std::wstring status_text;
    int status_height = 24;

    // Shared with workers.
    std::atomic<bool> signing_in{false};
    std::atomic<bool> busy{false};
    std::atomic<bool> cancel_sign_in{false};
    // The running install's or self-update's; null when none runs.
    std::shared_ptr<DownloadJobState> download_job;

    // UI thread only.
    bool close_requested = false;
    bool self_update_offered = false;
    // Set when the first catalog was asked for before the window existed.
    std::shared_ptr<WindowToCome> first_catalog_window;
};

// The instance lives for the whole process.
InstallerApp& the_app();

const catalog::CatalogProduct* selected_product(const InstallerApp& app);

}  // namespace tw::app
