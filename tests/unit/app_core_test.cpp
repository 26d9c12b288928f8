#include "app/catalog_choice.h"
#include "app/product_hint.h"
#include "app/progress.h"
#include "app/site.h"
#include "app/translation.h"
#include "app/version_order.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace {

using tw::app::compare_versions;
using tw::catalog::Catalog;
using tw::catalog::CatalogBuild;
using tw::catalog::CatalogProduct;

// ---- Version order ----

struct VersionCase {
    const char* a;
    const char* b;
    int expected;
};

void expect_order(const VersionCase& c)
{
    SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
    EXPECT_EQ(compare_versions(c.a, c.b), c.expected);
    EXPECT_EQ(compare_versions(c.b, c.a), -c.expected);
}

TEST(VersionOrder, OwnVersionAgainstServiceMinimums)
{
    const VersionCase cases[] = {
        {"1.0.0", "1.0.1", -1},      {"1.0.0", "1.1", -1},     {"1.0.0", "2", -1},
        {"1.0.0", "1.0.1-beta", -1}, {"1.0.0", "1.0.0", 0},    {"1.0.0", "1.0.0+7", 0},
        {"1.0.0", "1.0", 0},         {"1.0.0", "0.9.9", 1},    {"1.0.0", "1", 0},
        {"1.0.0", "0.99.99", 1},     {"1.0.0", "", 1},         {"1.0.0", "1.0.0-rc", 1},
    };
    for (const auto& c : cases)
        expect_order(c);
}

TEST(VersionOrder, ComponentsCompareAsNumbers)
{
    const VersionCase cases[] = {
        {"10.0.0", "9.0.0", 1},
        {"1.10.0", "1.9.0", 1},
        {"1.0.10", "1.0.9", 1},
        {"01.002.0003", "1.2.3", 0},
        {"1..0", "1.0.0", 0},
        {"1.0.", "1.0.0", 0},
        {"1.0.0.9", "1.0.0", 0},
        {"1.0.0.9", "1.0.0.1", 0},
        {"2.0.0", "1.999999999.999999999", 1},
    };
    for (const auto& c : cases)
        expect_order(c);
}

TEST(VersionOrder, UnreadableComponentsCountAsZero)
{
    const VersionCase cases[] = {
        {"1.x.0", "1.0.0", 0},
        {"1.2000000000.0", "1.0.0", 0},
        {"1.1000000000.0", "1.999999999.0", 1},  // the limit itself is still a number
        {"1.1000000001.0", "1.0.0", 0},
        {"1.99999999999999999999999.0", "1.0.0", 0},  // would overflow 64 bits
        {"v1.0.0", "0.0.0", 0},
        {" 1.0.0", "0.0.0", 0},
        {"1.0.3a", "1.0.0", 0},
    };
    for (const auto& c : cases)
        expect_order(c);
}

TEST(VersionOrder, PreReleaseRanksBelowItsRelease)
{
    const VersionCase cases[] = {
        {"1.0.0-rc", "1.0.0", -1},
        {"1.0.0-", "1.0.0", -1},
        {"1.0.0-alpha", "1.0.0-beta", -1},
        {"1.0.0-rc", "1.0.0-rc1", -1},
        {"1.0.0-rc", "1.0.0-rc", 0},
        {"1.0.0-rc.2", "1.0.0-rc.10", 1},  // bytes, not numbers
        {"1.0.0-Beta", "1.0.0-alpha", -1},
        {"1.0.0-z", "1.0.0-\xC3\xA9", -1},  // bytes compare unsigned
        {"1.0.1-alpha", "1.0.0", 1},
        {"1.0.0-rc+build.5", "1.0.0-rc", 0},
        {"1.0.0+build-7", "1.0.0", 0},  // a dash in the metadata is no pre-release
        {"1.0.0-rc-2", "1.0.0-rc-1", 1},
    };
    for (const auto& c : cases)
        expect_order(c);
}

// ---- Product hint ----

