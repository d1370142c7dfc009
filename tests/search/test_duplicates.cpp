// Duplicates against a plain grouping of every file of the catalogs: the same groups, each with
// the same copies in the same order, the groups in order of their total size, then their name.

#include "searchtesting.h"

#include <map>
#include <tuple>

#include "catalog/uppercaser.h"
#include "fakes/faultyfilesystem.h"
#include "search/catalogfiles.h"
#include "search/duplicates.h"

namespace mellowby::search {
namespace {

using tests::CatalogMaker;

struct Copy {
    std::string catalog;
    std::string name;
    std::string location;
    std::string size;
    bool operator==(const Copy&) const = default;
};
struct Group {
    std::uint64_t kilobytes = 0;
    std::vector<Copy> copies;
    bool operator==(const Group&) const = default;
    std::uint64_t total() const { return kilobytes * copies.size(); }
};

std::vector<Group> groupsOf(const DuplicateGroups& found)
{
    std::vector<Group> groups;
    for (const auto& group : found.groups()) {
        Group made { group.kilobytes, {} };
        for (std::size_t copy = group.firstCopy; copy < group.firstCopy + group.copyCount; ++copy) {
            const auto each = found.copy(copy);
            made.copies.push_back({ std::string(each.catalog), std::string(each.name),
                std::string(each.folder) + std::string(each.name), std::string(found.size(group)) });
        }
        groups.push_back(std::move(made));
    }
    return groups;
}

// Every file keyed by its upper-cased name and its size, in the order the catalogs give them.
std::vector<Group> plainGrouping(const names::NamesIndexCache& indexes, platform::IMessageBox& box,
    const std::vector<std::string>& catalogs, std::uint64_t minKilobytes)
{
    catalog::UpperCaser upper;
    std::map<std::pair<std::string, std::uint64_t>, Group> byKey;
    for (const std::string& catalog : catalogs) {
        forEachCatalogFile(indexes, box, catalog, [&](const CatalogFile& file) {
            const auto kilobytes = kilobytesOf(file.size);
            if (!kilobytes || *kilobytes < minKilobytes || file.location.empty())
                return;
            Group& group = byKey[{ std::string(upper.upper(file.name)), *kilobytes }];
            group.kilobytes = *kilobytes;
            // The size a group shows is its first copy's.
            const std::string size = group.copies.empty() ? std::string(file.size) : group.copies[0].size;
            group.copies.push_back({ catalog, std::string(file.name), std::string(file.location), size });
        });
    }
    std::vector<Group> groups;
    for (auto& [key, group] : byKey) {
        if (group.copies.size() >= 2)
            groups.push_back(std::move(group));
    }
    return groups;
}

// Groups whose total size and name are equal have no order of their own.
void sortForComparison(std::vector<Group>& groups)
{
    std::ranges::sort(groups, [](const Group& a, const Group& b) {
        return std::tuple(b.total(), a.copies[0].name, a.kilobytes)
            < std::tuple(a.total(), b.copies[0].name, b.kilobytes);
    });
}

class Duplicates : public testing::DataFolderTest {
protected:
    // A disc whose files repeat within it, across discs, in other letter cases and other sizes.
    void writeDisc(const std::string& name, int seed)
    {
        CatalogMaker maker(m_data);
        std::vector<platform::DirEntry> root { CatalogMaker::dir("photos"), CatalogMaker::dir("Music") };
        std::vector<platform::DirEntry> photos;
        std::vector<platform::DirEntry> music;
        for (int file = 0; file < 300; ++file) {
            const int number = (file * 7 + seed) % 90;
            const std::uint64_t kilobytes = static_cast<std::uint64_t>(number % 11) * 1024;
            photos.push_back(CatalogMaker::file("IMG_" + std::to_string(number) + ".jpg", kilobytes));
            music.push_back(CatalogMaker::file(
                (file % 2 == 0 ? "Song " : "SONG ") + std::to_string(number % 40) + ".mp3", kilobytes + 1024));
        }
        root.push_back(CatalogMaker::file("straße.txt", 5 * 1024));
        root.push_back(CatalogMaker::file("STRASSE.TXT", 5 * 1024));
        maker.directory("", std::move(root));
        maker.directory("photos", std::move(photos));
        maker.directory("Music", std::move(music));
        ASSERT_TRUE(maker.write(name));
    }
};

TEST_F(Duplicates, SameGroupsAsAPlainGroupingOfEveryFile)
{
    writeDisc("disc one", 0);
    writeDisc("disc two", 13);
    writeDisc("光盘", 40);
    // Sizes that are no number of KB make no one's duplicate.
    writeRaw("raw", "<Disk title=\"raw\" Label=\"/m\">",
        "<File CreateDate=\"d\" FileSize=\"5\">straße.txt</File>\r\n"
        "<File CreateDate=\"d\" FileSize=\"5KB\">Straße.txt</File>\r\n"
        "<File CreateDate=\"d\" FileSize=\"5 KB\">straße.txt</File>");
    const std::vector<std::string> catalogs { "disc one", "raw", "disc two", "光盘" };
    for (const std::uint64_t minKilobytes : { 0u, 4u, 100u }) {
        const DuplicateGroups found = findDuplicates(m_indexes, m_box, catalogs, minKilobytes);
        std::vector<Group> groups = groupsOf(found);
        for (std::size_t g = 1; g < groups.size(); ++g) {
            const Group& before = groups[g - 1];
            const Group& after = groups[g];
            EXPECT_TRUE(before.total() > after.total()
                || (before.total() == after.total() && before.copies[0].name <= after.copies[0].name))
                << g;
        }
        std::vector<Group> expected = plainGrouping(m_indexes, m_box, catalogs, minKilobytes);
        sortForComparison(groups);
        sortForComparison(expected);
        EXPECT_EQ(groups.size(), expected.size()) << minKilobytes;
        EXPECT_TRUE(groups == expected) << minKilobytes;
        if (minKilobytes == 100) {
            EXPECT_TRUE(groups.empty());
        }
    }
    EXPECT_TRUE(m_box.shown.empty());

    // The two spellings of one name on three discs and the raw catalog: one group, disc by disc.
    const std::vector<Group> all = groupsOf(findDuplicates(m_indexes, m_box, catalogs, 5));
    const auto strasse
        = std::ranges::find_if(all, [](const Group& group) { return group.copies[0].name == "straße.txt"; });
    ASSERT_NE(strasse, all.end());
    std::vector<std::string> where;
    for (const Copy& copy : strasse->copies)
        where.push_back(copy.catalog + ":" + copy.location);
    EXPECT_EQ(where,
        (std::vector<std::string> { "disc one:/media/cdrom/straße.txt", "disc one:/media/cdrom/STRASSE.TXT",
            "raw:/m/Straße.txt", "disc two:/media/cdrom/straße.txt", "disc two:/media/cdrom/STRASSE.TXT",
            "光盘:/media/cdrom/straße.txt", "光盘:/media/cdrom/STRASSE.TXT" }));
    EXPECT_EQ(strasse->copies[0].size, "5KB");
}

// A catalog scanned again between the two passes with more copies of its files than the first pass
// counted: no group takes more copies than it has room for, every group's copies are alike, and
// nothing is written past the groups (the address sanitizer build would say so).
TEST_F(Duplicates, ACatalogScannedAgainBetweenThePassesOverfillsNoGroup)
{
    const auto writeWithCopies = [this](const std::string& name, int folders) {
        CatalogMaker maker(m_data);
        std::vector<platform::DirEntry> root;
        for (int folder = 0; folder < folders; ++folder) {
            const std::string title = "folder " + std::to_string(folder);
            root.push_back(CatalogMaker::dir(title));
            maker.directory(title,
                { CatalogMaker::file("a.txt", 1024), CatalogMaker::file("b.txt", 2048),
                    CatalogMaker::file("c.txt", 3072) });
        }
        maker.directory("", std::move(root));
        ASSERT_TRUE(maker.write(name));
    };
    writeWithCopies("early", 1);
    writeWithCopies("late", 1);
    fakes::FaultyFileSystem fileSystem(m_fileSystem);
    const catalog::CatalogStore store(m_data.string(), fileSystem);
    const names::NamesIndexCache indexes(store, names::userCacheFolder());
    // The first pass reads "early", then "late": "early" is scanned again before the second.
    bool rescanned = false;
    fileSystem.beforeFileOpens([&](const std::string& path) {
        if (!rescanned && path.ends_with("late.xml")) {
            rescanned = true;
            writeWithCopies("early", 4);
        }
    });
    const std::vector<Group> groups = groupsOf(findDuplicates(indexes, m_box, { "early", "late" }, 0));
    EXPECT_TRUE(rescanned);
    ASSERT_EQ(groups.size(), 3U);
    for (const Group& group : groups) {
        EXPECT_EQ(group.copies.size(), 2U) << group.copies[0].name;
        for (const Copy& copy : group.copies)
            EXPECT_EQ(std::tuple(copy.name, copy.size), std::tuple(group.copies[0].name, group.copies[0].size));
    }
    EXPECT_TRUE(m_box.shown.empty());
}

} // namespace
} // namespace mellowby::search
