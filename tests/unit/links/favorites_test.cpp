#include "links/favorites.h"

#include "pipe_shortcut.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace tessaly {
namespace {

void write(const std::string& path, const std::string& content)
{
    std::filesystem::create_directories(std::filesystem::path{path}.parent_path());
    std::ofstream{path} << content;
}

TEST(FavoritesTest, EveryFileIsCollectedWithTheAddressOfItsShortcut)
{
    test::TempFolder favorites;
    write(favorites.file("Top.url"), "[InternetShortcut]\r\nURL=http://top.test/\r\n");
    write(favorites.file("News/Daily.URL"),
          "[DEFAULT]\nBASEURL=http://wrong.test/\n[internetshortcut]\nurl = http://daily.test/\n");
    write(favorites.file("News/readme.txt"), "URL=http://not-a-shortcut.test/");
    write(favorites.file("Empty.url"), "[Other]\nURL=http://elsewhere.test/\n");
    std::filesystem::create_directory_symlink(favorites.path(), favorites.file("News/Loop"));

    std::vector<ShortcutEntry> list;
    walkFavorites(favorites.path(), list);
    prepareShortcutList(favorites.path(), list);
    EXPECT_EQ(list, (std::vector<ShortcutEntry>{{"Empty.url", ""},
                                                {"News/Daily.URL", "http://daily.test/"},
                                                {"News/readme.txt", ""},
                                                {"Top.url", "http://top.test/"}}));

    // Given with its trailing separator, the folder is cut just the same.
    std::vector<ShortcutEntry> again;
    walkFavorites(favorites.path() + "/", again);
    prepareShortcutList(favorites.path() + "/", again);
    EXPECT_EQ(again, list);
}

// Hidden entries are not listed, and only regular files are read, each
// only so far: a pipe or a huge file named like a shortcut cannot hold the
// walk.
TEST(FavoritesTest, HiddenEntriesAreSkippedAndOnlyWhatIsSafeIsRead)
{
    test::TempFolder favorites;
    write(favorites.file("Top.url"), "[InternetShortcut]\nURL=http://top.test/\n");
    write(favorites.file(".directory"), "[Desktop Entry]\n");
    write(favorites.file(".hiddendir/secret.url"), "[InternetShortcut]\nURL=http://secret.test/\n");
    write(favorites.file("Huge.url"),
          std::string(4 << 20, '\n') + "[InternetShortcut]\nURL=http://far-down.test/\n");
    test::PipeShortcut pipe{favorites.file("x.url"), std::chrono::seconds(10)};

    std::vector<ShortcutEntry> list;
    walkFavorites(favorites.path(), list);
    prepareShortcutList(favorites.path(), list);
    EXPECT_FALSE(pipe.rescued()) << "the walk waited on the pipe";
    EXPECT_EQ(list, (std::vector<ShortcutEntry>{
                        {"Huge.url", ""}, {"Top.url", "http://top.test/"}, {"x.url", ""}}));
}

TEST(FavoritesTest, AMissingFolderGivesAnEmptyList)
{
    std::vector<ShortcutEntry> list;
    walkFavorites("/nonexistent/favorites", list);
    EXPECT_TRUE(list.empty());
}

} // namespace
} // namespace tessaly
