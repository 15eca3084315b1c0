#include "cli_test_support.h"
#include "local_server.h"

#include <array>
#include <cstdio>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace tessaly::cli {
namespace {

using test::CommandsTest;

TEST_F(CommandsTest, AddThenListInEachOrder)
{
    ASSERT_EQ(run({"add", "http://b.example/", "--description", "Beta", "--category", "News",
                   "--rating", "3"}),
              kExitOk)
        << err;
    EXPECT_EQ(out, "Added http://b.example/\n");
    ASSERT_EQ(run({"add", "http://a.example/", "--description", "Alpha", "--category", "Misc",
                   "--rating", "9", "--keyword", "Key"}),
              kExitOk);
    ASSERT_EQ(run({"list", "--order", "rating"}), kExitOk);
    std::istringstream lines{out};
    std::string header;
    std::getline(lines, header);
    EXPECT_TRUE(header.starts_with("URL:Location\tURL:Description\tURL:Category\tURL:Rating\t"));
    EXPECT_TRUE(header.ends_with("URL:Custom3"));
    std::string first;
    std::getline(lines, first);
    EXPECT_EQ(first, "http://a.example/\tAlpha\tMisc\t9\tKey\t\t0\t0\t0\t\t\t\t\t0\t0\t\t\t\t\t");

    ASSERT_EQ(run({"list", "--order", "description", "--format", "csv", "--query",
                   "URL:Category = 'News'"}),
              kExitOk);
    EXPECT_EQ(out.substr(out.find('\n') + 1),
              "http://b.example/,Beta,News,3,,,0,0,0,,,,,0,0,,,,,\n");
}

TEST_F(CommandsTest, AStoredLocationIsRefusedAndACategoryIsCreatedOnce)
{
    ASSERT_EQ(run({"add", "http://x/", "--category", "News"}), kExitOk);
    EXPECT_EQ(run({"add", "HTTP://X/", "--category", "news"}), kExitFailure);
    EXPECT_EQ(err, "tessaly-cli add: http://x/ is stored already\n");
    ASSERT_EQ(run({"list"}), kExitOk);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2);
}

TEST_F(CommandsTest, FieldsWithTabsAndBreaksStayOnOneLine)
{
    ASSERT_EQ(run({"add", "http://t/", "--description", "a\tb\nc\\d"}), kExitOk);
    ASSERT_EQ(run({"list"}), kExitOk);
    EXPECT_NE(out.find("http://t/\ta\\tb\\nc\\\\d\t"), std::string::npos) << out;
    ASSERT_EQ(run({"list", "--format", "csv"}), kExitOk);
    EXPECT_NE(out.find("http://t/,\"a\tb\nc\\d\","), std::string::npos) << out;
}

TEST_F(CommandsTest, BadArgumentsAreUsageErrors)
{
    EXPECT_EQ(run({"add"}), kExitUsage);
    EXPECT_EQ(run({"add", "http://x/", "--rating", "ten"}), kExitUsage);
    EXPECT_EQ(err, "tessaly-cli add: the rating must be a whole number from 0 to 99\n");
    EXPECT_EQ(run({"add", "http://x/", "--colour", "red"}), kExitUsage);
    // An address with a control character would be another address in
    // every file it is written to: refused, and nothing stored.
    for (const char* address : {"http://x/a\x01b", "http://x/line\nbreak", "http://x/\x7f"}) {
        EXPECT_EQ(run({"add", address}), kExitUsage) << address;
        EXPECT_NE(err.find("control character"), std::string::npos) << err;
    }
    ASSERT_EQ(run({"list"}), kExitOk);
    EXPECT_EQ(out.find("http://x/"), std::string::npos) << out;
    EXPECT_EQ(run({"list", "--order", "sideways"}), kExitUsage);
    EXPECT_EQ(run({"list", "--format", "xml"}), kExitUsage);
    EXPECT_EQ(run({"list", "--query", "URL:Rating >"}), kExitUsage);
    EXPECT_EQ(err, "tessaly-cli list: Invalid filter: a value expected instead of end of the "
                   "expression at character 13\n");
    EXPECT_EQ(run({"keywords", "a", "b"}), kExitUsage);
}

TEST_F(CommandsTest, ListWritesTheChosenColumnsInTheirOrder)
{
    Record record{bookmarkTable()};
    record.setText(BookmarkField::Location, "http://b.example/");
    record.setText(BookmarkField::Description, "Beta, \"quoted\"");
    record.setNumber(BookmarkField::Rating, 3);
    record.setText(BookmarkField::Password, "secret");
    store(record);
    ASSERT_EQ(run({"list", "--columns", "url:rating,Description, LOCATION "}), kExitOk) << err;
    EXPECT_EQ(out, "URL:Rating\tURL:Description\tURL:Location\n"
                   "3\tBeta, \"quoted\"\thttp://b.example/\n");
    ASSERT_EQ(run({"list", "--format", "csv", "--columns", "Description,URL:Password,Rating"}),
              kExitOk);
    EXPECT_EQ(out, "URL:Description,URL:Password,URL:Rating\n\"Beta, \"\"quoted\"\"\",,3\n")
        << "the password stays blank";
    ASSERT_EQ(run({"list", "--columns", "password,location,password", "--show-passwords"}),
              kExitOk);
    EXPECT_EQ(out, "URL:Password\tURL:Location\tURL:Password\nsecret\thttp://b.example/\tsecret\n");
}