TEST(ProductHint, TakenFromRenamedCopiesOfTheProgram)
{
    struct Case {
        const wchar_t* path;
        const char* hint;
    };
    const Case cases[] = {
        {L"TarnwickInstaller-Studio Pro (1).exe", "studiopro"},
        {L"TarnwickInstaller-Studio Pro.exe", "studiopro"},
        {L"TarnwickInstaller-studio-pro.exe", "studiopro"},
        {L"tarnwickinstaller-Studio.exe", "studio"},
        {L"TARNWICKINSTALLER-Studio.exe", "studio"},
        {L"TarnwickInstaller-Studio", "studio"},
        {L"TarnwickInstaller-Studio.Pro.2.exe", "studiopro2"},
        {L"TarnwickInstaller-Studio (2) Pro.exe", "studio"},
        {L"TarnwickInstaller-St\u00FCdio \u30B9.exe", "stdio"},
        {L"C:\\Users\\Ann\\Downloads\\TarnwickInstaller-Studio Pro (3).exe", "studiopro"},
        {L"/home/ann/.wine/drive_c/TarnwickInstaller-Studio.exe", "studio"},
        {L"C:\\Users/ann\\TarnwickInstaller-Studio.exe", "studio"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hint);
        EXPECT_EQ(tw::app::product_hint_from_path(c.path), c.hint);
    }
}

TEST(ProductHint, EmptyWithoutPrefixOrProduct)
{
    const wchar_t* const paths[] = {
        L"TarnwickInstaller-.exe",
        L"TarnwickInstaller.exe",
        L"TarnwickInstaller-",
        L"TarnwickInstaller",
        L"",
        L"Setup-TarnwickInstaller-Studio.exe",
        L"TarnwickInstaller_Studio.exe",
        L"C:\\TarnwickInstaller-Studio\\setup.exe",
        L"C:\\Downloads\\TarnwickInstaller-\u00C9\u00E9\u00E8.exe",
        L"TarnwickInstaller- (1).exe",
    };
    for (const wchar_t* path : paths)
        EXPECT_EQ(tw::app::product_hint_from_path(path), "") << path;
}

TEST(ProductHint, NormalisedKeysMatchAcrossSpellings)
{
    EXPECT_EQ(tw::app::normalize_product_key("Studio Pro"), "studiopro");
    EXPECT_EQ(tw::app::normalize_product_key("studio-pro"), "studiopro");
    EXPECT_EQ(tw::app::normalize_product_key("STUDIO_PRO 2"), "studiopro2");
    EXPECT_EQ(tw::app::normalize_product_key("St\xC3\xBC" "dio"), "stdio");
    EXPECT_EQ(tw::app::normalize_product_key("\xE3\x82\xB9"), "");
}

// ---- Site ----

TEST(Site, HostOfTheOrigin)
{
    struct Case {
        const char* origin;
        const char* host;
    };
    const Case cases[] = {
        {"https://www.tarnwick.test", "www.tarnwick.test"},
        {"https://localhost:7180", "localhost"},
        {"https://[::1]:7180", "[::1]"},
        {"https://[::1]", "[::1]"},
        {"https://[fe80::1]:8443/path:x", "[fe80::1]"},
        {"https://www.tarnwick.test/", "www.tarnwick.test"},
        {"https://www.tarnwick.test:443/api?x=1#top", "www.tarnwick.test"},
        {"https://www.tarnwick.test?q=a:b", "www.tarnwick.test"},
        {"https://www.tarnwick.test#a:b", "www.tarnwick.test"},
        {"www.tarnwick.test:8443", "www.tarnwick.test"},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.origin);
        EXPECT_EQ(tw::app::site_host_of(c.origin), c.host);
    }
}

TEST(Site, UserAgentNamesProgramVersionAndPlatform)
{
    EXPECT_EQ(tw::app::user_agent(), "tarnwick-installer/1.0.0 (windows; release)");
}

// ---- Progress ----

