#include "framework/system_file.h"

#include "temp_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace tessaly {
namespace {

// A page downloaded beside another of the same name must never take that
// file's place: the rename either gives the free name or leaves both alone.
TEST(RenameWithoutReplacing, TakesAFreeNameAndLeavesATakenOneAsItWas)
{
    test::TempFolder folder;
    const std::string page = folder.write(".part", "new page");
    ASSERT_TRUE(renameWithoutReplacing(page, folder.file("index.html")).ok());
    EXPECT_EQ(folder.read("index.html"), "new page");
    EXPECT_NE(::access(page.c_str(), F_OK), 0) << "the temporary name is gone";

    const std::string second = folder.write(".part2", "second page");
    const SystemResult taken = renameWithoutReplacing(second, folder.file("index.html"));
    EXPECT_EQ(taken.errorNumber, EEXIST);
    EXPECT_EQ(folder.read("index.html"), "new page");
    EXPECT_EQ(folder.read(".part2"), "second page");

    // A name held by a link that leads nowhere is taken too.
    ASSERT_EQ(::symlink("nowhere", folder.file("dangling").c_str()), 0);
    EXPECT_EQ(renameWithoutReplacing(second, folder.file("dangling")).errorNumber, EEXIST);
    EXPECT_EQ(renameWithoutReplacing(folder.file("missing"), folder.file("x")).errorNumber, ENOENT);
}

} // namespace
} // namespace tessaly
