// Real archives made by each format's own Debian tool, listed by the library and checked against
// that tool's own listing: the same members, sizes, times and encryption.

#include <ctime>
#include <gtest/gtest.h>
#include <sstream>

#include "archive/archivelister.h"
#include "archive/archivetools.h"
#include "support/temporaryfolder.h"

namespace mellowby::archive {
namespace {

using tests::quoted;
using tests::run;
using tests::TemporaryFolder;

constexpr std::int64_t kTouched = 1600000000; // 2020-09-13 12:26:40 UTC

// What a tool says of one member.
struct Listed {
    std::uint64_t size = 0;
    std::int64_t seconds = 0;
    std::uint32_t nanoseconds = 0;
    bool encrypted = false;
};

// "./a/b/", "/a/b" and "a/b" are the same member: tools and formats write them differently.
std::string plainPath(std::string name)
{
    while (name.starts_with("./") || name.starts_with('/'))
        name.erase(0, name.starts_with('/') ? 1 : 2);
    while (name.ends_with('/'))
        name.pop_back();
    return name == "." ? "" : name;
}

// A tool's date and time, in local time as the tools print them (and as zip keeps them).
std::int64_t localSeconds(int year, int month, int day, int hour, int minute, int second)
{
    std::tm time {};
    time.tm_year = year - 1900;
    time.tm_mon = month - 1;
    time.tm_mday = day;
    time.tm_hour = hour;
    time.tm_min = minute;
    time.tm_sec = second;
    time.tm_isdst = -1;
    return std::mktime(&time);
}

class ToolArchives : public ::testing::Test {
protected:
    void SetUp() override
    {
        tests::writeFile(m_folder / "src/a.txt", "hello\n");
        tests::writeFile(m_folder / "src/d1/d2/b.txt", std::string(70000, 'b'));
        tests::writeFile(m_folder / "src/中文名 空格.txt", "中文\n");
        run("mkdir " + quoted(m_folder / "src/empty"));
        run("find " + quoted(m_folder / "src") + " -exec touch -h -d @1600000000.123456789 {} +");
    }

    std::string make(const std::string& command) { return run("cd " + quoted(m_folder / "src") + " && " + command); }
    std::string path(const std::string& name) const { return m_folder / name; }

    // Every member the tool lists is listed alike, and nothing else.
    static void expectSame(const ArchiveListing& listing, const std::map<std::string, Listed>& tool, bool times = true)
    {
        std::map<std::string, const Member*> ours;
        for (const auto& member : listing.members) {
            if (!plainPath(member.name).empty())
                ours.emplace(plainPath(member.name), &member);
        }
        ASSERT_EQ(ours.size(), tool.size()) << listing.format;
        for (const auto& [name, listed] : tool) {
            const auto found = ours.find(name);
            ASSERT_NE(found, ours.end()) << name;
            const Member& member = *found->second;
            if (!member.isDirectory) {
                EXPECT_EQ(member.size, listed.size) << name;
            }
            EXPECT_EQ(member.encrypted, listed.encrypted) << name;
            if (times) {
                ASSERT_TRUE(member.modified.has_value()) << name;
                EXPECT_EQ(member.modified->seconds, listed.seconds) << name;
                EXPECT_EQ(member.modified->nanoseconds, listed.nanoseconds) << name;
            }
        }
    }

    TemporaryFolder m_folder;
};

// `unzip -Z -T`: permissions, version, system, size, kind, method, yyyymmdd.hhmmss, name.
std::map<std::string, Listed> unzipListing(const std::string& zip)
{
    std::map<std::string, Listed> members;
    std::istringstream lines(run("unzip -Z -T " + quoted(zip)));
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || (line[0] != '-' && line[0] != 'd'))
            continue;
        std::istringstream fields(line);
        std::string permissions;
        std::string version;
        std::string system;
        std::string kind;
        std::string method;
        std::string when;
        std::string name;
        Listed listed;
        fields >> permissions >> version >> system >> listed.size >> kind >> method >> when;
        std::getline(fields >> std::ws, name);
        listed.encrypted = kind[0] == 'B' || kind[0] == 'T';
        listed.seconds
            = localSeconds(std::stoi(when.substr(0, 4)), std::stoi(when.substr(4, 2)), std::stoi(when.substr(6, 2)),
                std::stoi(when.substr(9, 2)), std::stoi(when.substr(11, 2)), std::stoi(when.substr(13, 2)));
        members.emplace(plainPath(name), listed);
    }
    return members;
}

