#include <filesystem>
#include <gtest/gtest.h>

#include "platform/programpath.h"

namespace mellowby::platform {
namespace {

TEST(RunningExecutableFolder, IsTheFolderOfThisTestProgramWithoutTrailingSeparator)
{
    const auto folder = runningExecutableFolder();
    ASSERT_TRUE(folder);
    EXPECT_FALSE(folder->ends_with('/'));
    EXPECT_TRUE(std::filesystem::is_regular_file(*folder + "/test_platform"));
}

} // namespace
} // namespace mellowby::platform
