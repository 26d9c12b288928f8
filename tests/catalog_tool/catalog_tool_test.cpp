// tarnwick-catalog on catalogs written here: what the Installer refuses, drops and shows, the
// self-updates that never end, refused addresses, the files a catalog names, and its exit codes.

#include "catalog/catalog.h"
#include "tools/catalog/catalog_review.h"
#include "tools/catalog/file_review.h"
#include "tools/catalog/signer_name.h"
#include "tools/catalog/tool.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <openssl/x509v3.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testing::HasSubstr;
using tw::tool::Finding;
using tw::tool::Findings;
using tw::tool::Severity;

// SHA-256 of "test".
const std::string good_hash = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";
const std::string site = "tarnwick.test";

json build(const std::string& version, const std::string& file = "")
{
    const std::string name = file.empty() ? "StudioSetup-" + version + ".exe" : file;
    return {{"channel", "stable"}, {"version", version}, {"fileName", name}, {"sizeBytes", 4},
            {"sha256", good_hash}, {"downloadUrl", "https://downloads.tarnwick.test/" + name}};
}

json installer(const std::string& version)
{
    return {{"version", version}, {"fileName", "TarnwickInstaller.exe"}, {"sha256", good_hash},
            {"downloadUrl", "https://downloads.tarnwick.test/TarnwickInstaller.exe"}};
}

json clean_catalog()
{
    return {{"minimumInstallerVersion", "1.0.0"},
            {"publisher", "Tarnwick Software Ltd"},
            {"installer", installer("1.2.0")},
            {"products",
             {{{"slug", "studio"}, {"name", "Studio"}, {"builds", {build("2.1.0"), build("2.0.8")}}},
              {{"slug", "lab"}, {"name", "Lab"}, {"builds", {build("1.5.0-rc.1"), build("1.4.0")}}}}}};
}

// "product / build / field: message" of every finding of a severity, so one matcher reads them all.
std::vector<std::string> lines(const Findings& findings, Severity severity)
{
    std::vector<std::string> found;
    for (const Finding& f : findings) {
        if (f.severity == severity)
            found.push_back(f.product + " / " + f.build + " / " + f.field + ": " + f.message);
    }
    return found;
}

tw::tool::CatalogReview review(const json& document, const std::string& host = site)
{
    return tw::tool::review_catalog(document.dump(), host);
}

// Every record field, so that two parses can be compared whole.
std::string records(const std::optional<tw::catalog::Catalog>& catalog)
{
    if (!catalog)
        return "refused";
    json all = {catalog->minimum_installer_version, catalog->publisher, catalog->installer.has_value()};
    if (const auto& i = catalog->installer)
        all.push_back({i->version, i->file_name, i->size_bytes, i->sha256, i->download_url});
    for (const auto& p : catalog->products) {
        all.push_back({p.slug, p.name, p.beta_available, p.betas_need_sign_in});
        for (const auto& b : p.builds)
            all.push_back({b.package_id, b.channel, b.beta, b.version, b.file_name, b.size_bytes, b.sha256, b.download_url});
    }
    return all.dump(-1, ' ', false, json::error_handler_t::replace);
}

struct FaultCase {
    const char* what;
    std::string body;
    std::string line;  // expected within one error line
};

