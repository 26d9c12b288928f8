#include "catalog/catalog.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace {

using nlohmann::json;
using tw::catalog::Catalog;
using tw::catalog::parse_catalog;

// SHA-256 of "test": a realistic lower-case digest.
const std::string good_hash = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";

json official_build(const std::string& version = "2.1.0")
{
    return {{"packageId", "studio-win-x64-" + version},
            {"channel", "stable"},
            {"version", version},
            {"fileName", "StudioSetup-" + version + ".exe"},
            {"sizeBytes", 73400320},
            {"sha256", good_hash},
            {"downloadUrl", "https://downloads.tarnwick.test/studio/" + version + "/StudioSetup.exe"}};
}

json product(const std::string& name, json builds, const std::string& slug = "studio")
{
    return {{"slug", slug}, {"name", name}, {"builds", std::move(builds)}};
}

json document(json products)
{
    return {{"publisher", "Tarnwick Software Ltd"}, {"products", std::move(products)}};
}

json document_with_build(json build)
{
    return document(json::array({product("Studio", json::array({std::move(build)}))}));
}

json valid_installer()
{
    return {{"version", "1.4.0"},
            {"fileName", "TarnwickInstaller.exe"},
            {"sizeBytes", 2097152},
            {"sha256", good_hash},
            {"downloadUrl", "https://downloads.tarnwick.test/installer/TarnwickInstaller.exe"}};
}

std::optional<Catalog> parse(const json& value) { return parse_catalog(value.dump()); }

// The one build of the one product, or nothing when the build was dropped (and the product with it).
std::optional<tw::catalog::CatalogBuild> only_build(const json& build)
{
    const auto catalog = parse(document_with_build(build));
    if (!catalog || catalog->products.empty() || catalog->products[0].builds.empty())
        return std::nullopt;
    return catalog->products[0].builds[0];
}

// Replaces a key's value, or removes the key when no value is given.
json with(json object, const char* key, const std::optional<json>& value)
{
    if (value)
        object[key] = *value;
    else
        object.erase(key);
    return object;
}

TEST(CatalogDocument, RefusesBodiesThatAreNotOneJsonObject)
{
    const char* const bodies[] = {
        "",
        "   \n",
        "[]",
        R"("catalog")",
        "null",
        "42",
        R"({"publisher":"P","products":[])",
        R"({"publisher":"P","products":[],})",
        R"({"publisher":"P","products":[{"name":"A","betaAvailable":true},]})",
        R"({"publisher":"P", /* note */ "products":[]})",
        R"({"publisher":"P","products":[]} // trailing note)",
        R"({"publisher":"P","products":[]} {})",
        R"({"publisher":"P","products":[]}x)",
        R"({'publisher':'P','products':[]})",
        R"({publisher:"P",products:[]})",
    };
    for (const char* body : bodies) {
        SCOPED_TRACE(body);
        EXPECT_FALSE(parse_catalog(body).has_value());
    }
}

