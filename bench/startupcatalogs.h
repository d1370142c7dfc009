#pragma once

// The catalogs of the start-up benchmarks: 200 discs of 100 directories each, ten to a level,
// with a few files in every directory. The same seedless layout on every machine.

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/settings.h"
#include "catalog/datetext.h"
#include "catalog/scanner.h"
#include "platform/directorylister.h"
#include "platform/linux/linuxfilesystem.h"
#include "platform/messagebox.h"

namespace mellowby::bench {

inline constexpr int kStartupCatalogs = 200;
inline constexpr int kStartupDirectoriesPerCatalog = 100;

class SilentBox final : public platform::IMessageBox {
public:
    platform::MessageAnswer show(const platform::MessageRequest&) override { return platform::MessageAnswer::Yes; }
    std::optional<std::string> prompt(const std::string&, const std::string&, const std::string&) override
    {
        return std::nullopt;
    }
};

inline void writeStartupCatalogs(const std::filesystem::path& dataDir)
{
    class TreeLister final : public platform::IDirectoryLister {
    public:
        std::map<std::string, std::vector<platform::DirEntry>> directories;
        std::expected<void, platform::Error> list(
            const std::string& path, std::vector<platform::DirEntry>& out) override
        {
            const auto found = directories.find(path);
            if (found != directories.end())
                out = found->second;
            return {};
        }
    };

    std::filesystem::create_directories(dataDir);
    TreeLister lister;
    const std::string root = "/media/cdrom";
    for (int d = 0; d < kStartupDirectoriesPerCatalog; ++d) {
        const std::string parent = d < 10 ? root : root + "/目录 " + std::to_string(d / 10 - 1);
        lister.directories[parent].push_back({ "目录 " + std::to_string(d), true, false, 0, 1079308800 });
        for (int f = 0; f < 5; ++f)
            lister.directories[parent + "/目录 " + std::to_string(d)].push_back(
                { "file " + std::to_string(f) + ".jpg", false, false, 4096, 1079308800 });
    }
    SilentBox box;
    const app::Settings settings;
    platform::LinuxFileSystem fileSystem;
    const catalog::DateFormatter dates("zh_CN");
    catalog::ScanContext context { dataDir.string(), settings, lister, fileSystem, box, dates, nullptr };
    for (int c = 0; c < kStartupCatalogs; ++c)
        (void)catalog::generateCatalog(context, root, "光盘 " + std::to_string(c));
}

} // namespace mellowby::bench