// `7z l -slt`: one block of "Key = value" lines per member after the line of dashes.
std::map<std::string, Listed> sevenZipListing(const std::string& tool, const std::string& archive, bool password)
{
    std::map<std::string, Listed> members;
    std::istringstream lines(run(tool + " l -slt " + (password ? "-psecret " : "") + quoted(archive)));
    std::string name;
    Listed listed;
    bool started = false;
    for (std::string line; std::getline(lines, line);) {
        started = started || line == "----------";
        if (!started)
            continue;
        if (line.starts_with("Path = ")) {
            name = line.substr(7);
        } else if (line.starts_with("Size = ")) {
            listed.size = std::stoull(line.substr(7));
        } else if (line.starts_with("Modified = ")) {
            const std::string when = line.substr(11); // 2020-09-13 12:26:40.1234567
            listed.seconds
                = localSeconds(std::stoi(when.substr(0, 4)), std::stoi(when.substr(5, 2)), std::stoi(when.substr(8, 2)),
                    std::stoi(when.substr(11, 2)), std::stoi(when.substr(14, 2)), std::stoi(when.substr(17, 2)));
            listed.nanoseconds = when.size() > 20 ? static_cast<std::uint32_t>(std::stoul(when.substr(20))) * 100 : 0;
        } else if (line.starts_with("Encrypted = ")) {
            listed.encrypted = line.ends_with('+');
        } else if (line.empty() && !name.empty()) {
            members.emplace(plainPath(name), listed);
            name.clear();
            listed = {};
        }
    }
    return members;
}

// GNU tar's `-tv --full-time`: permissions, owner, size, date, time, name.
std::map<std::string, Listed> tarListing(const std::string& archive, const std::string& compressor)
{
    std::map<std::string, Listed> members;
    std::istringstream lines(run("tar --full-time --quoting-style=literal "
        + (compressor.empty() ? "" : "-I " + compressor) + " -tvf " + quoted(archive)));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string permissions;
        std::string owner;
        std::string date;
        std::string time;
        std::string name;
        Listed listed;
        fields >> permissions >> owner >> listed.size >> date >> time;
        std::getline(fields >> std::ws, name);
        listed.seconds
            = localSeconds(std::stoi(date.substr(0, 4)), std::stoi(date.substr(5, 2)), std::stoi(date.substr(8, 2)),
                std::stoi(time.substr(0, 2)), std::stoi(time.substr(3, 2)), std::stoi(time.substr(6, 2)));
        if (!plainPath(name).empty())
            members.emplace(plainPath(name), listed);
    }
    return members;
}

TEST_F(ToolArchives, ZipWithAndWithoutPasswordListsAsUnzipDoes)
{
    REQUIRE_TOOL("zip");
    REQUIRE_TOOL("unzip");
    make("zip -qr " + quoted(path("plain.zip")) + " .");
    make("zip -qr -P secret " + quoted(path("locked.zip")) + " .");

    // This program never sets a locale, so it runs in "C", where libarchive alone would lose the
    // name of every member flagged UTF-8: "中文名 空格.txt" must still be there.
    const auto plain = listArchive(path("plain.zip"));
    ASSERT_TRUE(plain.has_value());
    EXPECT_EQ(plain->status, ArchiveStatus::Intact);
    expectSame(*plain, unzipListing(path("plain.zip")));
    EXPECT_EQ(tests::byName(*plain).count("中文名 空格.txt"), 1u);
    // Info-ZIP keeps whole seconds (its extended field): the time of the files, cut.
    EXPECT_EQ(tests::byName(*plain).at("a.txt").modified->seconds, kTouched);

    const auto locked = listArchive(path("locked.zip"));
    ASSERT_TRUE(locked.has_value());
    EXPECT_EQ(locked->status, ArchiveStatus::Encrypted);
    expectSame(*locked, unzipListing(path("locked.zip")));
}

TEST_F(ToolArchives, SevenZipListsAsItsToolDoesAndEncryptedNamesAreUnreadable)
{
    const std::string tool = tests::hasTool("7zz") ? "7zz" : "7z";
    REQUIRE_TOOL(tool);
    make(tool + " a -bd " + quoted(path("plain.7z")) + " . >/dev/null");
    make(tool + " a -bd -psecret " + quoted(path("data.7z")) + " . >/dev/null");
    make(tool + " a -bd -psecret -mhe=on " + quoted(path("names.7z")) + " . >/dev/null");

    const auto plain = listArchive(path("plain.7z"));
    ASSERT_TRUE(plain.has_value());
    EXPECT_EQ(plain->status, ArchiveStatus::Intact);
    expectSame(*plain, sevenZipListing(tool, path("plain.7z"), false));
    EXPECT_EQ(tests::byName(*plain).at("a.txt").modified, (MemberTime { kTouched, 123456700 }));

    const auto data = listArchive(path("data.7z"));
    ASSERT_TRUE(data.has_value());
    EXPECT_EQ(data->status, ArchiveStatus::Encrypted);
    expectSame(*data, sevenZipListing(tool, path("data.7z"), true));

    const auto names = listArchive(path("names.7z"));
    ASSERT_TRUE(names.has_value());
    EXPECT_EQ(names->status, ArchiveStatus::NamesUnreadable);
    EXPECT_TRUE(names->members.empty());
}