TEST(CatalogTool, TellsEachRuleThatRefusesOrDropsAndWhy)
{
    auto with = [](const char* path, const json& value) {
        json document = clean_catalog();
        document[json::json_pointer(path)] = value;
        return document.dump();
    };
    auto without = [](const char* parent, const char* key) {
        json document = clean_catalog();
        document[json::json_pointer(parent)].erase(key);
        return document.dump();
    };
    std::string upper = good_hash;
    upper[0] = 'F';
    const FaultCase cases[] = {
        {"not JSON", R"({"publisher":"P","products":[],})", " /  / : the Installer refuses the whole document: it is not one JSON value ([json.exception.parse_error"},
        {"top level", "[]", "it is not a JSON object"},
        {"no products", R"({"publisher":"P"})", " /  / products: the Installer refuses the whole document"},
        {"no publisher", R"({"products":[]})", " /  / publisher: the Installer refuses the whole document"},
        {"upper-case sha", with("/products/0/builds/1/sha256", upper), "Studio / 2.0.8 / sha256: has upper-case letters; only 0-9 and a-f are read; the Installer drops this build"},
        {"short sha", with("/products/0/builds/0/sha256", good_hash.substr(1)), "Studio / 2.1.0 / sha256: has 63 characters, not 64; the Installer drops this build"},
        {"no file name", with("/products/0/builds/0/fileName", ""), "Studio / 2.1.0 / fileName: is missing, empty or not a string; the Installer drops this build"},
        {"no address", without("/products/0/builds/0", "downloadUrl"), "Studio / 2.1.0 / downloadUrl: is missing, empty or not a string; the Installer drops this build"},
        {"build not object", with("/products/0/builds/1", 7), "Studio / builds[1] / : is not an object; the Installer skips it"},
        {"nameless product", with("/products/1/name", ""), "products[1] (slug \"lab\") /  / name: is missing, empty or not a string; the Installer drops this product"},
        {"product left empty", with("/products/1/builds", json::array({7})), "Lab /  / : keeps no build and betaAvailable is not true; the Installer drops this product"},
        {"builds not array", with("/products/1/builds", json::object()), "Lab /  / builds: is not an array"},
        {"product not object", with("/products/1", "Lab"), "products[1] /  / : is not an object; the Installer skips it"},
        {"installer sha", with("/installer/sha256", "from-file"), " / installer / sha256: has 9 characters, not 64; the Installer ignores this installer entry"},
        {"installer not object", with("/installer", "1.2.0"), " / installer / : is not an object"},
        {"installer version", with("/installer/version", ""), " / installer / version: is missing"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto result = tw::tool::review_catalog(c.body, site);
        EXPECT_THAT(lines(result.findings, Severity::error), testing::Contains(HasSubstr(c.line)));
        // The observed parse keeps exactly what the Installer's parse keeps.
        EXPECT_EQ(records(result.catalog), records(tw::catalog::parse_catalog(c.body)));
    }
}

TEST(CatalogTool, ObservedParseAgreesWithTheInstallersOnTheFuzzCorpus)
{
    struct Silent final : tw::catalog::FaultObserver {
        void on_fault(const tw::catalog::FaultReport&) override {}
    } silent;
    int files = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(TWI_SOURCE_DIR) / "tests/fuzz/corpus")) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string body((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const auto plain = tw::catalog::parse_catalog(body);
        const auto observed = tw::catalog::parse_catalog(body, silent);
        EXPECT_EQ(records(plain), records(observed)) << entry.path();
        ++files;
    }
    EXPECT_GT(files, 5);
}

