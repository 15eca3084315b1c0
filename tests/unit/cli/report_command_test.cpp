#include "cli_test_support.h"
#include "pdf_text.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace tessaly::cli::test {
namespace {

class ReportCommandTest : public CommandsTest {
protected:
    void SetUp() override
    {
        CommandsTest::SetUp();
        const std::string csv =
            sources.write("in.csv", "\"News\",\"http://a.example/\",\"Alpha\",\"\",4\n"
                                    "\"Tools\",\"http://b.example/\",\"Beta\",\"\",1\n");
        ASSERT_EQ(run({"import", "csv", csv, "--assign", "none"}), kExitOk) << err;
    }

    std::string text(const std::string& pdf)
    {
        return tessaly::test::pdfText(pdf, pages.file("read.txt"));
    }

    TempFolder sources;
    TempFolder pages;
};

TEST_F(ReportCommandTest, WritesTheReportWhereTheCallerStands)
{
    ASSERT_EQ(::chdir(pages.path().c_str()), 0);
    ASSERT_EQ(run({"report", "urls by rating", "--pdf", "rating.pdf"}), kExitOk) << err;
    EXPECT_EQ(out, pages.file("rating.pdf") + "\n");
    const std::string rating = text(pages.file("rating.pdf"));
    EXPECT_NE(rating.find("URLs by Rating"), std::string::npos) << rating;
    EXPECT_LT(rating.find("Alpha"), rating.find("Beta")) << "the higher rating first";
    EXPECT_NE(rating.find("Records Printed: 2"), std::string::npos);
    EXPECT_NE(rating.find("Page 1 of 1"), std::string::npos);

    // The title's words may come apart; a query narrows the rows.
    ASSERT_EQ(run({"report", "URLs", "by", "Location", "--pdf", pages.file("q.pdf"), "--query",
                   "URL:Rating < 2", "--paper", "letter"}),
              kExitOk)
        << err;
    const std::string queried = text(pages.file("q.pdf"));
    EXPECT_EQ(queried.find("Alpha"), std::string::npos);
    EXPECT_NE(queried.find("Records Printed: 1"), std::string::npos);

    ASSERT_EQ(run({"report", "design", "--columns", "Description, Rating", "--order",
                   "site description", "--pdf", pages.file("d.pdf")}),
              kExitOk)
        << err;
    const std::string designed = text(pages.file("d.pdf"));
    EXPECT_NE(designed.find("Internet Locations (URLs)"), std::string::npos);
    EXPECT_EQ(designed.find("http://a.example/"), std::string::npos) << "only chosen columns";
}

TEST_F(ReportCommandTest, NothingToPrintWritesNoFile)
{
    EXPECT_EQ(run({"report", "Categories", "--pdf", pages.file("c.pdf"), "--query",
                   "CAT:Category = 'None'"}),
              kExitFailure);
    EXPECT_NE(err.find("Nothing to Print."), std::string::npos) << err;
    EXPECT_TRUE(std::filesystem::is_empty(pages.path()));
}

TEST_F(ReportCommandTest, BadArgumentsAndUnwritableFilesAreRefused)
{
    EXPECT_EQ(run({"report", "--pdf", "x.pdf"}), kExitUsage);
    EXPECT_EQ(run({"report", "URLs by Colour", "--pdf", "x.pdf"}), kExitUsage);
    EXPECT_NE(err.find("unknown report URLs by Colour"), std::string::npos) << err;
    EXPECT_EQ(run({"report", "Categories"}), kExitUsage);
    EXPECT_EQ(run({"report", "design", "--columns", "Location", "--pdf", "x.pdf"}), kExitUsage);
    EXPECT_EQ(run({"report", "design", "--columns", "Size", "--order", "Rating", "--pdf", "x"}),
              kExitUsage);
    EXPECT_EQ(run({"report", "Categories", "--order", "Rating", "--pdf", "x.pdf"}), kExitUsage);
    EXPECT_EQ(run({"report", "Categories", "--pdf", "x.pdf", "--query", "URL:Rating = 1"}),
              kExitUsage)
        << "a category report filters categories";
    EXPECT_EQ(run({"report", "Categories", "--pdf", "x.pdf", "--paper", "a3"}), kExitUsage);

    EXPECT_EQ(run({"report", "URLs by Keyword", "--pdf", pages.file("no/such/c.pdf")}),
              kExitFailure);
    EXPECT_NE(err.find("could not be written: No such file or directory"), std::string::npos)
        << err;
    EXPECT_TRUE(std::filesystem::is_empty(pages.path()));

    // A pipe (or a device) is not replaced by a regular file, and the
    // command does not say it wrote the report.
    const std::string pipe = pages.file("pipe");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(run({"report", "Categories", "--pdf", pipe}), kExitFailure);
    EXPECT_NE(err.find("not a regular file"), std::string::npos) << err;
    EXPECT_TRUE(std::filesystem::is_fifo(pipe));
}

TEST_F(ReportCommandTest, AReportWithPasswordsIsItsOwnersAlone)
{
    ASSERT_EQ(run({"add", "https://a.example/"}), kExitOk);
    const mode_t before = ::umask(022);
    const int withPasswords = run({"report", "design", "--columns", "Location,Password", "--order",
                                   "Site Location", "--pdf", pages.file("p.pdf")});
    const int without = run({"report", "URLs by Location", "--pdf", pages.file("l.pdf")});
    ::umask(before);
    ASSERT_EQ(withPasswords, kExitOk) << err;
    ASSERT_EQ(without, kExitOk) << err;
    struct stat info {};
    ASSERT_EQ(::stat(pages.file("p.pdf").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600U);
    ASSERT_EQ(::stat(pages.file("l.pdf").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644U);
}

} // namespace
} // namespace tessaly::cli::test
