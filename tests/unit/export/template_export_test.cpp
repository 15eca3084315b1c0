#include "export/default_templates.h"
#include "export/template_page.h"
#include "export/template_tokens.h"
#include "export_test_support.h"

#include <fstream>
#include <sstream>

namespace tessaly::test {
namespace {

// The pre-formatted export on a fixed database, with templates written into
// the data folder by each test (or the program's own defaults).
class TemplateExportTest : public ExportTest {
protected:
    void SetUp() override
    {
        ExportTest::SetUp();
        settings.preformatted = true;
        settings.pageTitle = "My Links";
    }

    void setTemplate(const std::string& name, const std::string& text) { folder.write(name, text); }

    void describeCategory(std::string_view category, std::string_view description)
    {
        FileManager& file = db.categories();
        ASSERT_EQ(file.use(), kLevelDone);
        Record r{categoryTable()};
        r.setText(CategoryField::Category, category);
        ASSERT_EQ(file.fetch(0, r), kLevelDone);
        r.setText(CategoryField::Description, description);
        EXPECT_EQ(file.update(r), kLevelDone);
        file.close();
    }

    std::vector<std::string> shownTexts() const
    {
        std::vector<std::string> texts;
        for (const MessageRequest& request : ui.shown) {
            texts.push_back(request.text);
        }
        return texts;
    }
};

TEST_F(TemplateExportTest, ATemplateWithoutMarkersIsThePageHeadAlone)
{
    add("https://example.org/a", "Alpha", "News");
    add("https://example.org/b", "Bravo", "Tools");
    setTemplate("Default_Table.htm", "<html><body>\n<p>(URL:Title) (URL:ExportType)</p>\r\n"
                                     "</body></html>\n");
    const ExportResult result = run("Table", "Location");
    ASSERT_TRUE(result.done) << result.message;
    EXPECT_EQ(read("Links.htm"),
              "<html><meta charset=\"utf-8\">\n<body><p>My Links Table</p>\n</body>\n</html>\n");
    EXPECT_EQ(shownTexts(),
              std::vector<std::string>{"No detail area defined in Default_Table.htm"});

    // An empty template: both notices, and the export still ends well.
    ui.shown.clear();
    setTemplate("Default_Simple_cat.htm", "");
    ASSERT_TRUE(run("Simple", "CatDesc").done);
    // Each category still ends with its mark.
    EXPECT_EQ(read("Links.htm"), "<!--URL:EndCat--><!--URL:EndCat-->\n");
    EXPECT_EQ(shownTexts(),
              (std::vector<std::string>{"No pre-formatted HTML in Default_Simple_cat.htm",
                                        "No detail area defined in Default_Simple_cat.htm"}));
}

TEST_F(TemplateExportTest, ASecondTokenInAnElementTakesTheLastBookmarkRead)
{
    add("https://example.org/a", "Alpha", "News", 3);
    add("https://example.org/b", "Bravo", "News");
    add("https://example.org/c", "Charlie", "Tools", 12);
    setTemplate("Default_Simple.htm", "<ul>\n<!--URL:BEGIN-->\n"
                                      "<li>(URL:Desc) then (url:desc) [(URL:Rating)]</li>\n"
                                      "<!--URL:END-->\n</ul>\n");
    ASSERT_TRUE(run("Simple", "Location").done);
    // Both marker elements stay in the flat order's sections.
    EXPECT_EQ(read("Links.htm"), "<ul><!--URL:BEGIN--><li>Alpha then Charlie [3]</li>\n"
                                 "<!--URL:BEGIN--><li>Bravo then Charlie []</li>\n"
                                 "<!--URL:BEGIN--><li>Charlie then Charlie [12]</li>\n"
                                 "<!--URL:END--></ul>\n");
}

TEST_F(TemplateExportTest, TableByCategoryWritesEachBlockAndTheContentsAsRows)
{
    add("https://example.org/a", "Alpha", "News & Views", 3);
    add("https://example.org/b", "Bravo", "Tools");
    add("https://example.org/c", "Charlie", "Tools");
    describeCategory("Tools", "Things that <work>");
    setTemplate("Default_Table_cat.htm",
                "<table><tr><td>(URL:TOC)</td></tr></table>\n"
                "<!--URL:BEGINCAT-->\n<h2>(URL:Bookmark)(URL:Cat): (URL:CatDesc)</h2><ul>\n"
                "<!--URL:BEGIN-->\n<li>(URL:Description)</li>\n<!--URL:END-->\n"
                "</ul><p>end (URL:Category)</p>\n<!--URL:ENDCAT-->\n<p>(URL:Order)</p>\n");
    ASSERT_TRUE(run("Table", "CatDesc").done);
    const std::string page = read("Links.htm");
    EXPECT_EQ(page,
              "<table><tr><td><a href=\"#News___Views\">News &amp; Views</a></td></TR>\n"
              "<TR><td><a href=\"#Tools\">Tools</a></td>\n</tr>\n</table>\n"
              "<!--URL:BEGINCAT--><h2><a id=\"News___Views\"></a>News &amp; Views:</h2>\n"
              "<ul><li><a href=\"https://example.org/a\">Alpha</a></li>\n"
              // The foot of a category sees its own group's last bookmark.
              "<!--URL:EndCat--></ul>\n<p>end News &amp; Views</p>\n"
              "<!--URL:BEGINCAT--><h2><a id=\"Tools\"></a>Tools: Things that &lt;work&gt;</h2>\n"
              "<ul><li><a href=\"https://example.org/b\">Bravo</a></li>\n"
              "<li><a href=\"https://example.org/c\">Charlie</a></li>\n"
              "<!--URL:EndCat--></ul>\n<p>end Tools</p>\n"
              "<!--URL:ENDCAT--><p>Category/Description</p>\n");
}

TEST_F(TemplateExportTest, ContentsRepeatTheTagsAroundTheToken)
{
    add("https://example.org/a", "Alpha", "A");
    add("https://example.org/b", "Bravo", "B");
    add("https://example.org/c", "Charlie", "");
    setTemplate("Default_Simple.htm", "<p><br>(URL:TOC)</p>\n<ul><li>(URL:TOC)</li></ul>\n"
                                      "<div>Go: (URL:TOC) now</div>\n");
    ASSERT_TRUE(run("Simple", "Location").done);
    // Blank categories have no entry outside the Frame type.
    EXPECT_EQ(read("Links.htm"),
              "<p><br><a href=\"#A\">A</a><br><a href=\"#B\">B</a></p>\n"
              "<ul><li><a href=\"#A\">A</a></li>\n<li><a href=\"#B\">B</a></li>\n</ul>\n"
              // Each element loses its trailing blanks, the text's too.
              "<div>Go:<a href=\"#A\">A</a><a href=\"#B\">B</a> now</div>\n");

    // No category at all: no token text is left on the page.
    setTemplate("Default_Table.htm", "<p>(URL:TOC)</p>\n");
    settings.assignment = "Selected";
    settings.category = "Nothing";
    ASSERT_TRUE(run("Table", "Location", "Empty.htm").done);
    EXPECT_EQ(read("Empty.htm"), "<p></p>\n");
}

TEST_F(TemplateExportTest, FrameByCategoryWritesAPagePerCategoryAndTheFrameFiles)
{
    add("https://example.org/a", "Alpha", "Apples");
    add("https://example.org/b", "Bravo", "Berries");
    add("https://example.org/c", "Charlie", "Cherries");
    const ExportResult result = run("Frame", "CatLoc", "MyLinks.html");
    ASSERT_TRUE(result.done) << result.message;
    EXPECT_EQ(filesInOut(), (std::vector<std::string>{
                                "MyLinks.html", "mylinks1.htm", "mylinks2.htm", "mylinks3.htm",
                                "mylinks_banner.htm", "mylinks_contents.htm"}));
    EXPECT_EQ(result.files.front(), out.file("MyLinks.html"));
    EXPECT_NE(read("mylinks2.htm").find("<a href=\"https://example.org/b\">Bravo</a>"),
              std::string::npos);
    EXPECT_EQ(read("mylinks2.htm").find("Alpha"), std::string::npos);
    const std::string contents = read("mylinks_contents.htm");
    for (const std::string entry :
         {"<a href=\"mylinks1.htm\">Apples</a><br>", "<a href=\"mylinks3.htm\">Cherries</a><br>"}) {
        EXPECT_NE(contents.find(entry), std::string::npos) << contents;
    }
    const std::string frameset = read("MyLinks.html");
    EXPECT_NE(frameset.find("src=\"mylinks1.htm\""), std::string::npos) << frameset;
    EXPECT_NE(frameset.find("src=\"mylinks_banner.htm\""), std::string::npos);
    EXPECT_NE(frameset.find("src=\"mylinks_contents.htm\""), std::string::npos);

    // The flat order's one page stands apart from the frameset, and its
    // contents lead to places on that page.
    setTemplate("Default_contents_Frame.htm", "<p>(URL:TOC)</p>\n");
    const ExportResult flat = run("Frame", "Location", "Flat.htm");
    ASSERT_TRUE(flat.done) << flat.message;
    EXPECT_NE(read("flatm.htm").find("Charlie"), std::string::npos);
    EXPECT_NE(read("Flat.htm").find("src=\"flatm.htm\""), std::string::npos);
    EXPECT_EQ(read("flat_contents.htm"),
              "<p><a href=\"flatm.htm#Apples\">Apples</a><br><a href=\"flatm.htm#Berries\">"
              "Berries</a><br><a href=\"flatm.htm#Cherries\">Cherries</a><br></p>\n");
}

TEST_F(TemplateExportTest, ContentsFollowTheCategoryOrderAndEachLeadsToItsOwnCategory)
{
    // Met in the order of the addresses; five pairs fold to one name.
    add("https://example.org/1", "One", "Zeta");
    add("https://example.org/2", "Two", "C+");
    add("https://example.org/3", "Three", "C#");
    add("https://example.org/4", "Four",
        "\xD0\xA0\xD1\x83\xD1\x81\xD1\x81\xD0\xBA\xD0\xB8\xD0\xB9");
    add("https://example.org/5", "Five",
        "\xD0\x9D\xD0\xBE\xD0\xB2\xD0\xBE\xD1\x81\xD1\x82\xD0\xB8");
    add("https://example.org/6", "Six", "alpha");
    setTemplate("Default_Simple.htm", "<ul><li>(URL:TOC)</li></ul>\n<!--URL:BEGIN-->\n"
                                      "<p>(URL:Bookmark)(URL:Desc)</p>\n<!--URL:END-->\n");
    ASSERT_TRUE(run("Simple", "Location").done);
    const std::string page = read("Links.htm");
    // Category order, and a name for each that no other has.
    EXPECT_EQ(page.substr(0, page.find("</ul>")),
              "<ul><li><a href=\"#alpha\">alpha</a></li>\n"
              "<li><a href=\"#C_2\">C#</a></li>\n"
              "<li><a href=\"#C_\">C+</a></li>\n"
              "<li><a href=\"#Zeta\">Zeta</a></li>\n"
              "<li><a href=\"#\xD0\x9D\xD0\xBE\xD0\xB2\xD0\xBE\xD1\x81\xD1\x82\xD0\xB8\">"
              "\xD0\x9D\xD0\xBE\xD0\xB2\xD0\xBE\xD1\x81\xD1\x82\xD0\xB8</a></li>\n"
              "<li><a href=\"#\xD0\xA0\xD1\x83\xD1\x81\xD1\x81\xD0\xBA\xD0\xB8\xD0\xB9\">"
              "\xD0\xA0\xD1\x83\xD1\x81\xD1\x81\xD0\xBA\xD0\xB8\xD0\xB9</a></li>\n")
        << page;
    // Each anchor stands at its own category's bookmark.
    EXPECT_NE(page.find("<a id=\"C_\"></a>Two"), std::string::npos) << page;
    EXPECT_NE(page.find("<a id=\"C_2\"></a>Three"), std::string::npos) << page;
    EXPECT_EQ(anchorName("News & Views"), "News___Views");
    EXPECT_EQ(anchorName("Caf\xC3\xA9 2\xC2\xA0go"), "Caf\xC3\xA9___go");
}

TEST_F(TemplateExportTest, PagesDeclareUtf8UnlessTheTemplateDoes)
{
    add("https://example.org/a", "Caf\xC3\xA9", "News");
    setTemplate("Default_Table.htm", "<!DOCTYPE html>\n<HTML><HEAD><title>(URL:Title)</title>"
                                     "</HEAD>\n<!--URL:BEGIN-->\n<p>(URL:Desc)</p>\n");
    ASSERT_TRUE(run("Table", "Location").done);
    EXPECT_TRUE(read("Links.htm")
                    .starts_with("<!DOCTYPE html><HTML><HEAD><meta charset=\"utf-8\">\n"
                                 "<title>My Links</title>"))
        << read("Links.htm");

    setTemplate("Default_Table.htm", "<html><head><meta http-equiv=\"Content-Type\" "
                                     "content=\"text/html; charset=windows-1252\"></head>\n");
    ASSERT_TRUE(run("Table", "Location").done);
    EXPECT_EQ(read("Links.htm").find("utf-8"), std::string::npos) << read("Links.htm");

    // A part of a page, for another page to take in, stays as it is.
    setTemplate("Default_Table.htm", "<!--URL:BEGIN-->\n<li>(URL:Desc)</li>\n");
    ASSERT_TRUE(run("Table", "Location").done);
    EXPECT_EQ(read("Links.htm"), "<!--URL:BEGIN--><li>Caf\xC3\xA9</li>\n");

    // Every page of the Frame type, the program's own templates included.
    const ExportResult frames = run("Frame", "CatDesc", "Frames.htm");
    ASSERT_TRUE(frames.done) << frames.message;
    for (const std::string& path : frames.files) {
        const std::string text = read(path.substr(path.rfind('/') + 1));
        const std::size_t head = text.find("<head>");
        ASSERT_NE(head, std::string::npos) << path;
        EXPECT_NE(text.find("charset=\"utf-8\""), std::string::npos) << path;
    }
}

TEST_F(TemplateExportTest, CategoryFootAndPageFootOfAFramePageSeeTheirOwnGroup)
{
    add("https://example.org/a", "Alpha", "News");
    add("https://example.org/b", "Bravo", "Other Bookmarks");
    setTemplate("Default_Frame_cat.htm",
                "<html><head><title>(URL:Category)</title></head>\n<!--URL:BEGINCAT-->\n"
                "<h2>(URL:Category)</h2>\n<!--URL:BEGIN-->\n<p>(URL:Desc)</p>\n<!--URL:END-->\n"
                "<p>END OF (URL:Category)</p>\n<!--URL:ENDCAT-->\n<p>foot (URL:Category)</p>\n"
                "</html>\n");
    ASSERT_TRUE(run("Frame", "CatDesc", "f.htm").done);
    const std::string news = read("f1.htm");
    EXPECT_NE(news.find("<title>News</title>"), std::string::npos) << news;
    EXPECT_NE(news.find("<p>END OF News</p>"), std::string::npos) << news;
    EXPECT_NE(news.find("<p>foot News</p>"), std::string::npos) << news;
    EXPECT_EQ(news.find("Other"), std::string::npos) << news;
    EXPECT_NE(read("f2.htm").find("<title>Other Bookmarks</title>"), std::string::npos);
    EXPECT_NE(read("f2.htm").find("<p>END OF Other Bookmarks</p>"), std::string::npos);
}

TEST_F(TemplateExportTest, FrameLinksEncodeTheFileName)
{
    add("https://example.org/a", "Alpha", "Apples");
    ASSERT_TRUE(run("Frame", "CatLoc", "My #1.htm").done);
    const std::string frameset = read("My #1.htm");
    EXPECT_NE(frameset.find("src=\"my%20%231_contents.htm\""), std::string::npos) << frameset;
    EXPECT_NE(frameset.find("src=\"my%20%2311.htm\""), std::string::npos) << frameset;
    EXPECT_NE(read("my #1_contents.htm").find("<a href=\"my%20%2311.htm\">Apples</a>"),
              std::string::npos)
        << read("my #1_contents.htm");
}

TEST_F(TemplateExportTest, CancelEndsTheReadingButNotThePage)
{
    for (int i = 0; i < 300; ++i) {
        add("https://example.org/" + std::to_string(1000 + i), "Bookmark", "Tools");
    }
    setTemplate("Default_Table.htm", "<ul>\n<!--URL:BEGIN-->\n<li>(URL:URL)</li>\n"
                                     "<!--URL:END-->\n</ul>\n");
    ui.cancelAfterFirstStep = true;
    const ExportResult result = run("Table", "Location");
    ASSERT_TRUE(result.done) << result.message;
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(read("Links.htm"), "<ul><!--URL:BEGIN--><li>https://example.org/1000</li>\n"
                                 "<!--URL:END--></ul>\n");
    EXPECT_EQ(ui.progressTexts, (std::vector<std::string>{"Processing Records", "Exporting",
                                                          "Reading default HTML", "Exporting"}));
}

TEST_F(TemplateExportTest, LinesAreJoinedAndBrokenAsPagesNeedThem)
{
    const auto lines = [](const std::vector<std::string>& texts) {
        PageElements elements;
        for (const std::string& text : texts) {
            elements.push_back({text, {}});
        }
        std::vector<std::string> joined;
        joinLines(elements, [&joined](std::string_view line) { joined.emplace_back(line); });
        return joined;
    };
    const std::string a600(600, 'a');
    const std::string b500(500, 'b');
    const std::string c524(524, 'c');
    EXPECT_EQ(lines({"<p>", "x   ", "<b>", "</b>", "<FONT size=2>", "y", "<meta x>", "   "}),
              (std::vector<std::string>{"<p>x<b></b>", "<FONT size=2>", "y<meta x>"}));
    // Past 512 characters a line ends before the next element; an element
    // that would bring it to 1024 starts a line of its own.
    EXPECT_EQ(lines({"<p>", a600, "z"}), (std::vector<std::string>{"<p>" + a600, "z"}));
    EXPECT_EQ(lines({b500, c524}), (std::vector<std::string>{b500, c524}));
    EXPECT_EQ(lines({b500, c524.substr(1)}), (std::vector<std::string>{b500 + c524.substr(1)}));
    // Characters, not bytes, are counted.
    const std::string e300 = [] {
        std::string s;
        for (int i = 0; i < 300; ++i) {
            s += "\xC3\xA9";
        }
        return s;
    }();
    EXPECT_EQ(lines({e300, e300}).size(), 1U);
}

TEST_F(TemplateExportTest, TokensReadNoTokensFromTheBookmarksValues)
{
    Record r{bookmarkTable()};
    r.setText(BookmarkField::Location, "https://example.org/(URL:Password)");
    r.setText(BookmarkField::Description, "(URL:Password) <b>");
    r.setText(BookmarkField::Category, "News");
    r.setText(BookmarkField::Password, "secret");
    r.setText(BookmarkField::EmailAddress, "MailTo:me@example.org");
    r.setNumber(BookmarkField::Validated, 2);
    ASSERT_EQ(db.addBookmarkWithCategory(r), 0);
    setTemplate("Default_Table.htm",
                "<!--URL:BEGIN-->\n<p>(URL:Desc)|(URL:URL)|(URL:EmailAddress)|(URL:Validated)"
                "|(URL:Bookmark)</p>\n");
    ASSERT_TRUE(run("Table", "Location").done);
    EXPECT_EQ(read("Links.htm"),
              "<!--URL:BEGIN--><p>(URL:Password) &lt;b&gt;|https://example.org/(URL:Password)|"
              "<a href=\"MailTo:me@example.org\">MailTo:me@example.org</a>|Failed|"
              "<a id=\"News\"></a></p>\n");
}

TEST_F(TemplateExportTest, NoBookmarkFieldCanPutScriptIntoATemplatePage)
{
    if (std::system("python3 -c 'import html.parser' 2>/dev/null") != 0) {
        GTEST_SKIP() << "python3 is not installed";
    }
    const std::string address = "http://x/\"><script>alert(1)</script>";
    Record r{bookmarkTable()};
    r.setText(BookmarkField::Location, address);
    r.setText(BookmarkField::Description, "<script>alert(2)</script>");
    r.setText(BookmarkField::Category, "<script>alert(3)</script>");
    r.setText(BookmarkField::SiteInfo, "<script>alert(4)</script>");
    r.setText(BookmarkField::EmailAddress, "\"><script>alert(6)</script>");
    ASSERT_EQ(db.addBookmarkWithCategory(r), 0);
    for (const char* hostile :
         {"http://sq.example/' onmouseover='alert(12)' x='", "javascript:alert(13)"}) {
        Record quoted{bookmarkTable()};
        quoted.setText(BookmarkField::Location, hostile);
        quoted.setText(BookmarkField::Description, "' onmouseover='alert(12)' x='");
        quoted.setText(BookmarkField::SiteInfo, "x onmouseover=alert(14)");
        quoted.setText(BookmarkField::Category, "Quotes");
        ASSERT_EQ(db.addBookmarkWithCategory(quoted), 0);
    }
    settings.pageTitle = "<script>alert(5)</script>";
    settings.metaKeywords = "\"><script>alert(7)</script>";
    // The defaults, and a template that puts every text token in an
    // attribute as well as between tags.
    std::string every = "<!--URL:Meta:Keywords--><!--URL:BEGIN-->\n";
    for (const std::string token :
         {"SiteInfo", "Location", "URL", "Description", "Desc", "Category", "Keyword", "Comments",
          "Custom1", "CatDesc", "Title", "EmailAddress", "Bookmark"}) {
        every += "<p title=\"(URL:" + token + ")\">(URL:" + token + ")</p>\n";
        every += "<p title='(URL:" + token + ")'>x</p>\n";
        every += "<p title=(URL:" + token + ")>x</p>\n";
    }
    every += "<a href='(URL:URL)'>x</a>\n";
    for (const std::string type : {"Simple", "Table", "Frame"}) {
        for (const std::string order : {"CatDesc", "Location"}) {
            SCOPED_TRACE(type + " " + order);
            settings.templateFile.clear();
            for (int chosen = 0; chosen < 2; ++chosen) {
                const ExportResult result = run(type, order);
                ASSERT_TRUE(result.done) << result.message;
                expectSafeLinks(result.files);
                expectNoScriptAttributes(result.files);
                settings.templateFile = folder.write("every.htm", every);
            }
        }
    }
}

TEST_F(TemplateExportTest, DefaultTemplatesAreCopiedOnceAndTheUsersEditsKept)
{
    add("https://example.org/a", "Alpha", "News");
    ASSERT_TRUE(run("Table", "CatDesc").done);
    for (const DefaultTemplate& entry : defaultTemplates()) {
        EXPECT_EQ(folder.read(std::string{entry.name}), entry.text) << entry.name;
    }
    EXPECT_EQ(defaultTemplates().size(), 12U);
    EXPECT_NE(read("Links.htm").find("<meta charset=\"utf-8\">"), std::string::npos);

    setTemplate("Default_Table_cat.htm", "<!--URL:BEGIN-->\n<p>mine: (URL:Desc)</p>\n");
    ASSERT_TRUE(run("Table", "CatDesc").done);
    EXPECT_EQ(folder.read("Default_Table_cat.htm"), "<!--URL:BEGIN-->\n<p>mine: (URL:Desc)</p>\n");
    EXPECT_EQ(read("Links.htm"), "<p>mine: Alpha</p>\n<!--URL:EndCat-->\n");
}

TEST_F(TemplateExportTest, AFailedCopyIsToldAndLeavesNoHalfTemplate)
{
    add("https://example.org/a", "Alpha", "News");
    const std::string earlier = out.write("Links.htm", "yesterday\n");
    const ExportResult result = runUnderLimit("Simple", "Location", 1000);
    ASSERT_FALSE(ui.shown.empty());
    EXPECT_TRUE(ui.shown.front().text.starts_with("Cannot copy the template "))
        << ui.shown.front().text;
    EXPECT_NE(ui.shown.front().text.find(": File too large"), std::string::npos);
    // Templates in the folder are whole; nothing half-written is left.
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("Default_")) {
            EXPECT_EQ(folder.read(name), defaultTemplate(name).value_or("?")) << name;
        }
    }
    // The pages fail on the same limit, and yesterday's page stands.
    EXPECT_FALSE(result.done);
    EXPECT_EQ(result.message, "Error adding to " + earlier + ": File too large");
    EXPECT_EQ(read("Links.htm"), "yesterday\n");
}