TEST(Progress, PerMilleOnlyWithAKnownTotal)
{
    EXPECT_EQ(tw::app::progress_per_mille(50, 200), 250);
    EXPECT_EQ(tw::app::progress_per_mille(0, 200), 0);
    EXPECT_EQ(tw::app::progress_per_mille(200, 200), 1000);
    EXPECT_EQ(tw::app::progress_per_mille(50, 0), std::nullopt);
    EXPECT_EQ(tw::app::progress_per_mille(0, 0), std::nullopt);
    EXPECT_EQ(tw::app::progress_per_mille(50, -1), std::nullopt);
    // Past 4 GiB the arithmetic must not wrap.
    EXPECT_EQ(tw::app::progress_per_mille(3'221'225'472, 6'442'450'944), 500);
}

// ---- Version rows ----

TEST(VersionRow, SizeText)
{
    struct Case {
        std::uint64_t bytes;
        const wchar_t* text;
    };
    const Case cases[] = {
        {1'048'576, L"1.0 MB"},
        {1'048'575, L"1024 KB"},
        {1, L"1 KB"},
        {0, L""},
        {1024, L"1 KB"},
        {1025, L"2 KB"},
        {1'572'864, L"1.5 MB"},
        {73'400'320, L"70.0 MB"},
        {5'368'709'120, L"5120.0 MB"},
        {std::numeric_limits<std::uint64_t>::max(), L""},  // a negative size in the document
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(tw::app::shown_size(c.bytes, tw::app::english()), c.text);
    }
}

// ---- Catalog reply ----

TEST(CatalogReply, VerdictsInOrder)
{
    using tw::app::ReplyVerdict;
    struct Case {
        std::uint32_t status;
        bool pass_sent;
        ReplyVerdict verdict;
        bool through_proxy = true;
    };
    const Case cases[] = {
        {401, true, ReplyVerdict::pass_ended},   {401, false, ReplyVerdict::unexpected},
        {0, false, ReplyVerdict::unreachable},   {0, true, ReplyVerdict::unreachable},
        {200, false, ReplyVerdict::catalog},     {200, true, ReplyVerdict::catalog},
        {403, true, ReplyVerdict::unexpected},   {429, false, ReplyVerdict::unexpected},
        {503, false, ReplyVerdict::unexpected},  {204, false, ReplyVerdict::unexpected},
        {304, false, ReplyVerdict::unexpected},
        {407, false, ReplyVerdict::proxy_refused}, {407, true, ReplyVerdict::proxy_refused},
        // With no proxy in between, a 407 is the site's answer like any other.
        {407, false, ReplyVerdict::unexpected, false}, {407, true, ReplyVerdict::unexpected, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.status) + (c.pass_sent ? " with pass" : " without pass"));
        tw::catalog::CatalogReply reply;
        reply.status = c.status;
        reply.pass_sent = c.pass_sent;
        reply.through_proxy = c.through_proxy;
        reply.body = R"({"publisher":"P","products":[]})";
        EXPECT_EQ(tw::app::judge_catalog_reply(reply), c.verdict);
    }
}

TEST(CatalogReply, OutOfDateOnlyBelowAGivenMinimum)
{
    struct Case {
        const char* minimum;
        bool out_of_date;
    };
    const Case cases[] = {
        {"", false},     {"1.0.0", false},      {"0.9.9", false}, {"1.0.0-rc", false}, {"1.0.0+7", false},
        {"1.0.1", true}, {"1.0.1-beta", true}, {"2", true},      {"1.1", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.minimum);
        Catalog catalog;
        catalog.publisher = "Tarnwick Software Ltd";
        catalog.minimum_installer_version = c.minimum;
        EXPECT_EQ(tw::app::installer_out_of_date(catalog), c.out_of_date);
    }
}

// ---- Product to open ----

CatalogProduct product(std::string slug, std::string name)
{
    CatalogProduct p;
    p.slug = std::move(slug);
    p.name = std::move(name);
    return p;
}

