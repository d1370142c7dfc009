#pragma once

#include <map>
#include <vector>

#include "platform/drives.h"

namespace mellowby::fakes {

class FakeDrives final : public platform::IDrives {
public:
    std::vector<platform::Drive> drives;
    std::map<std::string, std::expected<bool, platform::Error>> media;
    std::vector<std::string> mediaAsked;

    std::vector<platform::Drive> listDrives() override { return drives; }
    std::expected<bool, platform::Error> mediaReady(const std::string& root) override
    {
        mediaAsked.push_back(root);
        const auto found = media.find(root);
        return found == media.end() ? false : found->second;
    }
};

} // namespace mellowby::fakes
