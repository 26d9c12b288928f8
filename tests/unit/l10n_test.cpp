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

// A sentence is looked up by its id and filled in the translation's order; nothing in a value is
// read as words, so a name or host that looks like a sentence or a size stays as it is.
TEST(Translation, SentencesKeepTheirValuesInTheLanguagesOrder)
{
    namespace text = tw::app::text;
    struct Case {
        tw::app::Sentence sentence;
        const char* tag;
        std::wstring expected;
    };
    const Case cases[] = {
        {text::installed(L"Studio 2.1.0"), "de", L"Studio 2.1.0 ist installiert."},
        {text::installed(L"Studio 2.1.0"), "pl", L"Zainstalowano Studio 2.1.0."},
        {text::installed(L"Studio 2.1.0"), "ar", L"\u062a\u0645 \u062a\u062b\u0628\u064a\u062a Studio 2.1.0."},
        {text::install_unfinished(1603, L"localhost"), "fr",
         L"L\u2019installation ne s\u2019est pas termin\u00e9e (code 1603). Signalez-le-nous sur localhost/contact."},
        {text::not_enough_space(L"C:\\", 13'107'200), "fr",
         L"Il n\u2019y a pas assez d\u2019espace libre sur C:\\ pour ce t\u00e9l\u00e9chargement (12,5 Mo). "
         L"Lib\u00e9rez de l\u2019espace et r\u00e9essayez."},
        {text::not_enough_space(L"D:\\", 860'000), "ru",
         L"\u041d\u0430 D:\\ \u043d\u0435\u0434\u043e\u0441\u0442\u0430\u0442\u043e\u0447\u043d\u043e "
         L"\u0441\u0432\u043e\u0431\u043e\u0434\u043d\u043e\u0433\u043e \u043c\u0435\u0441\u0442\u0430 "
         L"\u0434\u043b\u044f \u044d\u0442\u043e\u0439 \u0437\u0430\u0433\u0440\u0443\u0437\u043a\u0438 (840 "
         L"\u041a\u0411). \u041e\u0441\u0432\u043e\u0431\u043e\u0434\u0438\u0442\u0435 \u043c\u0435\u0441\u0442\u043e "
         L"\u0438 \u043f\u043e\u0432\u0442\u043e\u0440\u0438\u0442\u0435 \u043f\u043e\u043f\u044b\u0442\u043a\u0443."},
        // A product named like a sentence, or like a text, is still the product's name.
        {text::installed(L"X is installed. Restart Windows"), "de",
         L"X is installed. Restart Windows ist installiert."},
        {text::installed_restart_needed(L"Install"), "de",
         L"Install ist installiert. Starten Sie Windows neu, um abzuschlie\u00dfen."},
        // A host with a unit or a placeholder in it is not a size or a value.
        {text::check_failed(L"12 MB.example"), "ja",
         L"\u3053\u306e\u30c0\u30a6\u30f3\u30ed\u30fc\u30c9\u306f\u78ba\u8a8d\u306b\u5408\u683c\u3057"
         L"\u306a\u304b\u3063\u305f\u305f\u3081\u3001\u5b9f\u884c\u3055\u308c\u307e\u305b\u3093\u3067"
         L"\u3057\u305f\u3002" L"12 MB.example/contact \u307e\u3067\u304a\u77e5\u3089\u305b\u304f\u3060"
         L"\u3055\u3044\u3002"},
        {text::approve_on_site(L"{code}.example"), "de",
         L"\u00d6ffnen Sie {code}.example/installer/approve und geben Sie diesen Code ein:"},
        // Texts without values, and nothing to say.
        {text::close, "de", L"Schlie\u00dfen"},
        {text::close, "en", L"Close"},
        {{}, "de", L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(shown(c.sentence, language(c.tag)), c.expected) << c.tag;
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
    for (const Case& c : cases)
        EXPECT_EQ(tw::app::shown_size(c.bytes, language(c.tag)), c.expected) << c.tag << " " << c.bytes;
}

}  // namespace
