#include <gtest/gtest.h>

#include "app/clsxmlfile.h"

namespace mellowby::app {
namespace {

TEST(ClsXmlFileTest, NewRecordIsEmptyAndStoresValuesUnchanged)
{
    clsXmlFile record;
    EXPECT_EQ(record.FileName(), "");
    EXPECT_EQ(record.IdxName(), "");
    EXPECT_EQ(record.TreeIndex(), 0);

    record.setFileName(" 光盘 1 ");
    record.setIdxName(" 光盘 1 ");
    record.setTreeIndex(-32768);
    EXPECT_EQ(record.FileName(), " 光盘 1 ");
    EXPECT_EQ(record.IdxName(), " 光盘 1 ");
    EXPECT_EQ(record.TreeIndex(), -32768);
}

} // namespace
} // namespace mellowby::app