TEST(CatalogTool, FindsSelfUpdatesThatNeverEnd)
{
    struct Case {
        const char* minimum;
        std::optional<std::string> offered;
        Severity severity;
        std::string line;
    };
    const Case cases[] = {
        {"1.1.0", "1.0.5", Severity::error, " / installer / version: the offered Installer 1.0.5 is itself below minimumInstallerVersion 1.1.0"},
        {"1.1.0", std::nullopt, Severity::error, " /  / minimumInstallerVersion: Installer 1.0.0 is out of date (minimum 1.1.0) and no installer is offered"},
        {"1.1.0", "", Severity::error, "and no installer is offered"},  // dropped, so not offered
        {"1.1.0", "1.1.0", Severity::warning, "Installer 1.0.0 is out of date (minimum 1.1.0): it shows no product and offers Installer 1.1.0"},
        {"1.0.0", "1.2.0", Severity::note, "Installer 1.0.0 is not out of date (minimum 1.0.0)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        json document = clean_catalog();
        document["minimumInstallerVersion"] = c.minimum;
        if (c.offered)
            document["installer"] = installer(*c.offered);
        else
            document.erase("installer");
        const auto result = review(document);
        EXPECT_THAT(lines(result.findings, c.severity), testing::Contains(HasSubstr(c.line)));
        EXPECT_EQ(result.window.products.empty(), c.severity != Severity::note) << "out of date shows no product";
    }
}

TEST(CatalogTool, FindsAddressesThePolicyRefusesAndNamesStagingChanges)
{
    json document = clean_catalog();
    document["products"][0]["builds"][0]["downloadUrl"] = "http://tarnwick.test/StudioSetup.exe";
    document["products"][0]["builds"][1]["downloadUrl"] = "https://cdn.example.test/StudioSetup.exe";
    document["products"][1]["builds"][1]["fileName"] = "Lab\\1.4.0:setup.exe";
    document["installer"]["downloadUrl"] = "https://tarnwick.test.example.test/TarnwickInstaller.exe";
    const auto result = review(document);
    EXPECT_THAT(lines(result.findings, Severity::error),
                testing::ElementsAre(
                    HasSubstr(" / installer / downloadUrl: \"https://tarnwick.test.example.test/TarnwickInstaller.exe\" "
                              "is refused by the address policy for the site host \"tarnwick.test\""),
                    HasSubstr("Studio / 2.1.0 / downloadUrl: \"http://tarnwick.test/StudioSetup.exe\" is refused"),
                    HasSubstr("Studio / 2.0.8 / downloadUrl: \"https://cdn.example.test/StudioSetup.exe\" is refused")));
    EXPECT_THAT(lines(result.findings, Severity::warning),
                testing::ElementsAre(HasSubstr("Lab / 1.4.0 / fileName: \"Lab\\1.4.0:setup.exe\" is saved as \"Lab1.4.0setup.exe\"")));
    EXPECT_THAT(lines(review(document, "").findings, Severity::warning),
                testing::Contains(HasSubstr("no download address was judged")));
}

TEST(CatalogTool, ShowsChannelsAndLatestRowsAndFindsBuildsListedOutOfOrder)
{
    json document = clean_catalog();
    document["products"][0]["builds"] = {build("2.0.8"), build("2.1.0"), build("2.2.0-beta.1")};
    const auto result = review(document);
    const auto& studio = result.window.products.at(0);
    ASSERT_EQ(studio.official.size(), 2u);
    EXPECT_EQ(studio.official[0].version, "2.0.8");
    EXPECT_TRUE(studio.official[0].latest);
    EXPECT_FALSE(studio.official[1].latest);
    ASSERT_EQ(studio.beta.size(), 1u);
    EXPECT_TRUE(studio.beta_channel);
    EXPECT_EQ(studio.opens_on, tw::app::Channel::official);
    EXPECT_THAT(lines(result.findings, Severity::warning),
                testing::ElementsAre(HasSubstr("Studio / 2.1.0 / version: is newer than \"2.0.8\", listed before it")));
    EXPECT_THAT(lines(result.findings, Severity::note),
                testing::IsSupersetOf({HasSubstr("Studio / 2.0.8 / : Official, marked latest"),
                                       HasSubstr("Studio / 2.2.0-beta.1 / : Beta, marked latest"),
                                       HasSubstr("Lab /  / : shown; opens on Official; has a Beta channel")}));
}

// Files whose signature reads as the test says, with the signer it names.
tw::tool::SignatureReader signed_by(const std::string& signer)
{
    return [signer](const fs::path&) {
        return tw::tool::SignatureReading{tw::tool::SignatureState::valid, signer, {}};
    };
}

class Scratch : public testing::Test {
protected:
    void SetUp() override
    {
        folder_ = fs::temp_directory_path() / ("twi-tool-test-" + std::to_string(::getpid()));
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    fs::path write(const std::string& name, const std::string& text)
    {
        std::ofstream(folder_ / name, std::ios::binary) << text;
        return folder_ / name;
    }

    int run(const std::vector<std::string>& arguments)
    {
        out_.str({});
        err_.str({});
        return tw::tool::run_tool(arguments, out_, err_);
    }

    fs::path folder_;
    std::ostringstream out_;
    std::ostringstream err_;
};

TEST_F(Scratch, FilesAreCheckedForTheirHashSizeAndSigner)
{
    const fs::path files = folder_ / "files";
    fs::create_directory(files);
    write("files/StudioSetup-2.1.0.exe", "test");      // the catalog's hash and size
    write("files/StudioSetup-2.0.8.exe", "changed");   // uploaded again after the catalog was written
    write("files/Lab Setup.exe", "test");               // found by the name its address gives
    write("secret.exe", "test");                        // outside the folder: never looked at
    json document = clean_catalog();
    document["products"][1]["builds"][0]["downloadUrl"] = "https://tarnwick.test/lab/Lab%20Setup.exe?from=site";
    document["products"][1]["builds"][1]["downloadUrl"] = "https://tarnwick.test/lab/..%2Fsecret.exe";
    const auto catalog = tw::catalog::parse_catalog(document.dump());
    ASSERT_TRUE(catalog);

    const auto by_publisher = tw::tool::review_files(*catalog, files, signed_by("Tarnwick Software Ltd"));
    EXPECT_EQ(by_publisher.failure, "");
    EXPECT_THAT(lines(by_publisher.findings, Severity::error),
                testing::ElementsAre(HasSubstr("Studio / 2.0.8 / sha256: does not match StudioSetup-2.0.8.exe")));
    EXPECT_THAT(lines(by_publisher.findings, Severity::warning),
                testing::ElementsAre(HasSubstr("Studio / 2.0.8 / sizeBytes: says 4, but StudioSetup-2.0.8.exe has 7 bytes")));
    EXPECT_THAT(lines(by_publisher.findings, Severity::note),
                testing::IsSupersetOf({HasSubstr("Lab / 1.5.0-rc.1 / sha256: matches Lab Setup.exe"),
                                       HasSubstr("Lab / 1.4.0 / : has no file in")}));
    EXPECT_EQ(by_publisher.files.size(), 3u);

    const auto by_case = tw::tool::review_files(*catalog, files, signed_by("tarnwick software ltd"));
    EXPECT_THAT(lines(by_case.findings, Severity::error),
                testing::Contains(HasSubstr("Studio / 2.1.0 / : StudioSetup-2.1.0.exe is signed by \"tarnwick software ltd\", "
                                            "not by the publisher \"Tarnwick Software Ltd\"")));
}

TEST_F(Scratch, ExitsWith0ForACleanCatalog1ForADropAnd2ForUsageAndInputErrors)
{
    const auto clean = write("clean.json", clean_catalog().dump()).string();
    json dropping = clean_catalog();
    dropping["products"][0]["builds"][0]["sha256"] = "";
    const auto dropped = write("dropped.json", dropping.dump()).string();

    EXPECT_EQ(run({"check", clean, "--site-host", site}), 0) << out_.str();
    EXPECT_THAT(out_.str(), HasSubstr("summary: 0 errors, 0 warnings: nothing is dropped and nothing fails\n"));
    EXPECT_EQ(run({"check", dropped, "--site-host=" + site, "--json"}), 1);
    const json report = json::parse(out_.str());
    EXPECT_EQ(report["exitStatus"], 1);
    EXPECT_EQ(report["accepted"], true);
    EXPECT_EQ(report["window"]["products"][0]["official"], json::parse(R"([{"version":"2.0.8","latest":true}])"));

    const std::vector<std::string> usage_errors[] = {
        {},
        {"publish"},
        {"check"},
        {"check", clean, "extra"},
        {"check", clean, "--site"},
        {"check", clean, "--site-host"},
        {"check", clean, "--json=yes"},
        {"check", clean, "--json", "--json"},
        {"check", (folder_ / "missing.json").string()},
        {"check", clean, "--files", (folder_ / "missing").string()},
        {"check", "http://tarnwick.test/catalog"},
        {"entry", clean, "--url", "https://tarnwick.test/x.exe"},
        {"entry", clean, "--version", "1.0.0", "--url", "https://tarnwick.test/x.exe", "--channel", "stable",
         "--track", "beta"},
        {"entry", (folder_ / "missing.exe").string(), "--version", "1.0.0", "--url", "https://tarnwick.test/x.exe"},
    };
    for (const auto& arguments : usage_errors) {
        SCOPED_TRACE(testing::PrintToString(arguments));
        EXPECT_EQ(run(arguments), 2);
        EXPECT_THAT(err_.str(), HasSubstr("tarnwick-catalog: "));
        EXPECT_EQ(out_.str(), "");
    }
    EXPECT_EQ(run({"--help"}), 0);
    EXPECT_THAT(out_.str(), HasSubstr("usage: tarnwick-catalog check CATALOG"));
}

// A certificate with the subject and alternative names given, signed by its own key.
struct FreeCertificate {
    void operator()(X509* certificate) const { X509_free(certificate); }
};
using Certificate = std::unique_ptr<X509, FreeCertificate>;

Certificate certificate(const std::vector<std::pair<std::string, std::string>>& subject, const std::string& alt_names)
{
    Certificate made(X509_new());
    X509_NAME* name = X509_get_subject_name(made.get());
    for (const auto& [field, value] : subject) {
        X509_NAME_add_entry_by_txt(name, field.c_str(), MBSTRING_UTF8,
                                   reinterpret_cast<const unsigned char*>(value.c_str()), -1, -1, 0);
    }
    if (!alt_names.empty()) {
        X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, nullptr, NID_subject_alt_name, alt_names.c_str());
        X509_add_ext(made.get(), extension, -1);
        X509_EXTENSION_free(extension);
    }
    return made;
}

// The common name alone: the organisation, unit and e-mail address that the simple display name
// falls back to never name a signer.
TEST(SignerName, IsTheCommonNameAndNothingElse)
{
    struct Case {
        std::vector<std::pair<std::string, std::string>> subject;
        std::string alt_names;
        std::string expected;
    };
    const Case cases[] = {
        {{{"C", "GB"}, {"O", "Tarnwick"}, {"CN", "Tarnwick Software Ltd"}, {"CN", "Second"}}, "", "Tarnwick Software Ltd"},
        {{{"C", "GB"}, {"O", "Tarnwick Software Ltd"}, {"OU", "Builds"}}, "", ""},
        {{{"C", "GB"}, {"emailAddress", "a@b.test"}, {"O", "Tarnwick"}}, "", ""},
        {{{"C", "GB"}, {"L", "Leeds"}}, "email:c@d.test", ""},
        {{{"OU", "Builds"}, {"CN", "Tarnwick Software Ltd"}}, "", "Tarnwick Software Ltd"},
        {{{"CN", "Tärnwick Ünïcode"}}, "", "Tärnwick Ünïcode"},
        {{}, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(tw::tool::common_name(certificate(c.subject, c.alt_names).get()), c.expected);
    }
}

}  // namespace