TEST(CatalogDocument, RefusesDocumentsWithoutProductsArrayOrPublisher)
{
    const json full = document(json::array({product("Studio", json::array({official_build()}))}));
    struct Case {
        const char* label;
        const char* key;
        std::optional<json> value;
    };
    const Case cases[] = {
        {"products missing", "products", std::nullopt},
        {"products an object", "products", json::object({{"name", "Studio"}})},
        {"products a string", "products", "Studio"},
        {"products null", "products", nullptr},
        {"publisher missing", "publisher", std::nullopt},
        {"publisher empty", "publisher", ""},
        {"publisher a number", "publisher", 7},
        {"publisher an array", "publisher", json::array({"Tarnwick"})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_FALSE(parse(with(full, c.key, c.value)).has_value());
    }
    // Keys are matched exactly.
    EXPECT_FALSE(parse_catalog(R"({"Publisher":"P","products":[]})").has_value());
    EXPECT_FALSE(parse_catalog(R"({"publisher":"P","Products":[]})").has_value());
}

TEST(CatalogDocument, AcceptsTheSmallestDocument)
{
    const auto catalog = parse_catalog(" \r\n\t{\"products\":[],\"publisher\":\"Tarnwick Software Ltd\"}\n\t \r\n");
    ASSERT_TRUE(catalog.has_value());
    EXPECT_EQ(catalog->publisher, "Tarnwick Software Ltd");
    EXPECT_EQ(catalog->minimum_installer_version, "");
    EXPECT_FALSE(catalog->installer.has_value());
    EXPECT_TRUE(catalog->products.empty());
}

TEST(CatalogDocument, ReadsTopLevelFieldsAndIgnoresUnknownKeys)
{
    json doc = document(json::array());
    doc["minimumInstallerVersion"] = "1.2.0";
    doc["schema"] = 3;
    doc["notice"] = {{"text", "maintenance"}, {"products", nullptr}};
    const auto catalog = parse(doc);
    ASSERT_TRUE(catalog.has_value());
    EXPECT_EQ(catalog->minimum_installer_version, "1.2.0");

    doc["minimumInstallerVersion"] = 2;
    const auto numeric = parse(doc);
    ASSERT_TRUE(numeric.has_value());
    EXPECT_EQ(numeric->minimum_installer_version, "");
}

TEST(CatalogDocument, KeepsStringsAsTheirUtf8Text)
{
    const auto catalog = parse_catalog(
        R"({"publisher":"Tarnwick \"Software\" S\u00e0rl","products":[)"
        R"({"name":"Studio \u00c9dition \ud83c\udfa8","betaAvailable":true}]})");
    ASSERT_TRUE(catalog.has_value());
    EXPECT_EQ(catalog->publisher, "Tarnwick \"Software\" S\xC3\xA0rl");
    ASSERT_EQ(catalog->products.size(), 1u);
    EXPECT_EQ(catalog->products[0].name, "Studio \xC3\x89" "dition \xF0\x9F\x8E\xA8");
}

TEST(CatalogDocument, ReadsEveryBuildField)
{
    const auto build = only_build(official_build("2.1.0"));
    ASSERT_TRUE(build.has_value());
    EXPECT_EQ(build->package_id, "studio-win-x64-2.1.0");
    EXPECT_EQ(build->channel, "stable");
    EXPECT_FALSE(build->beta);
    EXPECT_EQ(build->version, "2.1.0");
    EXPECT_EQ(build->file_name, "StudioSetup-2.1.0.exe");
    EXPECT_EQ(build->size_bytes, 73400320u);
    EXPECT_EQ(build->sha256, good_hash);
    EXPECT_EQ(build->download_url, "https://downloads.tarnwick.test/studio/2.1.0/StudioSetup.exe");
}

TEST(CatalogDocument, DropsBuildsWithoutFileHashOrAddress)
{
    struct Case {
        const char* label;
        const char* key;
        std::optional<json> value;
        bool kept;
    };
    std::string upper_hash = good_hash;
    upper_hash[10] = 'A';
    const Case cases[] = {
        {"63-character hash", "sha256", good_hash.substr(1), false},
        {"65-character hash", "sha256", good_hash + "0", false},
        {"upper-case A in hash", "sha256", upper_hash, false},
        {"upper-case hash", "sha256", "9F86D081884C7D659A2FEAA0C55AD015A3BF4F1B2B0B822CD15D6C15B0F00A08", false},
        {"g in hash", "sha256", std::string(63, 'a') + "g", false},
        {"blank in hash", "sha256", std::string(63, 'a') + " ", false},
        {"hash missing", "sha256", std::nullopt, false},
        {"hash a number", "sha256", 12345, false},
        {"empty file name", "fileName", "", false},
        {"file name missing", "fileName", std::nullopt, false},
        {"file name a number", "fileName", 1, false},
        {"empty address", "downloadUrl", "", false},
        {"address missing", "downloadUrl", std::nullopt, false},
        {"address an object", "downloadUrl", json::object({{"href", "https://x"}}), false},
        {"all-digit hash", "sha256", std::string(64, '0'), true},
        {"empty version", "version", "", true},
        {"version missing", "version", std::nullopt, true},
        {"package id missing", "packageId", std::nullopt, true},
        {"channel missing", "channel", std::nullopt, true},
        {"size missing", "sizeBytes", std::nullopt, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(only_build(with(official_build(), c.key, c.value)).has_value(), c.kept);
    }
}

TEST(CatalogDocument, OptionalBuildStringsOfAnotherTypeReadAsEmpty)
{
    json build = official_build();
    build["packageId"] = 17;
    build["channel"] = true;
    build["version"] = json::array({"2", "1"});
    const auto kept = only_build(build);
    ASSERT_TRUE(kept.has_value());
    EXPECT_EQ(kept->package_id, "");
    EXPECT_EQ(kept->channel, "");
    EXPECT_EQ(kept->version, "");
}

TEST(CatalogDocument, BetaRuleTrackThenChannelThenVersion)
{
    struct Case {
        std::optional<json> track;
        std::optional<json> channel;
        std::optional<json> version;
        bool beta;
    };
    const Case cases[] = {
        {"beta", "stable", "2.0.0", true},
        {"stable", "test", "2.0.0", false},
        {"stable", "stable", "2.0.0-rc.1", false},
        {"stable", "test", "2.0.0-rc.1", false},
        {"Beta", "stable", "2.0.0", false},
        {"Beta", "test", "2.0.0-rc.1", false},
        {"beta ", "stable", "2.0.0", false},
        {"betas", "stable", "2.0.0", false},
        {std::nullopt, "test", "2.0.0", true},
        {"", "test", "2.0.0", true},
        {7, "test", "2.0.0", true},
        {std::nullopt, "Test", "2.0.0", false},
        {std::nullopt, "testing", "2.0.0", false},
        {std::nullopt, "beta", "2.0.0", false},
        {std::nullopt, std::nullopt, "2.0.0-rc.1", true},
        {std::nullopt, "stable", "2.0.0-rc.1", true},
        {std::nullopt, std::nullopt, "2.0.0", false},
        {std::nullopt, std::nullopt, "-", true},
        {std::nullopt, std::nullopt, "2.0.0+build-7", true},
        {std::nullopt, std::nullopt, "", false},
        {std::nullopt, std::nullopt, std::nullopt, false},
    };
    for (const auto& c : cases) {
        const json build =
            with(with(with(official_build(), "track", c.track), "channel", c.channel), "version", c.version);
        SCOPED_TRACE(build.dump());
        const auto kept = only_build(build);
        ASSERT_TRUE(kept.has_value());
        EXPECT_EQ(kept->beta, c.beta);
        // The track decides the channel shown, but the build's own channel text stays as written.
        const bool channel_is_text = c.channel && c.channel->is_string();
        EXPECT_EQ(kept->channel, channel_is_text ? c.channel->get<std::string>() : std::string());
    }
}

TEST(CatalogDocument, SizeIsReadOnlyFromPlainIntegers)
{
    constexpr std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
    struct Case {
        const char* text;
        std::uint64_t size;
    };
    const Case cases[] = {
        {"0", 0},
        {"73400320", 73400320},
        {"5368709120", 5368709120ull},
        {"1.5", 0},
        {"1.0", 0},
        {"1e3", 0},
        {"1E3", 0},
        {"-1e3", 0},
        {"\"100\"", 0},
        {"true", 0},
        {"null", 0},
        {"[100]", 0},
        {"-1", max},
        {"-2", max - 1},
        {"-0", 0},
        {"-9223372036854775808", 9223372036854775808ull},
        {"9223372036854775808", 9223372036854775808ull},
        {"18446744073709551615", max},
        {"18446744073709551616", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string body = R"({"publisher":"P","products":[{"name":"Studio","builds":[{"fileName":"s.exe","sha256":")" +
                                 good_hash + R"(","downloadUrl":"https://downloads.tarnwick.test/s.exe","sizeBytes":)" +
                                 c.text + "}]}]}";
        const auto catalog = parse_catalog(body);
        ASSERT_TRUE(catalog.has_value());
        ASSERT_EQ(catalog->products.size(), 1u);
        ASSERT_EQ(catalog->products[0].builds.size(), 1u);
        EXPECT_EQ(catalog->products[0].builds[0].size_bytes, c.size);
    }
}

TEST(CatalogDocument, KeepsAValidInstallerWithEveryField)
{
    json doc = document(json::array());
    doc["installer"] = valid_installer();
    const auto catalog = parse(doc);
    ASSERT_TRUE(catalog.has_value());
    ASSERT_TRUE(catalog->installer.has_value());
    EXPECT_EQ(catalog->installer->version, "1.4.0");
    EXPECT_EQ(catalog->installer->file_name, "TarnwickInstaller.exe");
    EXPECT_EQ(catalog->installer->size_bytes, 2097152u);
    EXPECT_EQ(catalog->installer->sha256, good_hash);
    EXPECT_EQ(catalog->installer->download_url, "https://downloads.tarnwick.test/installer/TarnwickInstaller.exe");
}

TEST(CatalogDocument, InvalidInstallerIsDroppedButTheCatalogKept)
{
    struct Case {
        const char* label;
        const char* key;
        std::optional<json> value;
        bool kept;
    };
    const Case cases[] = {
        {"file name missing", "fileName", std::nullopt, true},
        {"file name empty", "fileName", "", true},
        {"size missing", "sizeBytes", std::nullopt, true},
        {"size with fraction", "sizeBytes", 2.5, true},
        {"version empty", "version", "", false},
        {"version missing", "version", std::nullopt, false},
        {"version a number", "version", 2, false},
        {"hash upper case", "sha256", "9F86D081884C7D659A2FEAA0C55AD015A3BF4F1B2B0B822CD15D6C15B0F00A08", false},
        {"hash short", "sha256", good_hash.substr(0, 63), false},
        {"hash missing", "sha256", std::nullopt, false},
        {"address empty", "downloadUrl", "", false},
        {"address missing", "downloadUrl", std::nullopt, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        json doc = document(json::array({product("Studio", json::array({official_build()}))}));
        doc["installer"] = with(valid_installer(), c.key, c.value);
        const auto catalog = parse(doc);
        ASSERT_TRUE(catalog.has_value());
        EXPECT_EQ(catalog->installer.has_value(), c.kept);
        EXPECT_EQ(catalog->products.size(), 1u);
    }
    const auto kept_without_name = [] {
        json doc = document(json::array());
        doc["installer"] = with(valid_installer(), "fileName", std::nullopt);
        return parse(doc);
    }();
    ASSERT_TRUE(kept_without_name && kept_without_name->installer);
    EXPECT_EQ(kept_without_name->installer->file_name, "");
}

TEST(CatalogDocument, InstallerThatIsNotAnObjectIsIgnored)
{
    for (const json& value : {json::array({valid_installer()}), json("1.4.0"), json(nullptr), json(true)}) {
        SCOPED_TRACE(value.dump());
        json doc = document(json::array());
        doc["installer"] = value;
        const auto catalog = parse(doc);
        ASSERT_TRUE(catalog.has_value());
        EXPECT_FALSE(catalog->installer.has_value());
    }
}

TEST(CatalogDocument, ProductNeedsANameAndSomethingToOffer)
{
    json no_builds = product("Studio", json::array());
    struct Case {
        const char* label;
        json product;
        bool kept;
    };
    const Case cases[] = {
        {"name and a build", product("Studio", json::array({official_build()})), true},
        {"empty name", product("", json::array({official_build()})), false},
        {"name missing", with(product("x", json::array({official_build()})), "name", std::nullopt), false},
        {"name a number", with(product("x", json::array({official_build()})), "name", 5), false},
        {"no valid builds", product("Studio", json::array({with(official_build(), "sha256", "")})), false},
        {"no builds, betaAvailable false", with(no_builds, "betaAvailable", false), false},
        {"no builds, betaAvailable true", with(no_builds, "betaAvailable", true), true},
        {"no builds, betaAvailable \"true\"", with(no_builds, "betaAvailable", "true"), false},
        {"no builds, betaAvailable 1", with(no_builds, "betaAvailable", 1), false},
        {"builds key missing, betaAvailable true",
         with(with(no_builds, "builds", std::nullopt), "betaAvailable", true), true},
        {"empty name, betaAvailable true", with(product("", json::array()), "betaAvailable", true), false},
        {"builds an object", with(no_builds, "builds", official_build()), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const auto catalog = parse(document(json::array({c.product})));
        ASSERT_TRUE(catalog.has_value());
        EXPECT_EQ(catalog->products.size(), c.kept ? 1u : 0u);
    }
}

TEST(CatalogDocument, BetaOnlyProductSurvivesWithEmptyBuildList)
{
    json beta_only = product("Studio Labs", json::array({with(official_build(), "fileName", "")}), "labs");
    beta_only["betaAvailable"] = true;
    beta_only["betasNeedSignIn"] = true;
    const auto catalog = parse(document(json::array({beta_only})));
    ASSERT_TRUE(catalog.has_value());
    ASSERT_EQ(catalog->products.size(), 1u);
    const auto& kept = catalog->products[0];
    EXPECT_EQ(kept.slug, "labs");
    EXPECT_EQ(kept.name, "Studio Labs");
    EXPECT_TRUE(kept.beta_available);
    EXPECT_TRUE(kept.betas_need_sign_in);
    EXPECT_TRUE(kept.builds.empty());
}

TEST(CatalogDocument, BetaAvailableFollowsKeptBetaBuilds)
{
    json with_beta = product("Studio", json::array({official_build("2.1.0"), official_build("2.2.0-beta.1")}));
    with_beta["betaAvailable"] = false;
    const auto catalog = parse(document(json::array({with_beta})));
    ASSERT_TRUE(catalog && catalog->products.size() == 1);
    EXPECT_TRUE(catalog->products[0].beta_available);

    // A dropped beta build says nothing about betas.
    json dropped_beta = product("Studio", json::array({official_build("2.1.0"),
                                                       with(official_build("2.2.0-beta.1"), "sha256", "")}));
    const auto second = parse(document(json::array({dropped_beta})));
    ASSERT_TRUE(second && second->products.size() == 1);
    EXPECT_FALSE(second->products[0].beta_available);
    EXPECT_FALSE(second->products[0].betas_need_sign_in);
}

TEST(CatalogDocument, SkipsElementsThatAreNotObjects)
{
    const json builds = json::array({"StudioSetup.exe", 3, nullptr, json::array({official_build("9.9.9")}),
                                     official_build("2.1.0"), false});
    const json products = json::array({"Studio", 1, json::array({product("Inner", json::array({official_build()}))}),
                                       product("Studio", builds), nullptr});
    const auto catalog = parse(document(products));
    ASSERT_TRUE(catalog.has_value());
    ASSERT_EQ(catalog->products.size(), 1u);
    EXPECT_EQ(catalog->products[0].name, "Studio");
    ASSERT_EQ(catalog->products[0].builds.size(), 1u);
    EXPECT_EQ(catalog->products[0].builds[0].version, "2.1.0");
}

TEST(CatalogDocument, KeepsDocumentOrderWithoutSortingOrMerging)
{
    const json products = json::array({
        product("Zeta Tools", json::array({official_build("1.0.0"), official_build("3.0.0"),
                                           official_build("2.0.0-beta"), official_build("1.0.0")}),
                "zeta"),
        product("Studio", json::array({official_build("2.1.0")}), "studio"),
        product("Alpha", json::array({official_build("0.1.0")}), "studio"),
    });
    const auto catalog = parse(document(products));
    ASSERT_TRUE(catalog.has_value());
    std::vector<std::string> names;
    for (const auto& p : catalog->products)
        names.push_back(p.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Zeta Tools", "Studio", "Alpha"}));
    std::vector<std::string> versions;
    for (const auto& b : catalog->products[0].builds)
        versions.push_back(b.version);
    EXPECT_EQ(versions, (std::vector<std::string>{"1.0.0", "3.0.0", "2.0.0-beta", "1.0.0"}));
}

TEST(CatalogDocument, ReadsProductFlagsOnlyFromBooleans)
{
    json p = product("Studio", json::array({official_build()}));
    p["betasNeedSignIn"] = "yes";
    p["slug"] = 12;
    const auto catalog = parse(document(json::array({p})));
    ASSERT_TRUE(catalog && catalog->products.size() == 1);
    EXPECT_FALSE(catalog->products[0].betas_need_sign_in);
    EXPECT_FALSE(catalog->products[0].beta_available);
    EXPECT_EQ(catalog->products[0].slug, "");
}

TEST(CatalogDocument, SurvivesDeepNestingInUnknownKeys)
{
    constexpr int depth = 100000;
    const std::string nested = std::string(depth, '[') + std::string(depth, ']');
    const auto accepted = parse_catalog(R"({"publisher":"P","products":[],"extra":)" + nested + "}");
    ASSERT_TRUE(accepted.has_value());
    EXPECT_TRUE(accepted->products.empty());
    EXPECT_FALSE(parse_catalog(std::string(depth, '[')).has_value());
}

}  // namespace
