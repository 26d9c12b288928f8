#include "tools/catalog/command_line.h"

#include "app/version.h"

#include <map>

namespace tw::tool {
namespace {

// Options with a value, as given: "--name value" or "--name=value"; flags map to "".
struct Words {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
    std::string error;
};

bool takes_value(const std::string& name) { return name != "--json" && name != "--help"; }

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
        if (words.options.contains(name))
            words.error = name + " is given twice";
        else if (takes_value(name) && equals == std::string::npos && i + 1 >= arguments.size())
            words.error = name + " needs a value";
        else if (takes_value(name) && equals == std::string::npos)
            value = arguments[++i];
        else if (!takes_value(name) && equals != std::string::npos)
            words.error = name + " takes no value";
        words.options[name] = value;
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
    if (auto error = leftover(words, 1); !error.empty())
        return failure("check: " + (error == "missing argument" ? std::string("name the CATALOG") : error));
    options.catalog = words.positional[0];
    if (options.catalog.empty())
        return failure("check: the CATALOG is empty");
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
    return failure("unknown command " + arguments[0]);
}

const char* const usage_text =
    "usage: tarnwick-catalog check CATALOG [--site-host HOST] [--files DIR] [--ca-file PEM] [--json]\n"
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
    "entry  prints the catalog entry of one signed setup program, with its true size and SHA-256,\n"
    "       and refuses a file whose signature is missing or not valid.\n"
    "\n"
    "--ca-file PEM  certificates to trust for https and for signatures instead of the system's.\n";

}  // namespace tw::tool
