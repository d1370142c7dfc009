// A large catalog is read on a thread of its own while its index is built on the caller's: the
// same index as read and built on one thread, and a catalog that cannot be read to its end, or
// holds what the reader refuses after its first stretches, gives no index either way.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <string>

#include "names/catalogstreamreader.h"
#include "names/namesindexbuilder.h"
#include "platform/linux/linuxfilesystem.h"
#include "support/catalogmaker.h"
#include "support/stringindexsink.h"
#include "support/temporaryfolder.h"

namespace mellowby::names {
namespace {

using StringSink = tests::StringIndexSink;

// The catalog, failing from an offset on.
class FailingFile final : public platform::IReadableFile {
public:
    FailingFile(const platform::IReadableFile& file, std::uint64_t failFrom)
        : m_file(file)
        , m_failFrom(failFrom)
    {
    }
    const platform::FileStamp& stamp() const override { return m_file.stamp(); }
    std::expected<std::size_t, platform::Error> readAt(std::uint64_t offset, std::span<char> into) const override
    {
        if (offset + into.size() > m_failFrom)
            return std::unexpected(platform::Error { 5, "Input/output error" });
        return m_file.readAt(offset, into);
    }

private:
    const platform::IReadableFile& m_file;
    std::uint64_t m_failFrom;
};

enum class Read { Apart, Together };

std::optional<std::string> indexOf(const platform::IReadableFile& file, Read read)
{
    NamesIndexBuilder builder;
    if (!CatalogStreamReader::read(file, builder, read == Read::Apart ? 0 : UINT64_MAX))
        return std::nullopt;
    StringSink sink;
    if (!builder.write({ "/data", "big.xml", file.stamp() }, sink))
        return std::nullopt;
    return sink.written;
}

TEST(CatalogReadApart, TheSameIndexAsOnOneThreadAndTheSameRefusals)
{
    const tests::TemporaryFolder folder;
    const std::filesystem::path data = std::filesystem::path(folder.path()) / "Data";
    tests::CatalogMaker maker(data);
    std::vector<platform::DirEntry> root;
    for (int d = 0; d < 40; ++d) {
        root.push_back(tests::CatalogMaker::dir("文件夹 " + std::to_string(d)));
        std::vector<platform::DirEntry> files;
        for (int f = 0; f < 1500; ++f)
            files.push_back(tests::CatalogMaker::file(
                (f % 3 == 0 ? "Straße & 照片 " : "a rather long file name ") + std::to_string(f) + ".jpg", f * 977));
        maker.directory("文件夹 " + std::to_string(d), std::move(files));
    }
    maker.directory("", std::move(root));
    ASSERT_TRUE(maker.write("big"));
    const std::filesystem::path path = data / "big.xml";

    platform::LinuxFileSystem fileSystem;
    auto opened = fileSystem.openForReading(path);
    ASSERT_TRUE(opened);
    const platform::IReadableFile& catalog = **opened;
    const auto apart = indexOf(catalog, Read::Apart);
    const auto together = indexOf(catalog, Read::Together);
    ASSERT_TRUE(apart);
    ASSERT_TRUE(together);
    EXPECT_EQ(apart->size(), together->size());
    EXPECT_TRUE(*apart == *together); // not printed: binary

    // A read error far into the file.
    EXPECT_FALSE(indexOf(FailingFile(catalog, 9U << 19), Read::Apart));
    EXPECT_FALSE(indexOf(FailingFile(catalog, 9U << 19), Read::Together));

    // A comment near the end, which the reader leaves to the document model.
    std::string text;
    {
        std::ifstream in(path, std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), {});
    }
    const std::size_t lastFile = text.rfind("<File ");
    ASSERT_NE(lastFile, std::string::npos);
    text.insert(lastFile, "<!-- a comment -->");
    std::ofstream(data / "commented.xml", std::ios::binary) << text;
    auto commented = fileSystem.openForReading(data / "commented.xml");
    ASSERT_TRUE(commented);
    EXPECT_FALSE(indexOf(**commented, Read::Apart));
    EXPECT_FALSE(indexOf(**commented, Read::Together));
}

} // namespace
} // namespace mellowby::names