TEST(CliProgram, UnknownColumnsAreUsageErrorsThatNameTheColumns)
{
    tessaly::test::TempFolder folder;
    const std::string columns =
        "the columns are URL:Location, URL:Description, URL:Category, URL:Rating, URL:Keyword, "
        "URL:SiteInfo, URL:LastVisit, URL:LastValidated, URL:Validated, URL:MovedTo, "
        "URL:Comments, URL:UserName, URL:Password, URL:Expires, URL:PageSize, URL:EmailAddress, "
        "URL:OriginalFilename, URL:Custom1, URL:Custom2, URL:Custom3\n";
    const auto unknown =
        test::runProgram({"--data", folder.path(), "list", "--columns", "Location,Colour"});
    EXPECT_EQ(unknown.code, kExitUsage);
    EXPECT_EQ(unknown.out, "");
    EXPECT_TRUE(unknown.err.starts_with("tessaly-cli list: unknown column Colour; " + columns +
                                        "usage: list "))
        << unknown.err;
    const auto missing =
        test::runProgram({"--data", folder.path(), "list", "--columns", "Location,,Rating"});
    EXPECT_EQ(missing.code, kExitUsage);
    EXPECT_TRUE(missing.err.starts_with(
        "tessaly-cli list: a column name is missing in --columns; " + columns))
        << missing.err;
    EXPECT_EQ(test::runProgram({"--data", folder.path(), "list", "--columns", "URL:"}).code,
              kExitUsage);

    const auto chosen = test::runProgram(
        {"--data", folder.path(), "list", "--columns", "Category,Location", "--format", "csv"});
    EXPECT_EQ(chosen.code, kExitOk) << chosen.err;
    EXPECT_EQ(chosen.out, "URL:Category,URL:Location\n");
}

TEST_F(CommandsTest, KeywordAndDetailRowsOfOneOrEveryBookmark)
{
    ASSERT_EQ(run({"keywords"}), kExitOk);
    EXPECT_EQ(out, "UDK:Location\tUDK:Sequence\tUDK:Keyword\n");
    ASSERT_EQ(run({"details", "http://none/"}), kExitOk);
    EXPECT_EQ(out, "UDT:Location\tUDT:Sequence\tUDT:DataLabel\tUDT:DataValue\n");
}

TEST(CliProgram, AnUnusableDatabaseEndsWithAClearMessageAndIsLeftAlone)
{
    tessaly::test::TempFolder folder;
    const std::string junk = "not a database at all";
    folder.write("URLDATA.tps", junk);
    const std::string command =
        std::string{TESSALY_CLI_PATH} + " --data " + folder.path() + " list 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    std::array<char, 512> buffer{};
    while (std::fgets(buffer.data(), buffer.size(), pipe) != nullptr) {
        output += buffer.data();
    }
    const int status = ::pclose(pipe);
    EXPECT_EQ(WEXITSTATUS(status), kExitDatabase);
    EXPECT_TRUE(
        output.starts_with("File Access Error: File (Configuration [Configuration] in URLDATA.tps) "
                           "could not be opened.  Error: "))
        << output;
    EXPECT_EQ(folder.read("URLDATA.tps"), junk);
}

TEST_F(CommandsTest, ValidateTestsTheWebAddressesAndStoresTheResults)
{
    tessaly::test::LocalServer local;
    local.server.Get("/fine", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("<title>Fine</title>", "text/html");
    });
    ASSERT_EQ(run({"add", local.url("/fine"), "--category", "A"}), kExitOk);
    ASSERT_EQ(run({"add", local.url("/missing"), "--category", "B"}), kExitOk);
    ASSERT_EQ(run({"add", "ftp://files.example/"}), kExitOk);

    ASSERT_EQ(run({"validate", "--jobs", "2"}), kExitOk) << err;
    EXPECT_EQ(out, "pass\t200\t" + local.url("/fine") + "\nfail\t404\t" + local.url("/missing") +
                       "\nTested 2 of 3 bookmarks visited (3 in the file): 1 passed, 1 failed, "
                       "0 unknown\nSkipped 1: 1 not a web address (ftp, file, mailto and other "
                       "schemes).\n");

    ASSERT_EQ(run({"validate", "--query", "URL:Category = 'B'"}), kExitOk) << err;
    EXPECT_TRUE(out.starts_with("fail\t404\t")) << out;
    EXPECT_NE(out.find("Tested 1 of 1 bookmarks visited (3 in the file)"), std::string::npos);
}

TEST_F(CommandsTest, ValidateRefusesBadArguments)
{
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"validate", "--jobs", "0"},
          {"validate", "--jobs", "many"},
          {"validate", "--query", "URL:Nothing ="},
          {"validate", "extra"}}) {
        EXPECT_EQ(run(arguments), kExitUsage) << arguments[1];
        EXPECT_TRUE(err.starts_with("tessaly-cli validate: ")) << err;
    }
}

} // namespace
} // namespace tessaly::cli
