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
    std::vector<std::string> catalog_keys;  // public keys (PEM) the Installer would hold
    std::string publisher;                  // the Installer's pinned publisher; empty: none
    std::optional<std::string> signature;   // for a file: the header served with it
};

struct SignOptions {
    std::string input;
    std::string key;  // the private key (PEM)
    int days = 7;
    std::string output;
};

struct KeyIdOptions {
    std::string key;  // a public key (PEM)
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

using Command = std::variant<CheckOptions, EntryOptions, SignOptions, KeyIdOptions, HelpRequest>;

struct ParsedCommandLine {
    std::optional<Command> command;
    std::string error;  // set exactly when there is no command
};

// `arguments` excludes the program's name.
ParsedCommandLine parse_command_line(const std::vector<std::string>& arguments);

extern const char* const usage_text;

inline constexpr int max_sign_days = 31;

}  // namespace tw::tool
