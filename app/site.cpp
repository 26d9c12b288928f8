#include "app/site.h"

#include "client/user_agent.h"

namespace tw::app {

std::string site_host_of(std::string_view origin)
{
    std::string_view rest = origin;
    if (const auto scheme_end = rest.find("://"); scheme_end != std::string_view::npos)
        rest.remove_prefix(scheme_end + 3);
    rest = rest.substr(0, rest.find_first_of("/?#"));
    if (rest.starts_with('[')) {
        const auto close = rest.find(']');
        return std::string(close == std::string_view::npos ? rest : rest.substr(0, close + 1));
    }
    return std::string(rest.substr(0, rest.find(':')));
}

const std::string& user_agent()
{
    static const std::string agent =
        client::make_user_agent("tarnwick-installer", installer_version, "windows", "release");
    return agent;
}

}  // namespace tw::app
