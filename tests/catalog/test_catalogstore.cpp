#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

#include <sys/wait.h>
#include <unistd.h>

#include "catalog/catalogreader.h"
#include "catalog/catalogstore.h"
#include "fakes/faultyfilesystem.h"
#include "platform/filesystem.h"
#include "platform/linux/linuxfilesystem.h"
#include "platform/temporarynames.h"
#include "support/nesteddatafolder.h"

namespace mellowby::catalog {
namespace {

using tests::readFile;
using tests::writeFile;

class Store : public ::testing::Test {
protected:
    std::vector<std::string> keys()
    {
        std::vector<std::string> names;
        const auto catalogs = m_store.catalogs();
        for (const auto& catalog : catalogs.value())
            names.push_back(catalog.name);
        return names;
    }
    std::vector<std::string> dataFiles() { return tests::namesIn(m_data.path()); }
    // Writes a pair as the scanner does.
    std::expected<CatalogPaths, platform::Error> write(const std::string& name, const std::string& text)
    {
        auto pending = m_store.beginCatalog(name);
        if (!pending)
            return std::unexpected(pending.error());
        (void)pending->catalog().write(text + " catalog");
        (void)pending->twin().write(text + " twin");
        return pending->commit();
    }

    tests::NestedDataFolder m_data;
    platform::LinuxFileSystem m_realFileSystem;
    fakes::FaultyFileSystem m_fileSystem { m_realFileSystem };
    CatalogStore m_store { m_data.path(), m_fileSystem };
};

TEST(CatalogNames, PairTitleAndKeyFollowTheTypedName)
{
    auto names = catalogFileNames("Photos 2004");
    EXPECT_EQ(names.xmlName, "Photos 2004.xml");
    EXPECT_EQ(names.companionName(Companion::Twin), "Photos 2004.idx");
    EXPECT_EQ(names.diskTitle, "Photos 2004");
    names = catalogFileNames("abc.XML");
    EXPECT_EQ(names.xmlName, "abc.XML");
    EXPECT_EQ(names.companionName(Companion::Twin), "abc.idx");
    EXPECT_EQ(names.diskTitle, "abc.XML");
    names = catalogFileNames("");
    EXPECT_EQ(names.xmlName, "tmp1000.xml");
    EXPECT_EQ(names.companionName(Companion::Twin), "tmp1000.idx");
    EXPECT_EQ(names.diskTitle, "");
    EXPECT_EQ(catalogKeyOf("abc.XML"), "abc");
    EXPECT_EQ(catalogKeyOf(".foo"), ".foo");
    EXPECT_EQ(effectiveCatalogName(""), "tmp1000");

    using namespace std::string_view_literals;
    for (const auto name : { "/"sv, "../x"sv, "a/b"sv, "."sv, ".."sv, "a\0b"sv, "../victim"sv })
        EXPECT_TRUE(catalogNameProblem(name).has_value()) << name;
    for (const auto name : { ""sv, "..x"sv, ".foo"sv, "a\\b"sv, "光盘 1"sv, "a*b?"sv })
        EXPECT_FALSE(catalogNameProblem(name).has_value()) << name;
}

// One order for every list of catalogs: letter case folded, then byte for byte. Names starting
// with "." are catalogs like any other; folders and other files are none.
TEST_F(Store, ListsCatalogsInOneOrderDotNamesIncluded)
{
    for (const char* name : { "b.xml", "A.xml", "a.XML", ".foo.xml", "c.idx", "Ärger.xml", "zz.txt" })
        writeFile(m_data / name, "");
    std::filesystem::create_directory(m_data / "folder.xml");
    EXPECT_EQ(keys(), (std::vector<std::string> { ".foo", "A", "a", "b", "Ärger" }));
    EXPECT_EQ(m_store.catalogs().value()[2].fileName, "a.XML");
    EXPECT_EQ(CatalogStore(m_data / "missing", m_fileSystem).catalogs().value(), std::vector<StoredCatalog> {});
}

// A file name in code page 936 (made on Chinese Windows) names its catalog as the code page reads
// it, and the name finds the file again. Of two files of one name, the one in UTF-8 comes first
// and is the one the name finds. Earlier versions wrote 「・」 and 「―」 as the bytes now read as
// 「·」 and 「—」: either spelling names the same catalog.
TEST_F(Store, AFileNameInTheCodePageNamesItsCatalogAndTheNameFindsItsFiles)
{
    EXPECT_EQ(catalogNameOfFile("\xB9\xE2\xC5\xCC.XML"), "光盘");
    EXPECT_EQ(catalogNameOfFile("光盘.xml"), "光盘");
    EXPECT_EQ(catalogNameKey("A・B―C"), catalogNameKey("a·b—c"));
    EXPECT_NE(catalogNameKey("A・B"), catalogNameKey("A B"));

    writeFile(m_data / "\xB9\xE2\xC5\xCC.xml", "");
    writeFile(m_data / "\xB9\xE2\xC5\xCC.idx", "");
    writeFile(m_data / "光盘.xml", "");
    writeFile(m_data / "A・B.xml", "");
    EXPECT_EQ(m_store.catalogs().value(),
        (std::vector<StoredCatalog> {
            { "A・B.xml", "A・B" }, { "光盘.xml", "光盘" }, { "\xB9\xE2\xC5\xCC.xml", "光盘" } }));
    EXPECT_EQ(m_store.catalogPath("光盘").value(), m_data / "光盘.xml");
    std::filesystem::remove(m_data / "光盘.xml");
    EXPECT_EQ(m_store.catalogPath("光盘").value(), m_data / "\xB9\xE2\xC5\xCC.xml");
    EXPECT_EQ(m_store.twinPath("光盘").value(), m_data / "\xB9\xE2\xC5\xCC.idx");
    EXPECT_EQ(m_store.catalogPath("a·b").value(), m_data / "A・B.xml");
}

TEST_F(Store, PathsAreFoundInAnyCaseAndNeverLeaveTheFolder)
{
    writeFile(m_data / "Photos.XML", "<x/>");
    writeFile(m_data / ".foo.xml", "");
    EXPECT_EQ(m_store.catalogPath("photos").value(), m_data / "Photos.XML");
    EXPECT_EQ(m_store.twinPath("photos.xml").value(), m_data / "photos.idx");
    EXPECT_TRUE(m_store.exists("PHOTOS"));
    EXPECT_TRUE(m_store.exists(".foo"));
    EXPECT_FALSE(m_store.exists("other"));

    writeFile(m_data.path() + "/../victim.xml", "victim");
    for (const char* name : { "../victim", "/etc/passwd", ".." }) {
        EXPECT_EQ(m_store.catalogPath(name).error().number, 0) << name;
        EXPECT_FALSE(m_store.exists(name));
        EXPECT_FALSE(m_store.moveToTrash(name));
        EXPECT_FALSE(m_store.loadCatalog(name).loaded());
    }
    EXPECT_EQ(readFile(m_data.path() + "/../victim.xml"), "victim");
    EXPECT_EQ(m_data.strayFiles(), std::vector<std::string> { "owner/victim.xml" });
}

// A read that fails is no catalog, and says why.
TEST_F(Store, CatalogReadsGoThroughTheFileSystem)
{
    writeFile(m_data / "disc.xml", "<?xml version=\"1.0\"?><Disk title=\"disc\" Label=\"/\"/>");
    EXPECT_TRUE(m_store.loadCatalog("disc").loaded());
    m_fileSystem.failReads("disc.xml", platform::errorFromErrno(EIO));
    const CatalogDocument failed = m_store.loadCatalog("disc");
    EXPECT_FALSE(failed.loaded());
    EXPECT_EQ(failed.loadError(), platform::errorFromErrno(EIO));
    EXPECT_EQ(m_store.loadTwin("disc").loadError().number, ENOENT);
}

// The twin appears before its catalog, an old pair in another letter case is replaced, and a
// commit that fails leaves the old pair as it was.
TEST_F(Store, ANewPairReplacesTheOldOneWholeOrNotAtAll)
{
    writeFile(m_data / "DISC.xml", "old catalog");
    writeFile(m_data / "DISC.idx", "old twin");
    ASSERT_TRUE(write("disc", "new"));
    EXPECT_EQ(dataFiles(), (std::vector<std::string> { "disc.idx", "disc.xml" }));
    EXPECT_EQ(readFile(m_data / "disc.xml"), "new catalog");
    EXPECT_EQ(readFile(m_data / "disc.idx"), "new twin");

    m_fileSystem.failRenames(platform::errorFromErrno(EIO));
    EXPECT_EQ(write("disc", "newer").error().number, EIO);
    EXPECT_EQ(readFile(m_data / "disc.xml"), "new catalog");
    EXPECT_EQ(readFile(m_data / "disc.idx"), "new twin");
    EXPECT_EQ(dataFiles(), (std::vector<std::string> { "disc.idx", "disc.xml" }));

    EXPECT_EQ(m_store.beginCatalog("../x").error().number, 0);
    EXPECT_TRUE(m_data.strayFiles().empty());
    {
        auto dropped = m_store.beginCatalog(".foo");
        ASSERT_TRUE(dropped);
        EXPECT_EQ(dataFiles().size(), 4u);
    }
    EXPECT_EQ(dataFiles(), (std::vector<std::string> { "disc.idx", "disc.xml" }));
}

// Notes the catalog it finds in place when it is told.
class CatalogSeen final : public ICommitFollower {
public:
    explicit CatalogSeen(std::vector<std::string>& seen)
        : m_seen(seen)
    {
    }
    void catalogInPlace(const CatalogPaths& paths) override { m_seen.push_back(readFile(paths.xmlPath)); }

private:
    std::vector<std::string>& m_seen;
};

// Every companion goes with its catalog, and the followers see the catalog in place. A commit
// that fails at any step (setting the old companions aside, moving any of them, the catalog)
// leaves the old catalog with all its old companions, and tells no follower.
TEST_F(Store, EveryCompanionIsCommittedWithItsCatalogOrNoneIs)
{
    std::vector<std::string> seen;
    const auto writeAll = [&](const CatalogStore& store, const std::string& text) {
        auto pending = store.beginCatalog("disc");
        (void)pending->catalog().write(text + " catalog");
        for (const Companion which : kCompanions)
            (void)pending->beginCompanion(which).value()->write(text + " " + pending->fileNames().companionName(which));
        pending->followWith(std::make_unique<CatalogSeen>(seen));
        return pending->commit();
    };
    const auto contents = [&] {
        std::vector<std::string> files;
        for (const std::string& name : dataFiles())
            files.push_back(name + ": " + readFile(m_data / name));
        return files;
    };
    ASSERT_TRUE(writeAll(m_store, "old"));
    EXPECT_EQ(seen, std::vector<std::string> { "old catalog" });
    const std::vector<std::string> old = contents();
    EXPECT_EQ(old,
        (std::vector<std::string> { "disc.idx: old disc.idx", "disc.sqlite: old disc.sqlite", "disc.vol: old disc.vol",
            "disc.xml: old catalog" }));

    std::vector<std::string> failing { "rename" };
    for (const Companion which : kCompanions)
        failing.push_back(std::string(kCompanionExtensions[std::to_underlying(which)]));
    failing.push_back(".xml");
    for (const std::string& step : failing) {
        fakes::FaultyFileSystem faulty(m_realFileSystem);
        if (step == "rename")
            faulty.failRenames(platform::errorFromErrno(EIO));
        else
            faulty.failCommitsOf(step, platform::errorFromErrno(EIO));
        seen.clear();
        EXPECT_EQ(writeAll(CatalogStore(m_data.path(), faulty), "new").error().number, EIO) << step;
        EXPECT_EQ(contents(), old) << step;
        EXPECT_TRUE(seen.empty()) << step;
    }
}

TEST_F(Store, LeftoversOfScansThatDiedGo)
{
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        ::_exit(0);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    writeFile(m_data / platform::temporaryNameFor("disc.xml", child, 7), "dead");
    writeFile(m_data / "disc.xml", "");
    m_store.removeLeftovers();
    EXPECT_EQ(dataFiles(), std::vector<std::string> { "disc.xml" });
}

} // namespace
} // namespace mellowby::catalog
