#pragma once

// The catalogs of the start-up benchmarks: 200 discs of 100 directories each, ten to a level,
// with a few files in every directory. The same seedless layout on every machine.

#include "scan/scanner.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/settings.h"
#include "catalog/catalogstore.h"
#include "catalog/datetext.h"
#include "fakes/fakedirectorylister.h"
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
    std::filesystem::create_directories(dataDir);
    std::map<std::string, std::vector<platform::DirEntry>> directories;
    const std::string root = "/media/cdrom";
    for (int d = 0; d < kStartupDirectoriesPerCatalog; ++d) {
        const std::string parent = d < 10 ? root : root + "/目录 " + std::to_string(d / 10 - 1);
        directories[parent].push_back(fakes::FakeDirectoryLister::directory("目录 " + std::to_string(d), 1079308800));
        for (int f = 0; f < 5; ++f)
            directories[parent + "/目录 " + std::to_string(d)].push_back(
                fakes::FakeDirectoryLister::file("file " + std::to_string(f) + ".jpg", 4096, 1079308800));
    }
    fakes::FakeDirectoryLister lister;
    for (auto& [path, entries] : directories)
        lister.addDirectory(path, std::move(entries));
    SilentBox box;
    const app::Settings settings;
    platform::LinuxFileSystem fileSystem;
    const catalog::DateFormatter dates("zh_CN");
    const catalog::CatalogStore store(dataDir.string(), fileSystem);
    scan::ScanContext context { store, settings, lister, box, dates, nullptr };
    for (int c = 0; c < kStartupCatalogs; ++c)
        (void)scan::genXml(context, root, "光盘 " + std::to_string(c));
}

} // namespace mellowby::bench