TEST_F(TemplateExportTest, AChosenTemplateMustBeThereAndOfSaneSize)
{
    add("https://example.org/a", "Alpha", "News");
    const std::string earlier = out.write("Links.htm", "yesterday\n");
    settings.templateFile = folder.file("missing.htm");
    EXPECT_FALSE(run("Table", "Location").done);
    EXPECT_EQ(ui.last().text, "Cannot read the template " + folder.file("missing.htm") +
                                  ": No such file or directory");

    settings.templateFile = folder.path();
    EXPECT_FALSE(run("Table", "Location").done);
    EXPECT_EQ(ui.last().text, "Cannot read the template " + folder.path() + ": Is a directory");

    {
        std::ofstream huge{folder.file("huge.htm"), std::ios::binary};
        huge << "<!--URL:BEGIN-->" << std::string((std::size_t{16} << 20U) + 1, '\xFF');
    }
    settings.templateFile = "huge.htm"; // relative names are in the data folder
    EXPECT_FALSE(run("Table", "Location").done);
    EXPECT_EQ(ui.last().text, "Cannot read the template huge.htm: it is larger than 16 MB");
    EXPECT_EQ(read("Links.htm"), "yesterday\n");
    EXPECT_EQ(filesInOut(), std::vector<std::string>{"Links.htm"});

    folder.write("mine.htm", "<!--URL:BEGIN-->\n<p>(URL:Desc)</p>\n");
    settings.templateFile = "mine.htm";
    ASSERT_TRUE(run("Table", "Location").done);
    EXPECT_EQ(read("Links.htm"), "<!--URL:BEGIN--><p>Alpha</p>\n");
}

