#include "client/user_agent.h"

#include <exception>

namespace tw::client {
namespace {

void append_printable(std::string& out, std::string_view text)
{
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F)
            out.push_back(c);
    }
}

}  // namespace

std::string make_user_agent(std::string_view product, std::string_view version,
                            std::string_view platform, std::string_view channel)
{
    try {
        std::string agent;
        append_printable(agent, product);
        agent += '/';
        append_printable(agent, version);
        agent += " (";
        append_printable(agent, platform);
        agent += "; ";
        append_printable(agent, channel);
        agent += ')';
        return agent;
    } catch (const std::exception&) {
        return {};
    }
}

}  // namespace tw::client
