#include "tools/catalog/command_line.h"

#include "app/version.h"
#include "catalog/catalog_trust.h"

#include <map>

namespace tw::tool {
namespace {

// Options with a value, as given: "--name value" or "--name=value"; flags map to "".
struct Words {
    std::vector<std::string> positional;
    std::multimap<std::string, std::string> options;
    std::string error;
};

bool takes_value(const std::string& name) { return name != "--json" && name != "--help"; }
bool repeatable(const std::string& name) { return name == "--catalog-key"; }

Words split(const std::vector<std::string>& arguments)
{
    Words words;
    for (std::size_t i = 0; i < arguments.size() && words.error.empty(); ++i) {
        const std::string& word = arguments[i];
        if (!word.starts_with("--")) {
            words.positional.push_back(word);
            continue;
        }
        const auto equals = word.find('=');
        std::string name = word.substr(0, equals);
        std::string value = equals == std::string::npos ? std::string() : word.substr(equals + 1);
        if (words.options.contains(name) && !repeatable(name))
            words.error = name + " is given twice";
        else if (takes_value(name) && equals == std::string::npos && i + 1 >= arguments.size())
            words.error = name + " needs a value";
        else if (takes_value(name) && equals == std::string::npos)
            value = arguments[++i];
        else if (!takes_value(name) && equals != std::string::npos)
            words.error = name + " takes no value";
        words.options.emplace(name, value);
    }
    return words;
}

// Takes an option out of the words: what is left over at the end is unknown.
std::optional<std::string> take(Words& words, const std::string& name)
{
    const auto found = words.options.find(name);
    if (found == words.options.end())
        return std::nullopt;
    std::string value = found->second;
    words.options.erase(found);
    return value;
}

std::vector<std::string> take_all(Words& words, const std::string& name)
{
    std::vector<std::string> values;
    const auto [first, last] = words.options.equal_range(name);
    for (auto at = first; at != last; ++at)
        values.push_back(at->second);
    words.options.erase(first, last);
    return values;
}

std::string leftover(const Words& words, std::size_t positional_wanted)
{
    if (!words.options.empty())
        return "unknown option " + words.options.begin()->first;
    if (words.positional.size() > positional_wanted)
        return "unexpected argument " + words.positional[positional_wanted];
    if (words.positional.size() < positional_wanted)
        return "missing argument";
    return {};
}

ParsedCommandLine failure(std::string error) { return {std::nullopt, std::move(error)}; }

ParsedCommandLine parse_check(Words words)
{
    CheckOptions options;
    options.site_host = take(words, "--site-host").value_or("");
    options.files = take(words, "--files").value_or("");
    options.trust_file = take(words, "--ca-file").value_or("");
    options.json = take(words, "--json").has_value();
    options.catalog_keys = take_all(words, "--catalog-key");
    options.publisher = take(words, "--publisher").value_or("");
    options.signature = take(words, "--signature");
    if (auto error = leftover(words, 1); !error.empty())
        return failure("check: " + (error == "missing argument" ? std::string("name the CATALOG") : error));
    options.catalog = words.positional[0];
    if (options.catalog.empty())
        return failure("check: the CATALOG is empty");
    if (options.catalog_keys.size() > catalog::max_catalog_keys)
        return failure("check: the Installer holds at most four --catalog-key");
    return {options, {}};
}

ParsedCommandLine parse_entry(Words words)
{
    EntryOptions options;
    const auto version = take(words, "--version");
    const auto url = take(words, "--url");
    options.package_id = take(words, "--package-id").value_or("");
    options.channel = take(words, "--channel");
    options.track = take(words, "--track");
    options.trust_file = take(words, "--ca-file").value_or("");
    if (auto error = leftover(words, 1); !error.empty())
        return failure("entry: " + (error == "missing argument" ? std::string("name the FILE") : error));
    if (!version || version->empty() || !url || url->empty())
        return failure("entry: --version and --url are required");
    if (options.channel && options.track)
        return failure("entry: give --channel or --track, not both");
    options.file = words.positional[0];
    options.version = *version;
    options.url = *url;
    return {options, {}};
}

ParsedCommandLine parse_sign(Words words)
{
    SignOptions options;
    const auto key = take(words, "--key");
    const auto output = take(words, "--out");
    const auto days = take(words, "--days");
    if (auto error = leftover(words, 1); !error.empty())
        return failure("sign: " + (error == "missing argument" ? std::string("name the catalog to sign") : error));
    if (!key || key->empty() || !output || output->empty())
        return failure("sign: --key and --out are required");
    if (days) {
        const bool digits = !days->empty() && days->size() <= 2 &&
                            days->find_first_not_of("0123456789") == std::string::npos;
        options.days = digits ? std::stoi(*days) : 0;
        if (options.days < 1 || options.days > max_sign_days)
            return failure("sign: --days must be 1 to 31");
    }
    options.input = words.positional[0];
    options.key = *key;
    options.output = *output;
    return {options, {}};
}

ParsedCommandLine parse_key_id(Words words)
{
    if (auto error = leftover(words, 1); !error.empty())
        return failure("keyid: " + (error == "missing argument" ? std::string("name the public key") : error));
    return {KeyIdOptions{words.positional[0]}, {}};
}

}  // namespace

ParsedCommandLine parse_command_line(const std::vector<std::string>& arguments)
{
    if (arguments.empty())
        return failure("name a command");
    Words words = split({arguments.begin() + 1, arguments.end()});
    if (!words.error.empty())
        return failure(arguments[0] + ": " + words.error);
    if (arguments[0] == "--help" || arguments[0] == "help" || words.options.contains("--help"))
        return {HelpRequest{}, {}};
    if (arguments[0] == "check")
        return parse_check(std::move(words));
    if (arguments[0] == "entry")
        return parse_entry(std::move(words));
    if (arguments[0] == "sign")
        return parse_sign(std::move(words));
    if (arguments[0] == "keyid")
        return parse_key_id(std::move(words));
    return failure("unknown command " + arguments[0]);
}

const char* const usage_text =
    "usage: tarnwick-catalog check CATALOG [--site-host HOST] [--files DIR] [--ca-file PEM] [--json]\n"
    "                              [--catalog-key PUB.pem]... [--publisher NAME] [--signature VALUE]\n"
    "       tarnwick-catalog sign IN.json --key KEY.pem [--days N] --out OUT.json\n"
    "       tarnwick-catalog keyid PUB.pem\n"
    "       tarnwick-catalog entry FILE --version V --url URL [--package-id ID] [--channel C | --track T]\n"
    "                              [--ca-file PEM]\n"
    "\n"
    "check  reads a catalog (a file, \"-\" for standard input, or an https address) as Installer\n"
    "       " TWI_INSTALLER_VERSION " does and tells, a line each, what it refuses or drops and why,"
    " what its window\n"
    "       shows, which download addresses the address policy refuses for HOST (default: the\n"
    "       host of an https CATALOG), which file names staging changes and, with --files, whether\n"
    "       the files in DIR match their entries and carry the publisher's signature.\n"
    "       Exit status 0: nothing is dropped and nothing fails; 1: something is; 2: a usage or\n"
    "       input error. --json prints one report for release pipelines.\n"
    "       With --catalog-key (up to four) it judges the signature header (served by an https\n"
    "       CATALOG, or --signature for a file) and the expiry as an Installer holding those keys\n"
    "       does; with --publisher, the publisher as one pinned to NAME.\n"
    "sign   sets \"expires\" to N days from now (default 7, at most 31), writes the exact bytes to\n"
    "       OUT and prints the Tarnwick-Catalog-Signature header to serve with them.\n"
    "keyid  prints the key id a signature header names for a public key.\n"
    "entry  prints the catalog entry of one signed setup program, with its true size and SHA-256,\n"
    "       and refuses a file whose signature is missing or not valid.\n"
    "\n"
    "--ca-file PEM  certificates to trust for https and for signatures instead of the system's.\n";

}  // namespace tw::tool
