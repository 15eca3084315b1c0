#include "cli_test_support.h"

#include <filesystem>

namespace tessaly::cli::test {
namespace {

// Every command takes every spelling of an order or a field that any command
// takes: a script moving from list to export or report design keeps its words.
class VocabularyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Each order puts the three bookmarks in another sequence.
        const std::string csv =
            sources.write("in.csv", "\"News\",\"http://c.example/\",\"Beta\",\"\",1\n"
                                    "\"Tools\",\"http://a.example/\",\"Gamma\",\"\",9\n"
                                    "\"Art\",\"http://b.example/\",\"Alpha\",\"\",4\n");
        ASSERT_EQ(cli({"import", "csv", csv, "--assign", "none"}).code, kExitOk);
    }

    ProgramRun cli(std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), {"--data", folder.path()});
        return runProgram(arguments);
    }

    TempFolder folder;
    TempFolder sources;
};

TEST_F(VocabularyTest, EveryCommandTakesEveryOrdersSpelling)
{
    const std::vector<std::vector<std::string>> spellings = {
        {"location", "Site Location", "URL:Location", "LOCATION"},
        {"description", "site description", "url:Description"},
        {"category", "catdesc", "CatDesc", "Category", "URL:Category"},
        {"catloc", "Category then Location", "CATLOC"},
        {"rating", "Rating", "URL:RATING"},
        {"keyword", "Keyword", "url:keyword"},
    };
    const std::string pdf = sources.file("r.pdf");
    for (const auto& words : spellings) {
        const ProgramRun listed = cli({"list", "--order", words[0], "--columns", "location"});
        const ProgramRun exported =
            cli({"export", "csv", sources.file("0.csv"), "--order", words[0]});
        ASSERT_EQ(listed.code, kExitOk) << listed.err;
        ASSERT_EQ(exported.code, kExitOk) << exported.err;
        const std::string firstExport = sources.read("0.csv");
        for (const std::string& word : words) {
            const ProgramRun list = cli({"list", "--order", word, "--columns", "location"});
            EXPECT_EQ(list.code, kExitOk) << word << ": " << list.err;
            EXPECT_EQ(list.out, listed.out) << word;
            const ProgramRun exporting =
                cli({"export", "csv", sources.file("w.csv"), "--order", word});
            EXPECT_EQ(exporting.code, kExitOk) << word << ": " << exporting.err;
            EXPECT_EQ(sources.read("w.csv"), firstExport) << word;
        }
        const ProgramRun report = cli(
            {"report", "design", "--columns", "Location", "--order", words.back(), "--pdf", pdf});
        EXPECT_EQ(report.code, kExitOk) << words.back() << ": " << report.err;
    }
    // What scripts used before keeps its meaning.
    EXPECT_EQ(cli({"list", "--order", "category", "--columns", "description"}).out,
              "URL:Description\nAlpha\nBeta\nGamma\n");
    EXPECT_EQ(cli({"list", "--order", "rating", "--columns", "description"}).out,
              "URL:Description\nGamma\nAlpha\nBeta\n");
}

TEST_F(VocabularyTest, EveryCommandTakesEveryFieldsSpellingAndSaysWhichItTakes)
{
    for (const std::string word : {"URL:PageSize", "pagesize", "Page Size", "PAGE SIZE"}) {
        const ProgramRun list = cli({"list", "--columns", word + ",last visit,url:siteinfo"});
        EXPECT_EQ(list.code, kExitOk) << word << ": " << list.err;
        EXPECT_TRUE(list.out.starts_with("URL:PageSize\tURL:LastVisit\tURL:SiteInfo\n"))
            << list.out;
        const ProgramRun report =
            cli({"report", "design", "--columns", word + ",URL:Location,lastvisit,Site Info",
                 "--order", "location", "--pdf", sources.file("p.pdf")});
        EXPECT_EQ(report.code, kExitOk) << word << ": " << report.err;
    }

    // A wrong word gets the usage with every spelling the command takes.
    const ProgramRun list = cli({"list", "--order", "colour"});
    const ProgramRun exporting = cli({"export", "csv", sources.file("x.csv"), "--order", "colour"});
    const ProgramRun report = cli({"report", "design", "--columns", "Colour", "--order", "location",
                                   "--pdf", sources.file("x.pdf")});
    for (const ProgramRun* run : {&list, &exporting, &report}) {
        EXPECT_EQ(run->code, kExitUsage);
        EXPECT_NE(run->err.find("category or catdesc, catloc (\"Category then Location\")"),
                  std::string::npos)
            << run->err;
    }
    for (const ProgramRun* run : {&list, &report}) {
        EXPECT_NE(run->err.find("PageSize (\"Page Size\")"), std::string::npos) << run->err;
    }
    EXPECT_FALSE(std::filesystem::exists(sources.file("x.pdf")));
}

} // namespace
} // namespace tessaly::cli::test