Catalog catalog_of(std::vector<CatalogProduct> products)
{
    Catalog catalog;
    catalog.publisher = "Tarnwick Software Ltd";
    catalog.products = std::move(products);
    return catalog;
}

TEST(ProductToOpen, RememberedSlugFirstAndExactly)
{
    const Catalog catalog =
        catalog_of({product("studio", "Studio"), product("Studio", "Studio Classic"), product("paint", "Paint")});
    EXPECT_EQ(tw::app::product_to_open(catalog, "Studio", ""), 1);
    EXPECT_EQ(tw::app::product_to_open(catalog, "studio", ""), 0);
    // The remembered product wins over the file-name hint.
    EXPECT_EQ(tw::app::product_to_open(catalog, "paint", "studio"), 2);
    // A remembered product that is gone falls back to the hint.
    EXPECT_EQ(tw::app::product_to_open(catalog, "sculpt", "paint"), 2);
    EXPECT_EQ(tw::app::product_to_open(catalog, "STUDIO", ""), -1);
}

TEST(ProductToOpen, HintMatchesNormalisedSlugOrName)
{
    const Catalog catalog = catalog_of(
        {product("sp-x", "Studio Pro"), product("studio-pro", "Something Else"), product("paint", "Paint 3")});
    // The first product matching by either key wins; its slug is tried before its name.
    EXPECT_EQ(tw::app::product_to_open(catalog, "", "studiopro"), 0);
    EXPECT_EQ(tw::app::product_to_open(catalog, "", "spx"), 0);
    EXPECT_EQ(tw::app::product_to_open(catalog, "", "somethingelse"), 1);
    EXPECT_EQ(tw::app::product_to_open(catalog, "", "paint3"), 2);
    EXPECT_EQ(tw::app::product_to_open(catalog, "", "paint"), 2);
    EXPECT_EQ(tw::app::product_to_open(catalog, "", "sculpt"), -1);
}

TEST(ProductToOpen, OnlyProductOpensItselfOtherwiseUserChooses)
{
    EXPECT_EQ(tw::app::product_to_open(catalog_of({product("studio", "Studio")}), "", ""), 0);
    EXPECT_EQ(tw::app::product_to_open(catalog_of({product("studio", "Studio")}), "gone", "paint"), 0);
    EXPECT_EQ(tw::app::product_to_open(catalog_of({product("studio", "Studio"), product("paint", "Paint")}), "", ""),
              -1);
    EXPECT_EQ(tw::app::product_to_open(catalog_of({}), "studio", "studio"), -1);
}

TEST(ProductToOpen, EmptyKeysMatchNothing)
{
    // Nothing remembered and no hint must not pick products whose keys happen to be empty.
    const Catalog catalog = catalog_of({product("", "\xE3\x82\xB9"), product("", "Paint")});
    EXPECT_EQ(tw::app::product_to_open(catalog, "", ""), -1);
}

// ---- First channel ----

CatalogBuild build(bool beta)
{
    CatalogBuild b;
    b.beta = beta;
    b.version = beta ? "2.0.0-beta" : "1.0.0";
    return b;
}

TEST(InitialChannel, OfficialWheneverThereIsAnOfficialBuild)
{
    struct Case {
        const char* label;
        std::vector<bool> builds;
        bool beta_available;
        tw::app::Channel channel;
    };
    const Case cases[] = {
        {"official only", {false}, false, tw::app::Channel::official},
        {"official after betas, betas offered", {true, true, false}, true, tw::app::Channel::official},
        {"betas only, offered", {true, true}, true, tw::app::Channel::beta},
        {"betas only, not offered", {true}, false, tw::app::Channel::official},
        {"no builds, betas offered", {}, true, tw::app::Channel::beta},
        {"no builds, nothing offered", {}, false, tw::app::Channel::official},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        CatalogProduct p = product("studio", "Studio");
        p.beta_available = c.beta_available;
        for (const bool beta : c.builds)
            p.builds.push_back(build(beta));
        EXPECT_EQ(tw::app::initial_channel(p), c.channel);
    }
}

}  // namespace
