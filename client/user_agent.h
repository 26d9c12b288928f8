#pragma once

#include <string>
#include <string_view>

namespace tw::client {

// product "/" version " (" platform "; " channel ")", with control bytes removed from each part;
// empty when the text cannot be built.
std::string make_user_agent(std::string_view product, std::string_view version,
                            std::string_view platform, std::string_view channel);

}  // namespace tw::client
