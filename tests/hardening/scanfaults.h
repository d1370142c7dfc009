#pragma once

// What the scan fault tests share: a small tree to scan, an old catalog that a failed scan must
// leave as it was, and the boxes a scan shows.

#include "hardening.h"

#include <expected>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "app/settings.h"
#include "catalog/catalogstore.h"
#include "catalog/datetext.h"
#include "fakes/fakemessagebox.h"
#include "fakes/faultyfilesystem.h"
#include "fakes/hookedlister.h"
#include "platform/linux/linuxdirectorylister.h"
#include "platform/linux/linuxfilesystem.h"
#include "scan/scanner.h"
#include "support/gb2312testtexts.h"

namespace mellowby::hardening {

using platform::Error;
using platform::MessageAnswer;
using platform::MessageRequest;

// The directory is in the catalog, with nothing in it: its closing line follows its opening line.
inline void expectEmptyDirectory(const std::string& catalogText, const std::string& title)
{
    const std::size_t at = catalogText.find("<Directory title=\"" + title + "\"");
    ASSERT_NE(at, std::string::npos) << title;
    EXPECT_EQ(catalogText.compare(catalogText.find('\n', at) + 1, 14, "</Directory>\r\n"), 0) << title;
}

inline const MessageRequest kOverwriteQuestion { "当前文件已存在，是否覆盖？", "生成xml文件",
    platform::MessageIcon::Warning, platform::MessageButtons::YesNo };

inline MessageRequest genXmlBox(const Error& error)
{
    return { "生成XML文件出错！(错误代号:" + std::to_string(error.number) + ")\r\n错误描述：" + error.description,
        "frmMain-genXml", platform::MessageIcon::Warning, platform::MessageButtons::Ok };
}

inline MessageRequest walkBox(const std::string& text)
{
    return { text, "Mellowby", platform::MessageIcon::None, platform::MessageButtons::Ok };
}

using fakes::FaultyFileSystem;
using fakes::HookedLister;

class ScanFaults : public ::testing::Test {
protected:
    void SetUp() override
    {
        writeFile(m_root / "readme.txt", "hello");
        for (const char* folder : { "a", "a/b", "a/b/c", "swap", "z" })
            makeDirectory(folder);
        writeFile(m_root / "swap/inside.txt", std::string(3000, 's'));
        writeFile(m_root / "z/last.txt", "z");
        writeOldCatalog();
    }

    void makeDirectory(const std::string& relative)
    {
        ASSERT_EQ(::mkdir((m_root / relative).c_str(), 0755), 0) << relative;
    }

    // Enough long names that the catalog spans several of the writer's blocks.
    void addBulk(std::size_t files)
    {
        makeDirectory("bulk");
        makeDirectory("bulk/中文目录");
        for (std::size_t i = 0; i < files; ++i) {
            const std::string name
                = std::to_string(i) + "-" + std::string(120, 'n') + "-文件名称-" + std::string(60, 'm');
            writeFile(m_root / ((i % 2 == 0 ? "bulk/" : "bulk/中文目录/") + name), "");
        }
    }

    void writeOldCatalog()
    {
        writeFile(m_data / "disc.xml", "old catalog");
        writeFile(m_data / "disc.idx", "old twin");
    }

    void expectOldCatalogIntact()
    {
        EXPECT_EQ(readFile(m_data / "disc.xml"), "old catalog");
        EXPECT_EQ(readFile(m_data / "disc.idx"), "old twin");
        EXPECT_EQ(folderNames(m_data.path()), (std::vector<std::string> { "disc.idx", "disc.xml" }));
    }

    std::expected<scan::ScanResult, scan::ScanFailure> scan(platform::IDirectoryLister& lister,
        platform::IFileSystem& fileSystem, const std::string& name = "disc", const std::string& root = {},
        scan::IScanObserver* observer = nullptr)
    {
        m_box.shown.clear();
        m_box.queueAnswer(MessageAnswer::Yes);
        const catalog::CatalogStore store(m_data.path(), fileSystem);
        scan::ScanContext context { store, m_settings, lister, m_box, m_dates, observer };
        return scan::genXml(context, root.empty() ? m_root.path() : root, name);
    }

    // The catalog proper that a successful scan wrote, in UTF-8.
    std::string writtenCatalog(const std::string& name = "disc") const
    {
        return tests::fromGb2312(readFile(m_data / (name + ".xml")));
    }

    TemporaryFolder m_root;
    TemporaryFolder m_data;
    app::Settings m_settings;
    platform::LinuxDirectoryLister m_lister;
    platform::LinuxFileSystem m_fileSystem;
    fakes::FakeMessageBox m_box;
    catalog::DateFormatter m_dates { "zh_CN" };
};

} // namespace mellowby::hardening
