#include <gtest/gtest.h>
#include <string>

#include "app/inidocument.h"

namespace mellowby::app {
namespace {

// A file cut between the CR and the LF of its last line: the CR already ends that line, so a
// line appended after it must not turn the CR into part of the value above.
TEST(IniDocumentTest, LastLineCutAfterItsCarriageReturnKeepsItsValue)
{
    IniDocument inSection("[Options]\r\nNoFileStr=GIF\r");
    ASSERT_TRUE(inSection.setValue("Options", "ifYesFile", "1"));
    EXPECT_EQ(inSection.text(), "[Options]\r\nNoFileStr=GIF\r\nifYesFile=1\r\n");
    EXPECT_EQ(IniDocument(inSection.text()).value("Options", "NoFileStr"), "GIF");

    IniDocument newSection("[Other]\nkey=value\r");
    ASSERT_TRUE(newSection.setValue("Options", "ifYesFile", "1"));
    EXPECT_EQ(newSection.text(), "[Other]\nkey=value\r\n\n[Options]\nifYesFile=1\n");
    EXPECT_EQ(IniDocument(newSection.text()).value("Other", "key"), "value");
}

} // namespace
} // namespace mellowby::app