TEST_F(ToolArchives, TarInEachCompressionListsAsTarDoes)
{
    REQUIRE_TOOL("tar");
    const std::vector<std::pair<std::string, std::string>> kinds { { "plain.tar", "" }, { "a.tar.gz", "gzip" },
        { "a.tar.bz2", "bzip2" }, { "a.tar.xz", "xz" }, { "a.tar.zst", "zstd" }, { "a.tar.lz4", "lz4" },
        { "a.tar.lzma", "lzma" } };
    for (const auto& [name, compressor] : kinds) {
        SCOPED_TRACE(name);
        if (!compressor.empty() && !tests::hasTool(compressor == "lzma" ? "xz" : compressor)) {
            ADD_FAILURE() << compressor << " is not installed";
            continue;
        }
        make("tar --format=posix -cf " + quoted(path(name)) + (compressor.empty() ? "" : " -I " + compressor) + " .");
        const auto listing = listArchive(path(name));
        ASSERT_TRUE(listing.has_value());
        EXPECT_EQ(listing->status, ArchiveStatus::Intact);
        expectSame(*listing, tarListing(path(name), compressor), false);
        // pax keeps the nanoseconds.
        EXPECT_EQ(tests::byName(*listing).at("./a.txt").modified, (MemberTime { kTouched, 123456789 }));
        EXPECT_EQ(tests::byName(*listing).at("./d1/d2/b.txt").size, 70000u);
    }
}

TEST_F(ToolArchives, CpioListsItsMembersAndACompressedSingleFileIsNoArchive)
{
    REQUIRE_TOOL("bsdcpio");
    make("find . | bsdcpio -o -H newc > " + quoted(path("a.cpio")));
    const auto cpio = listArchive(path("a.cpio"));
    ASSERT_TRUE(cpio.has_value());
    EXPECT_EQ(cpio->status, ArchiveStatus::Intact);
    EXPECT_EQ(tests::byName(*cpio).at("./中文名 空格.txt").size, 7u);
    EXPECT_EQ(tests::byName(*cpio).at("./a.txt").modified->seconds, kTouched);

    // A .gz of text is one compressed file: no members, a plain file for whoever asked.
    run("gzip -c " + quoted(path("src/d1/d2/b.txt")) + " > " + quoted(path("b.txt.gz")));
    const auto single = listArchive(path("b.txt.gz"));
    ASSERT_FALSE(single.has_value());
    EXPECT_EQ(single.error().failure, ListingFailure::NotAnArchive);
}

TEST_F(ToolArchives, ZipNamesFromChineseWindowsAreCodePage936UnlessTheyAreUtf8)
{
    REQUIRE_TOOL("python3");
    // Python's zipfile writes the bytes a zip tool of Chinese Windows writes: names in code
    // page 936 with the UTF-8 flag clear; a name that is UTF-8 without the flag stays UTF-8.
    run("python3 - " + quoted(path("gbk.zip")) + R"( <<'EOF'
import sys, zipfile
class Raw(zipfile.ZipInfo):
    def _encodeFilenameFlags(self):
        return self.filename.encode(self.charset), self.flag_bits
with zipfile.ZipFile(sys.argv[1], 'w') as z:
    for name, charset in [('照片/旅行 2004/长城.jpg', 'cp936'), ('照片/', 'cp936'), ('utf8名.txt', 'utf-8'),
                          ('繁體 價格.txt', 'cp936')]:
        info = Raw(name)
        info.charset = charset
        z.writestr(info, b'x' * 3)
EOF)");
    const auto listing = listArchive(path("gbk.zip"));
    ASSERT_TRUE(listing.has_value());
    ASSERT_EQ(listing->members.size(), 4u);
    EXPECT_EQ(listing->members[0].name, "照片/旅行 2004/长城.jpg");
    EXPECT_EQ(listing->members[1].name, "照片/");
    EXPECT_EQ(listing->members[2].name, "utf8名.txt");
    EXPECT_EQ(listing->members[3].name, "繁體 價格.txt"); // GBK beyond GB2312
    EXPECT_EQ(listing->members[0].leaf, "长城.jpg");
    EXPECT_EQ(listing->folders[listing->members[0].folder].name, "旅行 2004");
}

} // namespace
} // namespace mellowby::archive
