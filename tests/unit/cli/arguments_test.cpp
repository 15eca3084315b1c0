#include "cli_test_support.h"
#include "options.h"

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
    EXPECT_EQ(run({"--help", "foo"}), kExitUsage);
    EXPECT_EQ(err, "tessaly-cli: --help takes a command's name at most; unexpected foo\n");
    EXPECT_EQ(run({"help", "foo"}), kExitUsage);
    EXPECT_EQ(err, "tessaly-cli: unknown command \"foo\"; see tessaly-cli --help\n");
    EXPECT_EQ(run({"help", "sync", "foo"}), kExitUsage);
    EXPECT_EQ(err, "tessaly-cli: help takes a command's name at most; unexpected foo\n");
    EXPECT_EQ(out, "");
}

TEST_F(CommandsTest, HelpOnACommandSaysHowItIsUsed)
{
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"help", "sync"}, {"sync", "--help"}, {"sync", "-h"}}) {
        EXPECT_EQ(run(arguments), kExitOk) << arguments[0];
        EXPECT_TRUE(out.starts_with("usage: sync ")) << out;
        EXPECT_NE(out.find("--password-file"), std::string::npos) << out;
        EXPECT_EQ(err, "");
    }
    EXPECT_EQ(run({"add", "--help"}), kExitOk);
    EXPECT_TRUE(out.starts_with("usage: add ")) << out;
    // After "--" it is the command's own argument, not a call for help.
    run({"add", "--", "--help"});
    EXPECT_FALSE(out.starts_with("usage:")) << out;
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

TEST_F(CommandsTest, AnAddressIsStoredWholeAndOtherFieldsAreCutWithAWarning)
{
    // Two addresses that agree on far more than 255 characters stay two.
    const std::string common = "http://long.example/" + std::string(260, 'p');
    const std::string keyword = "Schlüsselwörter-über-zwanzig"; // 28 characters, more bytes
    ASSERT_EQ(run({"add", common + "/one", "--keyword", keyword}), kExitOk) << err;
    EXPECT_EQ(err, "tessaly-cli add: warning: URL:Keyword holds 20 characters; the rest is cut\n");
    ASSERT_EQ(run({"add", common + "/two"}), kExitOk) << err;
    EXPECT_EQ(err, "");
    ASSERT_EQ(run({"list"}), kExitOk);
    EXPECT_NE(out.find('\n' + common + "/one\t\t\t0\tSchlüsselwörter-über\t"), std::string::npos)
        << out;
    EXPECT_NE(out.find('\n' + common + "/two\t"), std::string::npos) << out;

    // Exactly full, or longer only by trailing blanks, is not cut.
    ASSERT_EQ(run({"add", common + "/one", "--keyword", "twenty-characters-20   "}),
              kExitFailure); // already stored, but no warning on the way
    EXPECT_EQ(err.find("warning"), std::string::npos) << err;

    // The widest address is taken; one character more is refused, not cut.
    std::string widest = "http://w.example/";
    widest += std::string(static_cast<std::size_t>(kAddressWidth) - widest.size(), 'w');
    ASSERT_EQ(run({"add", widest}), kExitOk) << err;
    EXPECT_EQ(run({"add", widest + "x"}), kExitUsage);
    EXPECT_EQ(err, "tessaly-cli add: This address has more than 65,536 characters and cannot be "
                   "stored whole. It was not stored.\n");
    ASSERT_EQ(run({"list", "--columns", "location"}), kExitOk);
    EXPECT_NE(out.find('\n' + widest + '\n'), std::string::npos);
    EXPECT_EQ(out.find(widest + "x"), std::string::npos);
}

TEST(CallerPath, ANameGivenRelativeIsTakenFromWhereTheProgramStarted)
{
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path("/");
    EXPECT_EQ(callerPath("tmp/x.csv"), "/tmp/x.csv"); // not "//tmp/x.csv"
    std::filesystem::current_path("/usr");
    EXPECT_EQ(callerPath("x.csv"), "/usr/x.csv");
    EXPECT_EQ(callerPath("/abs/x.csv"), "/abs/x.csv");
    EXPECT_EQ(callerPath("-"), "-"); // standard input or output
    std::filesystem::current_path(before);
}

} // namespace
} // namespace tessaly::cli
