#include <gtest/gtest.h>

#include "platform/paths.h"

namespace mellowby::platform {
namespace {

// The pieces every caller relies on where a path has no usual shape: the root, a closing
// separator, no separator at all, and names made of dots.
TEST(PathPieces, RootClosingSeparatorBareNamesAndDotNames)
{
    struct Case {
        std::string_view path, fileName, parent, folderPart, stem;
    };
    const Case cases[] = {
        { "/", "", "/", "/", "" },
        { "/a", "a", "/", "/", "a" },
        { "a", "a", ".", "", "a" },
        { "", "", ".", "", "" },
        { "a/b/", "", "a/b", "a/b/", "" },
        { "/x/archive.tar.gz", "archive.tar.gz", "/x", "/x/", "archive.tar" },
        { "d.d/.profile", ".profile", "d.d", "d.d/", "" },
        { "d.d/..", "..", "d.d", "d.d/", "." },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(fileNameOf(c.path), c.fileName);
        EXPECT_EQ(parentOf(c.path), c.parent);
        EXPECT_EQ(folderPartOf(c.path), c.folderPart);
        EXPECT_EQ(stemOf(c.path), c.stem);
    }

    EXPECT_EQ(withoutTrailingSeparators("/"), "/");
    EXPECT_EQ(withoutTrailingSeparators("//"), "/");
    EXPECT_EQ(withoutTrailingSeparators("/a//"), "/a");
    EXPECT_EQ(componentsOf("//a//b/"), (std::vector<std::string_view> { "a", "b" }));
    EXPECT_TRUE(componentsOf("/").empty());
}

} // namespace
} // namespace mellowby::platform
