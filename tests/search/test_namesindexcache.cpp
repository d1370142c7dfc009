// The names indexes in the user's cache: made on first use or by the scan, never in Data, made
// again whenever the catalog or the index is not what it was, and never needed for the right rows.

#include "searchtesting.h"

#include <fstream>
#include <functional>
#include <set>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "names/namesindexformat.h"
#include "search/filesearch.h"
#include "search/indexedrows.h"
#include "support/indexcomparison.h"

namespace mellowby::search {
namespace {

namespace fs = std::filesystem;

class NamesIndexCache : public testing::DataFolderTest {
protected:
    // A catalog of a few hundred files in a few folders, some names of which hold "pic".
    void makeDisc(const std::string& prefix = "pic", const names::NamesIndexCache* keeping = nullptr)
    {
        tests::CatalogMaker maker(m_data);
        std::vector<platform::DirEntry> top { tests::CatalogMaker::dir("a"), tests::CatalogMaker::dir("b") };
        for (int i = 0; i < 300; ++i)
            top.push_back(tests::CatalogMaker::file(prefix + "_" + std::to_string(i) + ".jpg", 1000u * i));
        maker.directory("", top);
        std::vector<platform::DirEntry> a;
        for (int i = 0; i < 300; ++i)
            a.push_back(tests::CatalogMaker::file("Straße " + std::to_string(i) + (i % 2 ? ".PIC" : ".txt"), 7));
        maker.directory("a", a);
        maker.directory("b", { tests::CatalogMaker::file("last.pic") });
        ASSERT_TRUE(maker.write("disc", nullptr, keeping));
    }

    // The rows of a search through the indexes given, as the list shows them.
    static std::vector<FileRow> rowsOf(const names::NamesIndexCache& indexes, const std::string& text)
    {
        fakes::FakeMessageBox box;
        tests::RecordedRows rows;
        findFileInXml(indexes, box, rows, toUpperText(text), "disc");
        EXPECT_TRUE(box.shown.empty());
        return rows.rows;
    }
    // The same straight from the catalog file: the reference.
    std::vector<FileRow> documentRows(const std::string& text) const
    {
        const names::NamesIndexCache direct(m_store, std::nullopt, true);
        return rowsOf(direct, text);
    }

