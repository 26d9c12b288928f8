#include "tools/catalog/tool.h"

#include "tools/catalog/check_command.h"
#include "tools/catalog/command_line.h"
#include "tools/catalog/entry_command.h"
#include "tools/catalog/sign_command.h"

namespace tw::tool {

int run_tool(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err)
{
    const ParsedCommandLine parsed = parse_command_line(arguments);
    if (!parsed.command) {
        err << "tarnwick-catalog: " << parsed.error << '\n' << usage_text;
        return 2;
    }
    if (const auto* check = std::get_if<CheckOptions>(&*parsed.command))
        return run_check(*check, out, err);
    if (const auto* entry = std::get_if<EntryOptions>(&*parsed.command))
        return run_entry(*entry, out, err);
    if (const auto* sign = std::get_if<SignOptions>(&*parsed.command))
        return run_sign(*sign, out, err);
    if (const auto* key_id = std::get_if<KeyIdOptions>(&*parsed.command))
        return run_key_id(*key_id, out, err);
    out << usage_text;
    return 0;
}

}  // namespace tw::tool