TEST_F(TemplateExportTest, TheDefaultTemplatesWriteTheirGoldenPages)
{
    add("https://example.org/a", "Alpha site", "News & Views", 3, "About <alpha> & more");
    add("https://example.org/b", "", "News & Views");
    add("https://example.org/d", "Delta", "Tools", 0, "Handy");
    add("https://example.org/e", "Echo", "", 1);
    describeCategory("Tools", "Things that work");
    settings.metaKeywords = "links, tools";
    const bool update = std::getenv("TESSALY_UPDATE_GOLDEN") != nullptr;
    for (const std::string type : {"Simple", "Table", "Frame"}) {
        for (const std::string order : {"Location", "CatDesc"}) {
            SCOPED_TRACE(type + " " + order);
            const ExportResult result = run(type, order);
            ASSERT_TRUE(result.done) << result.message;
            const std::string golden =
                std::string{TESSALY_EXPORT_GOLDEN} + "/Template_" + type + "_" + order + ".txt";
            if (update) {
                std::ofstream{golden, std::ios::binary} << dump(result);
            }
            std::ifstream in{golden, std::ios::binary};
            std::stringstream expected;
            expected << in.rdbuf();
            EXPECT_EQ(dump(result), expected.str());
        }
    }
}

TEST_F(TemplateExportTest, FramePagesAreWrittenAsTheyComeNotHeldToTheEnd)
{
    // A page is closed once its category is done: a run may hold more
    // categories than the process may have files open.
    constexpr int kCategories = 150;
    for (int i = 0; i < kCategories; ++i) {
        add("https://example.org/many/" + std::to_string(i), "Site", "Cat" + std::to_string(i));
    }
    setTemplate("Default_contents_Frame_cat.htm", "<p>(URL:TOC)</p>\n");
    db.bookmarks().use();
    db.catHtml().use();
    db.categories().use();
    ExportResult result;
    {
        const OpenFileLimit limit{64};
        result = run("Frame", "CatDesc", "f.htm");
    }
    db.categories().close();
    db.catHtml().close();
    db.bookmarks().close();
    ASSERT_TRUE(result.done) << result.message;
    EXPECT_NE(read("f" + std::to_string(kCategories) + ".htm").find("many/99"), std::string::npos);
    // The contents, known before the first page, list every category.
    EXPECT_NE(read("f_contents.htm").find("<a href=\"f150.htm\">Cat99</a>"), std::string::npos);
}

} // namespace
} // namespace tessaly::test
