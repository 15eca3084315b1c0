#include "cli_test_support.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace tessaly::cli {
namespace {

using test::CommandsTest;

TEST_F(CommandsTest, CommandsWithoutArgumentsRefuseExtraOnes)
{
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"version", "x", "y"}, {"--version", "x"}}) {
        EXPECT_EQ(run(arguments), kExitUsage) << arguments[0];
        EXPECT_TRUE(err.starts_with("tessaly-cli version: unexpected x\nusage: ")) << err;
        EXPECT_EQ(out, "");
    }
    for (const std::string help : {"help", "--help"}) {
        EXPECT_EQ(run({help, "foo"}), kExitUsage);
        EXPECT_EQ(err, "tessaly-cli: " + help + " takes no arguments; unexpected foo\n");
        EXPECT_EQ(out, "");
    }
}

TEST_F(CommandsTest, AGlobalOptionGivenTwiceIsRefusedBeforeAnythingIsTouched)
{
    const std::string other = folder.file("other");
    EXPECT_EQ(run({"--data", other, "list"}), kExitUsage); // the fixture gave one already
    EXPECT_EQ(err, "tessaly-cli: --data given twice\n");
    EXPECT_FALSE(std::filesystem::exists(other));
    EXPECT_EQ(run({"--password-file", "a", "--password-file=b", "list"}), kExitUsage);
    EXPECT_EQ(err, "tessaly-cli: --password-file given twice\n");
    EXPECT_EQ(run({"--password-file=", "list"}), kExitUsage);
    EXPECT_EQ(err, "tessaly-cli: --password-file needs a file\n");
}

TEST_F(CommandsTest, AnOptionIsNeverTakenForAnAddress)
{
    EXPECT_EQ(run({"add", "-r"}), kExitUsage);
    EXPECT_TRUE(err.starts_with("tessaly-cli add: unknown option -r (a value that begins with "
                                "\"-\" goes after --)\nusage: add "))
        << err;
    EXPECT_EQ(run({"add", "http://x/", "--rating", "1", "--rating=2"}), kExitUsage);
    EXPECT_TRUE(err.starts_with("tessaly-cli add: --rating given twice\n")) << err;
    EXPECT_EQ(run({"keywords", "-x\x1b[2J"}), kExitUsage);
    EXPECT_TRUE(err.starts_with("tessaly-cli keywords: unknown option -x\\x1b[2J")) << err;
    ASSERT_EQ(run({"list"}), kExitOk);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << "nothing was stored: " << out;

    // After "--" everything is an address, even what looks like an option.
    ASSERT_EQ(run({"add", "--category", "News", "--", "--data"}), kExitOk) << err;
    EXPECT_EQ(out, "Added --data\n");
    ASSERT_EQ(run({"keywords", "--", "--data"}), kExitOk) << err;
    ASSERT_EQ(run({"list", "--query", "URL:Category = 'News'"}), kExitOk);
    EXPECT_TRUE(out.substr(out.find('\n') + 1).starts_with("--data\t")) << out;
}

TEST_F(CommandsTest, AFieldLongerThanItsWidthIsCutWithAWarning)
{
    const std::string location = "http://long.example/" + std::string(280, 'p');
    const std::string keyword = "Schlüsselwörter-über-zwanzig"; // 28 characters, more bytes
    ASSERT_EQ(run({"add", location, "--keyword", keyword}), kExitOk) << err;
    EXPECT_EQ(err, "tessaly-cli add: warning: URL:Location holds 255 characters; the rest is cut\n"
                   "tessaly-cli add: warning: URL:Keyword holds 20 characters; the rest is cut\n");
    ASSERT_EQ(run({"list"}), kExitOk);
    EXPECT_NE(out.find('\n' + location.substr(0, 255) + "\t\t\t0\tSchlüsselwörter-über\t"),
              std::string::npos)
        << out;

    // Exactly full, or longer only by trailing blanks, is not cut.
    ASSERT_EQ(run({"add", location.substr(0, 255), "--keyword", "twenty-characters-20   "}),
              kExitFailure); // already stored, but no warning on the way
    EXPECT_EQ(err.find("warning"), std::string::npos) << err;
}

} // namespace
} // namespace tessaly::cli
