#include "app/catalog_choice.h"
#include "app/languages.h"
#include "app/texts.h"
#include "app/translation.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using tw::app::choose_language;
using tw::app::Language;
using tw::app::shown;

const Language& language(std::string_view tag)
{
    for (const Language& l : tw::app::offered_languages()) {
        if (l.tag == tag)
            return l;
    }
    throw std::logic_error("no such language");
}

TEST(LanguageChoice, DisplayLanguagesInOrderWithParentsAndScripts)
{
    struct Case {
        std::vector<std::string> preferred;
        std::optional<std::string> forced;
        const char* chosen;
    };
    const Case cases[] = {
        {{"de-DE"}, {}, "de"},
        {{"fr-CA"}, {}, "fr"},
        {{"pt-PT"}, {}, "pt-BR"},
        {{"pt-BR"}, {}, "pt-BR"},
        {{"en-GB"}, {}, "en"},
        {{"ja-JP"}, {}, "ja"},
        {{"he-IL"}, {}, "he"},
        {{"ar-EG"}, {}, "ar"},
        // Chinese by script: region alone, script alone, and a script that outranks its region.
        {{"zh-CN"}, {}, "zh-Hans"},
        {{"zh-SG"}, {}, "zh-Hans"},
        {{"zh-Hans"}, {}, "zh-Hans"},
        {{"zh-TW"}, {}, "zh-Hant"},
        {{"zh-HK"}, {}, "zh-Hant"},
        {{"zh-MO"}, {}, "zh-Hant"},
        {{"zh-Hant"}, {}, "zh-Hant"},
        {{"zh-Hans-HK"}, {}, "zh-Hans"},
        {{"zh-Hant-CN"}, {}, "zh-Hant"},
        // The first language the Installer has wins, its parent before a second language.
        {{"fr-CA", "de-DE"}, {}, "fr"},
        {{"sv-SE", "de-DE", "fr-FR"}, {}, "de"},
        {{"en-US", "de-DE"}, {}, "en"},
        // Nothing offered, nothing at all: English.
        {{"sv-SE", "fi-FI"}, {}, "en"},
        {{}, {}, "en"},
        // Tags as POSIX locales and in any case.
        {{"de_AT.UTF-8"}, {}, "de"},
        {{"ZH_tw"}, {}, "zh-Hant"},
        // --lang stands in for the whole list, also when it names nothing offered.
        {{"de-DE"}, "ja", "ja"},
        {{"de-DE"}, "qps-ploc", "qps-ploc"},
        {{"de-DE"}, "qps-plocm", "qps-plocm"},
        {{"de-DE"}, "sv", "en"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.chosen) + " from " + (c.preferred.empty() ? "" : c.preferred.front()));
        EXPECT_EQ(choose_language(c.preferred, c.forced).tag, c.chosen);
    }
}

TEST(LanguageChoice, LangOptionTakesTheLastOne)
{
    using tw::app::forced_language;
    EXPECT_EQ(forced_language({"TarnwickInstaller.exe"}), std::nullopt);
    EXPECT_EQ(forced_language({"x.exe", "--lang=de", "--lang=ar-EG"}), "ar-EG");
    EXPECT_EQ(forced_language({"x.exe", "--language=de"}), std::nullopt);
}

TEST(LanguageChoice, MirroredLanguages)
{
    for (const Language& l : tw::app::offered_languages()) {
        const bool mirrored = l.tag == "ar" || l.tag == "he" || l.tag == "qps-plocm";
        EXPECT_EQ(l.direction == tw::app::Direction::right_to_left, mirrored) << l.tag;
    }
}

// Every text of app/texts.h, with the values a sentence gets.
std::vector<std::wstring> every_english_text()
{
    namespace text = tw::app::text;
    const std::wstring host = L"localhost";
    return {
        text::window_title, text::brand_suffix, text::products_title, text::all_products, text::official, text::beta,
        text::sign_in, text::open_browser_again, text::cancel, text::close, text::latest_suffix, text::latest_badge,
        text::looking_up, text::unreachable, text::unexpected_answer, text::proxy_refused, text::choose_product,
        text::nothing_to_install, text::choose_version, text::no_site, text::out_of_date_offer,
        text::get_new_installer, text::install, text::no_official_releases, text::out_of_date_download(host),
        text::downloading, text::connection_lost, text::checking, text::installer_open,
        text::finish_installer_first, text::worker_failed, std::wstring(L"Studio 2.1.0") + text::installed_suffix,
        text::rate_limited, text::download_unfinished, text::install_cancelled, text::restart_needed,
        text::agreement_required(host), text::not_enough_space(L"C:\\", L"12.5 MB"), text::check_failed(host),
        text::installer_not_started(host), text::install_unfinished(1603, host), text::beta_sign_in_needed,
        text::signed_in, text::pass_ended, text::sign_in_denied, text::sign_in_expired, text::sign_in_rate_limited,
        text::sign_in_failed, text::approve_in_browser, text::approve_on_site(host),
    };
}

