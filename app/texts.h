#pragma once
// Every sentence the window shows, in one place. Texts that name the site take its host.

#include <cstdint>
#include <string>
#include <string_view>

namespace tw::app::text {

// The window's own words: its title, header and controls.
inline constexpr wchar_t window_title[] = L"Tarnwick Installer";
inline constexpr wchar_t brand[] = L"Tarnwick";
inline constexpr wchar_t brand_suffix[] = L"Installer";
inline constexpr wchar_t products_title[] = L"Install Tarnwick software";
inline constexpr wchar_t all_products[] = L"\u2039 All products";
inline constexpr wchar_t official[] = L"Official";
inline constexpr wchar_t beta[] = L"Beta";
inline constexpr wchar_t sign_in[] = L"Sign in for beta builds";
inline constexpr wchar_t open_browser_again[] = L"Open the browser again";
inline constexpr wchar_t cancel[] = L"Cancel";
inline constexpr wchar_t close[] = L"Close";
inline constexpr wchar_t latest_suffix[] = L" (latest)";
inline constexpr wchar_t latest_badge[] = L"Latest";

// Catalog screen.
inline constexpr wchar_t looking_up[] = L"Looking up what's available\u2026";
inline constexpr wchar_t unreachable[] = L"Tarnwick can't be reached. Check the connection, then reopen the Installer.";
inline constexpr wchar_t unexpected_answer[] = L"Tarnwick didn't answer as expected. Try again in a few minutes.";
inline constexpr wchar_t proxy_refused[] = L"Your network's proxy wants a sign-in that the Installer can't give. "
                                           L"Ask whoever runs your network to let this address through.";
inline constexpr wchar_t catalog_expired[] = L"Tarnwick's list of software has expired. Check that this "
                                             L"computer's date and time are right, then reopen the Installer.";
inline constexpr wchar_t choose_product[] = L"Choose a product.";
inline constexpr wchar_t nothing_to_install[] = L"There's nothing to install yet.";
inline constexpr wchar_t choose_version[] = L"Choose a version.";
inline constexpr wchar_t no_site[] =
    L"No site is set. A development build needs TWI_SITE, such as https://localhost:7180.";
inline constexpr wchar_t out_of_date_offer[] = L"This Installer is out of date. Get the new one to continue.";
inline constexpr wchar_t get_new_installer[] = L"Get the new Installer";
inline constexpr wchar_t install[] = L"Install";
inline constexpr wchar_t no_official_releases[] = L"No official releases available";

inline std::wstring out_of_date_download(std::wstring_view host)
{
    return L"This Installer is out of date. Download the new one from " + std::wstring(host) + L".";
}

// Work in progress.
inline constexpr wchar_t downloading[] = L"Downloading\u2026";
inline constexpr wchar_t connection_lost[] = L"Connection lost. Trying again\u2026";
inline constexpr wchar_t checking[] = L"Checking the download\u2026";
inline constexpr wchar_t installer_open[] = L"The installer is open. Follow its steps.";
inline constexpr wchar_t finish_installer_first[] = L"Finish the installer's own window first.";
inline constexpr wchar_t worker_failed[] =
    L"The Installer couldn't start that task. Close some programs, then try again.";

// Outcomes of an install or a self-update.
inline constexpr wchar_t installed_suffix[] = L" is installed.";
// Windows' own codes for a setup that succeeded and needs a restart, or started one.
inline constexpr wchar_t installed_restart_suffix[] = L" is installed. Restart Windows to finish.";
inline constexpr wchar_t installed_restarting_suffix[] = L" is installed. Windows is restarting to finish.";
inline constexpr wchar_t install_already_running[] =
    L"Another installation is running. Wait for it to finish, then try again.";
inline constexpr wchar_t rate_limited[] = L"Too many downloads right now. Try again in a minute.";
inline constexpr wchar_t download_unfinished[] = L"The download didn't finish. Check the connection and try again.";
inline constexpr wchar_t install_cancelled[] = L"The install was cancelled.";
inline constexpr wchar_t restart_needed[] = L"Windows needs a restart first. Restart, then run the Installer again.";

inline std::wstring agreement_required(std::wstring_view host)
{
    return L"Accept the new beta tester agreement on " + std::wstring(host) + L", then try again.";
}
inline std::wstring not_enough_space(std::wstring_view volume, std::wstring_view size_text)
{
    return L"There isn't enough free space on " + std::wstring(volume) + L" for this download (" +
           std::wstring(size_text) + L"). Free up space and try again.";
}
inline std::wstring check_failed(std::wstring_view host)
{
    return L"This download didn't pass its check, so it wasn't run. Tell us at " + std::wstring(host) + L"/contact.";
}
inline std::wstring staging_unsafe(std::wstring_view host)
{
    return L"The Installer couldn't keep the download safe in this computer's temporary folder, so it wasn't run. "
           L"Tell us at " +
           std::wstring(host) + L"/contact.";
}
inline std::wstring installer_not_started(std::wstring_view host)
{
    return L"Windows couldn't start the installer. Tell us at " + std::wstring(host) + L"/contact.";
}
inline std::wstring install_unfinished(std::uint32_t code, std::wstring_view host)
{
    return L"The install didn't finish (code " + std::to_wstring(code) + L"). Tell us at " + std::wstring(host) +
           L"/contact.";
}

// Beta sign-in.
inline constexpr wchar_t beta_sign_in_needed[] = L"Beta builds need a tester sign-in.";
inline constexpr wchar_t signed_in[] = L"Signed in for beta builds.";
inline constexpr wchar_t pass_ended[] = L"Your beta sign-in has ended. Sign in again for beta builds.";
inline constexpr wchar_t sign_in_denied[] = L"Beta builds weren't unlocked. Public releases are still available.";
inline constexpr wchar_t sign_in_expired[] = L"The code ran out. Sign in again to try once more.";
inline constexpr wchar_t sign_in_rate_limited[] = L"Too many sign-ins from this network right now. Try again later.";
inline constexpr wchar_t sign_in_failed[] = L"Sign-in didn't work. Try again.";
inline constexpr wchar_t approve_in_browser[] = L"Approve this code in your browser:";

inline std::wstring approve_on_site(std::wstring_view host)
{
    return L"Open " + std::wstring(host) + L"/installer/approve and enter this code:";
}

}  // namespace tw::app::text
