#pragma once
// The command line of tarnwick-catalog, read into the options of one command.

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tw::tool {

struct CheckOptions {
    std::string catalog;    // a file, or an https address
    std::string site_host;  // empty: the host of an https catalog address
    std::string files;      // a folder of the files the catalog names; empty: none
    std::string trust_file; // certificates to trust for https and signatures (PEM)
    bool json = false;
};

struct EntryOptions {
    std::string file;
    std::string version;
    std::string url;
    std::string package_id;
    std::optional<std::string> channel;
    std::optional<std::string> track;
    std::string trust_file;
};

struct HelpRequest {};

using Command = std::variant<CheckOptions, EntryOptions, HelpRequest>;

struct ParsedCommandLine {
    std::optional<Command> command;
    std::string error;  // set exactly when there is no command
};

// `arguments` excludes the program's name.
ParsedCommandLine parse_command_line(const std::vector<std::string>& arguments);

extern const char* const usage_text;

}  // namespace tw::tool
