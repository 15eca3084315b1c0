#include "framework/system_file.h"

#include "temp_folder.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
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

// The sweep after any name takes only what a killed export of ours left,
// never a file of the user's whose name merely looks alike.
TEST(RemoveStaleTemporaries, AfterAnyNameTakesOnlyOurOwnShape)
{
    test::TempFolder folder;
    // Process 4194305 cannot exist (above the kernel's largest); the files are older than we are.
    const std::string ours = folder.write("links3.htm.part4194305-7", "half a page");
    const std::string theirs = folder.write("thesis.part4194305-draft.docx", "a thesis");
    ASSERT_EQ(::mkdir(folder.file("notes.part4194305-1").c_str(), 0700), 0);
    const struct timespec old[2] = {{1, 0}, {1, 0}};
    for (const std::string& path : {ours, theirs, folder.file("notes.part4194305-1")}) {
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), old, 0), 0);
    }
    removeStaleTemporaries(folder.path(), ".part", true);
    EXPECT_NE(::access(ours.c_str(), F_OK), 0);
    EXPECT_EQ(folder.read("thesis.part4194305-draft.docx"), "a thesis");
    EXPECT_EQ(::access(folder.file("notes.part4194305-1").c_str(), F_OK), 0);
}

} // namespace
} // namespace tessaly
