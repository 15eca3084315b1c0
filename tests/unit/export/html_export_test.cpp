#include "export_test_support.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace tessaly::test {
namespace {

// Five bookmarks in three categories, two of which differ only in letter
// case, one without a category and one without a description; the user's
// own HTML around the page and two groups.
class HtmlExportTest : public ExportTest {
protected:
    void SetUp() override
    {
        ExportTest::SetUp();
        add("https://example.org/a", "Alpha site", "News", 3, "About <alpha> & more");
        add("https://example.org/b", "", "News");
        add("http://x.test/c", "Charlie", "news", 5);
        add("https://example.org/d", "Delta & Co", "Tools", 0, "Handy");
        add("https://example.org/e", "Echo", "", 1);
        addHtml("_Before All", "Top", "<p>Welcome</p>");
        addHtml("_After All", "Bottom", "<p>Bye</p>");
        addHtml("News", "Replace Title", "Latest <b>News</b>");
        addHtml("News", "Before Category", "<!-- before news -->");
        addHtml("Tools", "After Category", "<!-- after tools -->");
        settings.pageTitle = "My Links";
        settings.rating = true;
        settings.siteInfo = true;
    }
};

std::string goldenPath(const std::string& name)
{
    return std::string{TESSALY_EXPORT_GOLDEN} + "/" + name;
}

std::string readFile(const std::string& path)
{
    std::ifstream in{path, std::ios::binary};
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST_F(HtmlExportTest, EveryStyleAndOrderWritesItsGoldenPages)
{
    const bool update = std::getenv("TESSALY_UPDATE_GOLDEN") != nullptr;
    for (const std::string type : {"Simple", "Table", "Frame"}) {
        for (const std::string order :
             {"Location", "Description", "Keyword", "CatDesc", "CatLoc", "Rating"}) {
            SCOPED_TRACE(type + " " + order);
            const ExportResult result = run(type, order);
            ASSERT_TRUE(result.done) << result.message;
            const std::string golden = goldenPath(type + "_" + order + ".txt");
            if (update) {
                std::ofstream{golden, std::ios::binary} << dump(result);
            }
            EXPECT_EQ(dump(result), readFile(golden));
        }
    }
}

TEST_F(HtmlExportTest, GroupedPagesFollowTheCategoryRules)
{
    ASSERT_TRUE(run("Table", "CatDesc").done);
    const std::string page = read("Links.htm");
    // Blank categories come first and start no group.
    EXPECT_LT(page.find("https://example.org/e"), page.find("URL1"));
    // "News" and "news" are two groups; the replaced title is only the heading.
    EXPECT_NE(page.find("<h3><a name=\"URL1\">Latest <b>News</b></a></h3>"), std::string::npos);
    EXPECT_NE(page.find("<li><a href=\"#URL1\">News</a></li>"), std::string::npos);
    // The category key orders by character code: "news" comes last.
    EXPECT_NE(page.find("<h3><a name=\"URL3\">Latest <b>News</b></a></h3>"), std::string::npos);
    EXPECT_NE(page.find("<li><a href=\"#URL3\">news</a></li>"), std::string::npos);
    // "After Category" HTML follows its own group's table.
    EXPECT_NE(page.find("</ul></table></div>\n<!-- after tools -->\n<!-- before news -->"),
              std::string::npos);
    // A blank description shows the address; blank site information and
    // rating 0 have their own cells.
    EXPECT_NE(page.find(">https://example.org/b</a>"), std::string::npos);
    EXPECT_NE(page.find("<td>No Description</td>\n<td>No Rating</td></tr>"), std::string::npos);
    EXPECT_NE(page.find("<td>About &lt;alpha&gt; &amp; more</td>"), std::string::npos);
}

TEST_F(HtmlExportTest, ExportWithoutExtraFieldsEndsEachRow)
{
    settings.rating = false;
    settings.siteInfo = false;
    ASSERT_TRUE(run("Table", "Location").done);
    EXPECT_NE(read("Links.htm")
                  .find("<tr><td><li><a href=\"http://x.test/c\">Charlie</a></li></td>\n"
                        "</tr>\n"),
              std::string::npos);
    ASSERT_TRUE(run("Simple", "Location").done);
    EXPECT_EQ(read("Links.htm").find("Rating"), std::string::npos);
}

TEST_F(HtmlExportTest, FramePagesAreNamedAfterTheFileInLowerCase)
{
    const ExportResult result = run("Frame", "CatLoc", "MyLinks.HTML");
    ASSERT_TRUE(result.done);
    EXPECT_EQ(filesInOut(),
              (std::vector<std::string>{"MyLinks.HTML", "mylinks1.htm", "mylinks2.htm",
                                        "mylinksb.htm", "mylinksc.htm", "mylinksm.htm"}));
    // "_Before All" HTML stands in the contents page, not before the frames.
    EXPECT_EQ(lines("MyLinks.HTML")[2],
              "<frame src=\"mylinksm.htm\" name=\"main\" marginwidth=\"1\" marginheight=\"1\">"
              "</frameset>");
    // Category and location ignore letter case: "news" (http://x.test/c)
    // comes before "News".
    EXPECT_EQ(lines("mylinksc.htm")[3], "<tr><td><a href=\"mylinksm.htm\">news</a></td></tr>");
    EXPECT_EQ(lines("mylinksc.htm")[4], "<tr><td><a href=\"mylinks1.htm\">News</a></td></tr>");
    EXPECT_EQ(lines("mylinks2.htm").back(), "</ul></body></html>");

    bodyInFrame = true;
    ASSERT_TRUE(run("Frame", "CatLoc", "MyLinks.HTML").done);
    EXPECT_EQ(lines("mylinks1.htm").front(),
              "<html><head><meta charset=\"utf-8\"><title>News</title></head>");
    EXPECT_EQ(lines("mylinks1.htm").back(), "</ul></html>");
}

TEST_F(HtmlExportTest, EveryPageDeclaresItsCharsetFirst)
{
    add("https://example.org/f", "Caf\xC3\xA9 cr\xC3\xA8me", "Tools");
    for (const std::string type : {"Simple", "Table", "Frame"}) {
        for (const std::string order : {"Location", "CatDesc"}) {
            const ExportResult result = run(type, order);
            ASSERT_TRUE(result.done) << type << " " << order;
            for (const std::string& path : result.files) {
                const std::string page = read(path.substr(path.rfind('/') + 1));
                if (page.empty()) {
                    continue;
                }
                EXPECT_TRUE(page.starts_with("<html><head><meta charset=\"utf-8\">"))
                    << type << " " << order << " " << path << "\n"
                    << page.substr(0, 80);
            }
        }
    }
}

TEST_F(HtmlExportTest, FrameExportKeepsItsFramesWhenBeforeAllHoldsHtml)
{
    ASSERT_TRUE(run("Frame", "CatDesc").done);
    // What a browser meets before the frameset: only what a head may hold,
    // or it takes the page for a body and drops the frames.
    for (const std::string& tag : parsedStartTags(out.file("Links.htm"))) {
        if (tag.starts_with("frameset")) {
            break;
        }
        EXPECT_TRUE(tag == "html" || tag == "head" || tag.starts_with("meta") || tag == "title")
            << tag;
    }
    // The user's HTML is shown in the contents frame instead.
    EXPECT_NE(read("linksc.htm").find("<body>\n<p>Welcome</p>\n"), std::string::npos)
        << read("linksc.htm");
    ASSERT_TRUE(run("Frame", "Location").done);
    EXPECT_NE(read("linksc.htm").find("<p>Welcome</p>"), std::string::npos);
}

TEST_F(HtmlExportTest, FrameLinksLeadToTheirPagesWhateverTheFileIsCalled)
{
    for (const std::string name : {"My #1 ?100%.htm", "Links.htm"}) {
        for (const std::string order : {"CatLoc", "Location"}) {
            const ExportResult result = run("Frame", order, name);
            ASSERT_TRUE(result.done) << name;
            int links = 0;
            for (const std::string& path : result.files) {
                for (const std::string& tag : parsedStartTags(path)) {
                    const std::size_t at = tag.find(tag.starts_with("frame ") ? " src=" : " href=");
                    if (at == std::string::npos || tag.find("://") != std::string::npos ||
                        tag.find("=#") != std::string::npos) {
                        continue;
                    }
                    // The address as a browser reads it: up to a "#" or
                    // "?", then percent-decoded.
                    std::string target = tag.substr(tag.find('=', at) + 1);
                    target = target.substr(0, target.find(' '));
                    ASSERT_EQ(target.find_first_of("#? "), std::string::npos) << tag;
                    std::string decoded;
                    for (std::size_t i = 0; i < target.size(); ++i) {
                        if (target[i] == '%' && i + 2 < target.size()) {
                            decoded +=
                                static_cast<char>(std::stoi(target.substr(i + 1, 2), nullptr, 16));
                            i += 2;
                        } else {
                            decoded += target[i];
                        }
                    }
                    EXPECT_TRUE(std::filesystem::exists(out.file(decoded)))
                        << name << ": " << tag << " -> " << decoded;
                    ++links;
                }
            }
            EXPECT_GT(links, 3) << name;
        }
    }
}

// In every style and order a link to a place in the page finds that place,
// each list that is closed was opened, and every link has a text to click.
TEST_F(HtmlExportTest, EveryLinkInAPageLeadsSomewhereAndHasAText)
{
    settings.pageTitle.clear();
    for (const std::string type : {"Simple", "Table", "Frame"}) {
        for (const std::string order : {"CatDesc", "Location"}) {
            const ExportResult result = run(type, order);
            ASSERT_TRUE(result.done);
            for (const std::string& path : result.files) {
                const std::string page = readFile(path);
                const std::string where = type + " " + order + " " + path;
                for (std::size_t at = page.find("href=\"#"); at != std::string::npos;
                     at = page.find("href=\"#", at + 1)) {
                    const std::size_t end = page.find('"', at + 7);
                    const std::string name = page.substr(at + 7, end - at - 7);
                    EXPECT_NE(page.find("name=\"" + name + "\""), std::string::npos)
                        << where << ": #" << name;
                }
                const auto count = [&page](const std::string& tag) {
                    std::size_t n = 0;
                    for (std::size_t at = page.find(tag); at != std::string::npos;
                         at = page.find(tag, at + 1)) {
                        ++n;
                    }
                    return n;
                };
                EXPECT_EQ(count("<ul>"), count("</ul>")) << where;
                EXPECT_EQ(count("\"></a>"), 0U) << where << ": a link without a text";
                EXPECT_EQ(count("<body"), count("</body>")) << where;
                EXPECT_NE(page.find("</html>", page.size() - 9), std::string::npos) << where;
                EXPECT_EQ(count(" - </title>"), 0U) << where << ": a title without a title";
            }
        }
    }
}

TEST_F(HtmlExportTest, NamesKeepTheFolderAndCutAtHtm)
{
    EXPECT_EQ(exportNames("/Web/Links.html").base, "/Web/links");
    EXPECT_EQ(exportNames("/Web/Links.html").stem, "links");
    EXPECT_EQ(exportNames("/Web/Links.txt").base, "/Web/links.txt");
    EXPECT_EQ(exportNames("Links").stem, "links");
}

TEST_F(HtmlExportTest, BeforeAllReplaceTitleNamesEveryPage)
{
    addHtml("_Before All", "Replace Title", "Our Bookmarks");
    ASSERT_TRUE(run("Frame", "CatDesc").done);
    EXPECT_EQ(lines("Links.htm").front(),
              "<html><head><meta charset=\"utf-8\"><title>Our Bookmarks</title></head>");
    EXPECT_EQ(
        lines("links1.htm").front(),
        "<html><head><meta charset=\"utf-8\"><title>Our Bookmarks - Tools</title></head><body>");
    // Not a page line of its own.
    EXPECT_EQ(read("Links.htm").find("\nOur Bookmarks\n"), std::string::npos);
}

TEST_F(HtmlExportTest, SelectedCategoryIgnoresLetterCase)
{
    settings.assignment = "Selected";
    settings.category = "news";
    const ExportResult result = run("CSV", "Location", "out.csv");
    ASSERT_TRUE(result.done);
    EXPECT_EQ(lines("out.csv"),
              (std::vector<std::string>{"\"news\",\"http://x.test/c\",\"Charlie\",\"\",5\r",
                                        "\"News\",\"https://example.org/a\",\"Alpha site\","
                                        "\"About <alpha> & more\",3\r",
                                        "\"News\",\"https://example.org/b\",\"\",\"\",0\r"}));
    EXPECT_EQ(result.exported, 3);
}

TEST_F(HtmlExportTest, NothingPassingTheQueryLeavesAnEmptyPage)
{
    settings.assignment = "Query";
    query = "URL:Rating > 9";
    ASSERT_TRUE(run("Simple", "CatDesc").done);
    EXPECT_EQ(lines("Links.htm"),
              (std::vector<std::string>{
                  "<html><head><meta charset=\"utf-8\"><title>Tessaly 2000 - My "
                  "Links</title></head><body>",
                  "<p>Welcome</p>",
                  "<center><h3>My Links Generated by Tessaly 2000 on March 9, 2026</h3></center>",
                  "<h6><a href=\"#URLIndex\">Jump to Index</a></h6><hr>",
                  // An empty index, so that the link still leads somewhere.
                  "<hr>", "<p align=center><a name=\"URLIndex\">",
                  "<h2>Index</h2></a><ul></p><p align=left>", "</ul>", "<p>Bye</p>", "<br><hr>",
                  "<h5>Made with Tessaly 2000 2.4</h5>", "</body></html>"}));
    ASSERT_TRUE(run("Frame", "CatDesc").done);
    EXPECT_EQ(read("linksm.htm"), "");
    EXPECT_EQ(filesInOut(), (std::vector<std::string>{"Links.htm", "linksb.htm", "linksm.htm"}));

    query.reset(); // the query editor answers
    ui.queryAnswers.push_back("URL:Rating = 5");
    ASSERT_TRUE(run("CSV", "Location", "q.csv").done);
    EXPECT_EQ(lines("q.csv"),
              (std::vector<std::string>{"\"news\",\"http://x.test/c\",\"Charlie\",\"\",5\r"}));
}

TEST_F(HtmlExportTest, BadOrderAndBadQueryWriteNothing)
{
    EXPECT_FALSE(run("Table", "Category").done);
    EXPECT_EQ(ui.last().text, "Undefined export order.");
    settings.assignment = "Query";
    query = "URL:Rating >";
    EXPECT_FALSE(run("Table", "Location").done);
    EXPECT_TRUE(ui.last().text.starts_with("Invalid filter")) << ui.last().text;
    EXPECT_TRUE(filesInOut().empty());
}

TEST_F(HtmlExportTest, CancelStillClosesThePage)
{
    ui.cancelAfterFirstStep = true;
    const ExportResult result = run("Table", "CatDesc");
    ASSERT_TRUE(result.done);
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(result.exported, 1);
    EXPECT_EQ(lines("Links.htm").back(), "</body></html>");
    EXPECT_NE(std::find(ui.progressTexts.begin(), ui.progressTexts.end(), "Exporting"),
              ui.progressTexts.end());
}

TEST_F(HtmlExportTest, LongLinesAreWrittenWholeSoNoFieldCanCloseACutAttribute)
{
    add("https://example.org/long", "Long", "Tools", 0, std::string(1500, 'x') + "   ");
    // An address whose escaped form passes the old 1,024-character cut,
    // then site information that would close the attribute cut open.
    add("http://x/?" + std::string(245, '&'), "Amps", "Tools", 0,
        "\" onmouseover=\"alert(9)\" x=\"");
    settings.siteInfo = true;
    for (const char* style : {"Simple", "Table", "Frame"}) {
        ASSERT_TRUE(run(style, "Location").done) << style;
        const std::string page = std::string{style} == "Frame" ? "linksm.htm" : "Links.htm";
        EXPECT_NE(read(page).find(std::string(1500, 'x')), std::string::npos) << style;
        for (const std::string& tag : parsedStartTags(out.file(page))) {
            EXPECT_EQ(tag.find("onmouseover"), std::string::npos) << style << ": " << tag;
        }
    }
}

TEST_F(HtmlExportTest, FrameExportOfMoreCategoriesThanOpenFilesWritesEveryPage)
{
    // A page is closed once its category is done: a run may hold more
    // categories than the process may have files open.
    constexpr int kCategories = 150;
    for (int i = 0; i < kCategories; ++i) {
        add("https://example.org/many/" + std::to_string(i), "Site", "Cat" + std::to_string(i));
    }
    db.bookmarks().use();
    db.catHtml().use();
    db.categories().use();
    ExportResult result;
    {
        const OpenFileLimit limit{64};
        result = run("Frame", "CatDesc");
    }
    db.categories().close();
    db.catHtml().close();
    db.bookmarks().close();
    ASSERT_TRUE(result.done) << result.message;
    EXPECT_GT(result.files.size(), static_cast<std::size_t>(kCategories));
    EXPECT_NE(read("links" + std::to_string(kCategories) + ".htm").find("</html>"),
              std::string::npos);
    for (const auto& entry : std::filesystem::directory_iterator{out.path()}) {
        EXPECT_EQ(entry.path().filename().string().find(".part"), std::string::npos)
            << entry.path();
    }
}

} // namespace
} // namespace tessaly::test
