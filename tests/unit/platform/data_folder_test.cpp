#include "platform/data_folder.h"

#include "environment_variable.h"
#include "temp_folder.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaly {
namespace {

using test::EnvironmentVariable;

TEST(DataFolder, ArgumentThenEnvironmentThenXdgThenHome)
{
    const EnvironmentVariable data{"TESSALY_DATA", "/env/data"};
    const EnvironmentVariable xdg{"XDG_DATA_HOME", "/xdg"};
    const EnvironmentVariable home{"HOME", "/home/user"};
    EXPECT_EQ(chooseDataFolder({"--data", "/arg"}), "/arg");
    EXPECT_EQ(chooseDataFolder({"--data=/arg2"}), "/arg2");
    EXPECT_EQ(chooseDataFolder({"--", "--data=/an-address"}), "/env/data");
    EXPECT_EQ(chooseDataFolder({}), "/env/data");
    {
        const EnvironmentVariable noData{"TESSALY_DATA", nullptr};
        EXPECT_EQ(chooseDataFolder({}), "/xdg/tessaly");
        const EnvironmentVariable noXdg{"XDG_DATA_HOME", nullptr};
        EXPECT_EQ(chooseDataFolder({}), "/home/user/.local/share/tessaly");
    }
}

TEST(DataFolder, IsCreatedAndEntered)
{
    test::TempFolder folder;
    char* before = ::getcwd(nullptr, 0);
    const DataFolderChoice choice = enterDataFolder(folder.file("a/b/tessaly"));
    EXPECT_TRUE(choice.error.empty()) << choice.error;
    char* now = ::getcwd(nullptr, 0);
    EXPECT_EQ(std::string{now}, folder.file("a/b/tessaly"));
    ASSERT_EQ(::chdir(before), 0);
    std::free(now);
    std::free(before);

    folder.write("file", "x");
    const DataFolderChoice bad = enterDataFolder(folder.file("file"));
    EXPECT_EQ(bad.error, "The data folder " + folder.file("file") + " is not a folder.");
}

} // namespace
TEST(DataFolder, FilesForTheUserKeepTheSessionsUmask)
{
    test::TempFolder folder;
    char* before = ::getcwd(nullptr, 0);
    const mode_t mask = ::umask(022);
    const DataFolderChoice choice = enterDataFolder(folder.path() + "/data");
    EXPECT_TRUE(choice.error.empty()) << choice.error;
    EXPECT_EQ(userFileMode(), 0644U) << "the session's umask, not the data folder's 077";
    EXPECT_EQ(::umask(mask), 077U);
    EXPECT_EQ(::chdir(before), 0);
    std::free(before);
}

} // namespace tessaly