// The catalogues hold the English of texts.h as it is now: pseudo-localisation changes every text
// it knows, so one left the same has lost its translations everywhere.
TEST(Translation, EveryTextOfTheWindowIsInTheCatalogues)
{
    for (const std::wstring& english : every_english_text()) {
        EXPECT_EQ(shown(english, tw::app::english()), english);
        EXPECT_NE(shown(english, language("qps-ploc")), english) << std::string(english.begin(), english.end());
    }
}

TEST(Translation, SentencesKeepTheirValuesInTheLanguagesOrder)
{
    namespace text = tw::app::text;
    struct Case {
        std::wstring english;
        const char* tag;
        std::wstring expected;
    };
    const Case cases[] = {
        {L"Studio 2.1.0" + std::wstring(text::installed_suffix), "de", L"Studio 2.1.0 ist installiert."},
        {L"Studio 2.1.0" + std::wstring(text::installed_suffix), "pl", L"Zainstalowano Studio 2.1.0."},
        {text::install_unfinished(1603, L"localhost"), "fr",
         L"L\u2019installation ne s\u2019est pas termin\u00e9e (code 1603). Signalez-le-nous sur localhost/contact."},
        {text::not_enough_space(L"C:\\", L"12.5 MB"), "fr",
         L"Il n\u2019y a pas assez d\u2019espace libre sur C:\\ pour ce t\u00e9l\u00e9chargement (12,5 Mo). "
         L"Lib\u00e9rez de l\u2019espace et r\u00e9essayez."},
        {text::not_enough_space(L"D:\\", L"840 KB"), "ru",
         L"\u041d\u0430 D:\\ \u043d\u0435\u0434\u043e\u0441\u0442\u0430\u0442\u043e\u0447\u043d\u043e "
         L"\u0441\u0432\u043e\u0431\u043e\u0434\u043d\u043e\u0433\u043e \u043c\u0435\u0441\u0442\u0430 "
         L"\u0434\u043b\u044f \u044d\u0442\u043e\u0439 \u0437\u0430\u0433\u0440\u0443\u0437\u043a\u0438 (840 "
         L"\u041a\u0411). \u041e\u0441\u0432\u043e\u0431\u043e\u0434\u0438\u0442\u0435 \u043c\u0435\u0441\u0442\u043e "
         L"\u0438 \u043f\u043e\u0432\u0442\u043e\u0440\u0438\u0442\u0435 \u043f\u043e\u043f\u044b\u0442\u043a\u0443."},
        // A sentence no catalogue knows, such as the site's own, is shown as it came.
        {L"The site says hello.", "de", L"The site says hello."},
        // A product named like a text is still the product's name.
        {L"Install" + std::wstring(text::installed_suffix), "de", L"Install ist installiert."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(shown(c.english, language(c.tag)), c.expected) << c.tag;
}

TEST(Translation, SizesTakeTheLanguagesSeparatorAndUnit)
{
    struct Case {
        std::uint64_t bytes;
        const char* tag;
        std::wstring expected;
    };
    const Case cases[] = {
        {13'107'200, "en", L"12.5 MB"}, {13'107'200, "de", L"12,5 MB"},  {13'107'200, "fr", L"12,5 Mo"},
        {13'107'200, "ja", L"12.5 MB"}, {13'107'200, "ko", L"12.5MB"},   {860'000, "ru", L"840 \u041a\u0411"},
        {1, "de", L"1 KB"},             {0, "de", L""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(tw::app::shown_size(c.bytes, language(c.tag)), c.expected) << c.tag << " " << c.bytes;
        if (std::string_view(c.tag) == "en") {
            const std::string english = tw::app::size_text(c.bytes);
            EXPECT_EQ(tw::app::shown_size(c.bytes, language(c.tag)), std::wstring(english.begin(), english.end()));
        }
    }
}

}  // namespace
