#include "fakes/unattendedbox.h"

#include <cstdio>

namespace mellowby::fakes {

platform::MessageAnswer UnattendedBox::show(const platform::MessageRequest& request)
{
    if (request.buttons == platform::MessageButtons::YesNo)
        return platform::MessageAnswer::Yes;
    std::fprintf(stderr, "box: %s (%s)\n", request.text.c_str(), request.title.c_str());
    return platform::MessageAnswer::Ok;
}

std::optional<std::string> UnattendedBox::prompt(const std::string&, const std::string&, const std::string&)
{
    return std::nullopt;
}

} // namespace mellowby::fakes