    std::string indexFile() const { return *m_indexes.indexPath("disc.xml"); }
    ino_t inodeOf(const std::string& path) const
    {
        struct stat status { };
        return ::stat(path.c_str(), &status) == 0 ? status.st_ino : 0;
    }
};

TEST_F(NamesIndexCache, MadeOnFirstUseInTheCacheNotInDataAndUsedAfter)
{
    makeDisc();
    const auto reference = documentRows("pic");
    ASSERT_EQ(reference.size(), 451u);
    EXPECT_FALSE(fs::exists(indexFile()));
    EXPECT_EQ(rowsOf(m_indexes, "pic"), reference);
    // In $XDG_CACHE_HOME/mellowby, which the tests point at a folder of their own.
    const char* cache = std::getenv("XDG_CACHE_HOME");
    ASSERT_NE(cache, nullptr);
    EXPECT_TRUE(indexFile().starts_with(std::string(cache) + "/mellowby/names/"));
    ASSERT_TRUE(fs::exists(indexFile()));
    std::set<std::string> inData;
    for (const auto& entry : fs::directory_iterator(m_data))
        inData.insert(entry.path().filename().string());
    EXPECT_EQ(inData, (std::set<std::string> { "disc.xml", "disc.idx", "disc.sqlite" }));
    // Kept, not made again.
    const ino_t made = inodeOf(indexFile());
    EXPECT_EQ(rowsOf(m_indexes, "straße"), documentRows("straße"));
    EXPECT_EQ(inodeOf(indexFile()), made);
}

TEST_F(NamesIndexCache, MadeAgainWhenTheCatalogOrTheIndexIsNotWhatItWas)
{
    makeDisc();
    (void)rowsOf(m_indexes, "pic");
    ino_t kept = inodeOf(indexFile());
    const auto expectRemade = [&](const char* what, const std::string& text) {
        EXPECT_EQ(rowsOf(m_indexes, text), documentRows(text)) << what;
        EXPECT_NE(inodeOf(indexFile()), kept) << what << ": the index was not made again";
        kept = inodeOf(indexFile());
    };

    // The catalog replaced by another scan.
    makeDisc("photo");
    expectRemade("replaced", "photo");
    ASSERT_FALSE(rowsOf(m_indexes, "photo").empty());
    EXPECT_TRUE(rowsOf(m_indexes, "pic_").empty());
    kept = inodeOf(indexFile());
    // Touched, its bytes the same.
    ASSERT_EQ(::utimensat(AT_FDCWD, (m_data / "disc.xml").c_str(), nullptr, 0), 0);
    expectRemade("touched", "photo");
    // Its mode changed, which changes its change time alone.
    ASSERT_EQ(::chmod((m_data / "disc.xml").c_str(), 0640), 0);
    expectRemade("its change time alone", "photo");
    // The index cut short, then one byte of it changed: in its names, in its header.
    fs::resize_file(indexFile(), fs::file_size(indexFile()) / 2);
    expectRemade("index truncated", "straße");
    for (const bool inNames : { true, false }) {
        names::indexformat::Header header;
        std::fstream index(indexFile(), std::ios::in | std::ios::out | std::ios::binary);
        index.read(reinterpret_cast<char*>(&header), sizeof header);
        const auto& names = header.sections[names::indexformat::Names];
        index.seekp(static_cast<std::streamoff>(inNames ? names.offset + names.length / 2 : sizeof header / 2));
        index.put('\x7F');
        index.close();
        expectRemade(inNames ? "a name damaged" : "the header damaged", "photo");
    }
}

// A kept index serves only the version of the catalog it was made from: any one field of the
// catalog's stamp that differs (a modification time alone cannot differ on a real file system,
// whose every change moves the change time too) makes it another version.
TEST_F(NamesIndexCache, AKeptIndexServesOnlyTheCatalogVersionOfItsStampFieldByField)
{
    makeDisc();
    (void)rowsOf(m_indexes, "pic");
    const names::IndexKey key { fs::canonical(m_data), "disc.xml", m_fileSystem.stampOf(m_data / "disc.xml").value() };
    const auto opens = [&](const names::IndexKey& wanted) {
        return names::NamesIndex::open(m_fileSystem.openForReading(indexFile()).value(), wanted).has_value();
    };
    ASSERT_TRUE(opens(key));
    using Stamp = platform::FileStamp;
    const std::pair<const char*, std::function<void(Stamp&)>> changes[] = {
        { "device", [](Stamp& stamp) { ++stamp.device; } },
        { "inode", [](Stamp& stamp) { ++stamp.inode; } },
        { "size", [](Stamp& stamp) { ++stamp.size; } },
        { "modification time", [](Stamp& stamp) { ++stamp.modified; } },
        { "change time", [](Stamp& stamp) { ++stamp.changed; } },
    };
    for (const auto& [field, change] : changes) {
        names::IndexKey other = key;
        change(other.stamp);
        EXPECT_FALSE(opens(other)) << "an index was taken for a catalog whose " << field << " differs";
    }
}

// A damaged block met after rows went out: the rows already given stay, and the catalog file
// gives the rest, none twice.
TEST_F(NamesIndexCache, DamageFoundPartWayGivesEveryRowOnce)
{
    // Enough files for their sizes and dates to be read a run of blocks at a time.
    tests::CatalogMaker maker(m_data);
    std::vector<platform::DirEntry> files;
    for (int i = 0; i < 40000; ++i)
        files.push_back(tests::CatalogMaker::file("f" + std::to_string(i) + ".txt", 1024u * (i % 1000)));
    maker.directory("", files);
    ASSERT_TRUE(maker.write("disc"));
    const auto reference = documentRows(".");
    ASSERT_EQ(rowsOf(m_indexes, "."), reference);
    // The last block of the sizes and dates of the files, read after the rows of the files before.
    {
        names::indexformat::Header header;
        std::fstream index(indexFile(), std::ios::in | std::ios::out | std::ios::binary);
        index.read(reinterpret_cast<char*>(&header), sizeof header);
        const auto& records = header.sections[names::indexformat::Files];
        index.seekp(static_cast<std::streamoff>(records.offset + records.length - 3));
        index.put('\x01');
    }
    {
        const auto damaged = m_indexes.indexOf("disc");
        ASSERT_TRUE(damaged.has_value());
        fakes::FakeMessageBox box;
        tests::RecordedRows rows;
        std::size_t given = 0;
        EXPECT_FALSE(searchIndex(*damaged, box, rows, ".", "disc", given));
        EXPECT_GT(given, 0u);
        EXPECT_LT(given, reference.size());
        EXPECT_EQ(
            rows.rows, std::vector<FileRow>(reference.begin(), reference.begin() + static_cast<std::ptrdiff_t>(given)));
    }
    fakes::FakeMessageBox box;
    FileList list;
    cmdFind_Click(m_indexes, box, list, ".", SearchScope { true, { "disc" }, "disc" });
    ASSERT_EQ(list.size(), reference.size());
    for (std::size_t i = 0; i < reference.size(); ++i)
        EXPECT_EQ(list.row(i), reference[i]) << i;
    EXPECT_TRUE(box.shown.empty());
}

TEST_F(NamesIndexCache, AnUnwritableCacheGivesTheSameRows)
{
    makeDisc();
    // No cache folder at all, and one where a file stands in the way of the folder.
    const names::NamesIndexCache none(m_store, std::nullopt);
    EXPECT_EQ(rowsOf(none, "pic"), documentRows("pic"));
    const fs::path blocked = m_folder / "blocked-cache";
    fs::create_directories(blocked);
    tests::writeFile(blocked / "mellowby", "not a folder");
    const names::NamesIndexCache unwritable(m_store, blocked.string());
    EXPECT_EQ(rowsOf(unwritable, "pic"), documentRows("pic"));
    EXPECT_TRUE(fs::is_regular_file(blocked / "mellowby"));
}

TEST_F(NamesIndexCache, TheScanKeepsTheIndexItMadeAndTheSearchUsesIt)
{
    makeDisc("pic", &m_indexes);
    ASSERT_TRUE(fs::exists(indexFile()));
    const ino_t made = inodeOf(indexFile());
    EXPECT_EQ(rowsOf(m_indexes, "pic"), documentRows("pic"));
    EXPECT_EQ(rowsOf(m_indexes, "ß"), documentRows("ß"));
    EXPECT_EQ(inodeOf(indexFile()), made);
}

// Processes that make the same index at the same time each get the right rows, and the index
// they leave is whole.
TEST_F(NamesIndexCache, TwoProcessesAtOnce)
{
    makeDisc();
    const std::size_t expected = documentRows("pic").size();
    std::vector<pid_t> children;
    for (int process = 0; process < 2; ++process) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            int wrong = 0;
            for (int round = 0; round < 25; ++round) {
                std::error_code ignored;
                fs::remove(indexFile(), ignored);
                const names::NamesIndexCache own(m_store, names::userCacheFolder());
                fakes::FakeMessageBox box;
                tests::RecordedRows rows;
                findFileInXml(own, box, rows, "PIC", "disc");
                wrong += rows.rows.size() != expected || !box.shown.empty() ? 1 : 0;
            }
            ::_exit(wrong == 0 ? 0 : 1);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const ino_t left = inodeOf(indexFile());
    EXPECT_EQ(rowsOf(m_indexes, "pic"), documentRows("pic"));
    if (left != 0) {
        EXPECT_EQ(inodeOf(indexFile()), left) << "the index left behind was not whole";
    }
}

} // namespace
} // namespace mellowby::search
