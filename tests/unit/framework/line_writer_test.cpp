#include "framework/line_writer.h"

#include "temp_folder.h"

#include <gtest/gtest.h>

namespace tessaly {
namespace {

TEST(LineWriter, WritesClippedLinesOfAtMost1024Characters)
{
    test::TempFolder folder;
    LineWriter writer;
    ASSERT_TRUE(writer.open(folder.file("out.txt")).ok());
    EXPECT_TRUE(writer.writeLine("<html>   "));
    EXPECT_TRUE(writer.writeLine(""));
    const std::string wide = std::string(1023, 'a') + "ééé";
    EXPECT_FALSE(writer.writeLine(wide)) << "the cut is reported";
    EXPECT_TRUE(writer.close().ok());
    EXPECT_EQ(writer.linesWritten(), 3U);
    EXPECT_EQ(folder.read("out.txt"), "<html>\n\n" + std::string(1023, 'a') + "é\n");
}

TEST(LineWriter, ReportsAFullDisk)
{
    LineWriter writer;
    ASSERT_TRUE(writer.open("/dev/full").ok());
    for (int i = 0; i < 10000; ++i) {
        writer.writeLine("a line that will never reach the disk");
    }
    const SystemResult result = writer.close();
    EXPECT_EQ(result.errorNumber, ENOSPC);
    EXPECT_EQ(result.text, "No space left on device");
}

TEST(LineWriter, ReportsAFolderThatCannotBeWritten)
{
    LineWriter writer;
    const SystemResult result = writer.open("/nonexistent-folder/out.htm");
    EXPECT_EQ(result.errorNumber, ENOENT);
    EXPECT_FALSE(writer.isOpen());
}

} // namespace
} // namespace tessaly
