#include <expected>
#include <gtest/gtest.h>
#include <string>

#include "scan/scanindexer.h"
#include "support/stringindexsink.h"

namespace mellowby::scan {
namespace {

using StringSink = tests::StringIndexSink;

// Every entry in a batch of its own, with room for one batch to wait: the walk waits on the
// collecting thread again and again, and the index is still the one the builder makes of the same
// entries by itself.
TEST(ScanIndexer, EntriesHandedOverAtTheBoundAreAllCollected)
{
    ScanIndexer indexer(1, 1);
    names::NamesIndexBuilder direct;
    indexer.beginDisk("disc", "/media/disc");
    direct.beginDisk("disc", "/media/disc");
    for (int folder = 0; folder < 20; ++folder) {
        const std::string title = "folder " + std::to_string(folder);
        indexer.enterDirectory(title);
        direct.enterDirectory(title);
        for (int file = 0; file < 50; ++file) {
            const std::string name = "Straße " + std::to_string(file) + ".jpg";
            const std::string size = std::to_string(file % 7) + "KB";
            indexer.addFile(name, size, "2004年5月1日");
            direct.addFile(name, size, "2004年5月1日");
        }
        indexer.leaveDirectory();
        direct.leaveDirectory();
    }
    const names::IndexKey key { "/data", "disc.xml", { 1, 2, 3, 4, 5 } };
    StringSink collected;
    indexer.finishWith([&](names::NamesIndexBuilder& builder) { ASSERT_TRUE(builder.write(key, collected)); });
    indexer.wait();
    StringSink made;
    ASSERT_TRUE(direct.write(key, made));
    EXPECT_EQ(collected.written.size(), made.written.size());
    EXPECT_TRUE(collected.written == made.written); // not printed: binary
}

} // namespace
} // namespace mellowby::scan
