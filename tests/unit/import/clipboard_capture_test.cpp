#include "import/clipboard_capture.h"

#include "import_test_support.h"

#include <random>

namespace tessaly {
namespace {

using test::ImportTest;

std::vector<std::string> locations(const std::vector<CapturedBookmark>& found)
{
    std::vector<std::string> out;
    for (const CapturedBookmark& b : found) {
        out.push_back(b.location);
    }
    return out;
}

TEST(ClipboardCapture, PlainTextGivesEachAddressWithTheTextAfterIt)
{
    auto found = findCapturedBookmarks("see www.example.com now");
    ASSERT_EQ(found.size(), 1U);
    EXPECT_EQ(found[0].location, "http://www.example.com");
    EXPECT_EQ(found[0].keyword, "http");
    EXPECT_EQ(found[0].description, "now");
    EXPECT_EQ(found[0].category, "Clipboard");

    found = findCapturedBookmarks("http://a.example/x ftp://b.example/y");
    ASSERT_EQ(locations(found),
              (std::vector<std::string>{"http://a.example/x", "ftp://b.example/y"}));
    EXPECT_EQ(found[0].description, "ftp://b.example/y") << "the rest of the text after it";
    EXPECT_EQ(found[1].description, "") << "the default is given when stored";
    EXPECT_EQ(found[1].keyword, "ftp");

    found = findCapturedBookmarks("write to mailto:me@example.org, or telnet://old.example");
    ASSERT_EQ(locations(found),
              (std::vector<std::string>{"mailto:me@example.org", "telnet://old.example"}))
        << "the earliest address first, whatever its kind: none is passed over";
    EXPECT_EQ(
        locations(findCapturedBookmarks(
            "Visit https://secure.example/a today, www.plain.example and HTTP://UP.example/")),
        (std::vector<std::string>{"https://secure.example/a", "http://www.plain.example",
                                  "HTTP://UP.example/"}));
    EXPECT_EQ(locations(findCapturedBookmarks("a http://esc.example/\x1b[2J b\r\nnext "
                                              "http://line.example/\nend")),
              (std::vector<std::string>{"http://esc.example/", "http://line.example/"}))
        << "a control character or line break ends an address";
    EXPECT_TRUE(findCapturedBookmarks("www. and http:// and https://... alone").empty());
    EXPECT_EQ(locations(findCapturedBookmarks("write to mailto:me@example.org, soon")),
              std::vector<std::string>{"mailto:me@example.org"});
    EXPECT_EQ(findCapturedBookmarks("mailto:me@example.org x")[0].keyword, "mailto:");
    EXPECT_TRUE(findCapturedBookmarks("nothing to see here").empty());
}

TEST(ClipboardCapture, LinksGiveTheirTextAndHeadingsTheirCategory)
{
    const std::string copied =
        "<DT><H3 ADD_DATE=\"1700000000\">Daily News</H3>\n"
        "<DL><p><DT><A HREF=\"http://paper.example/\" ADD_DATE=\"1\">The Paper</A> read daily\n"
        "<DT><A HREF=\"http://second.example/\">Second</A><DD>x\n"
        "<a href=\"page.html\">Relative</a> <a href=\"news:comp.lang\">Group</a>\n"
        "<a href='http://single.example/'>Single</a> <a href=bare:x>Bare</a> href alone\n";
    const auto found = findCapturedBookmarks(copied);
    ASSERT_EQ(locations(found),
              (std::vector<std::string>{"http://paper.example/", "http://second.example/",
                                        "news:comp.lang", "http://single.example/", "bare:x"}));
    EXPECT_EQ(found[0].category, "Daily News");
    EXPECT_EQ(found[0].description, "The Paper");
    EXPECT_TRUE(found[0].siteInfo.starts_with("read daily\n<DT><A HREF=")) << found[0].siteInfo;
    EXPECT_EQ(found[1].category, "Clipboard") << "only the link after a heading takes it";
    EXPECT_EQ(found[1].siteInfo, "") << "text after the link that begins with a tag";
    EXPECT_EQ(found[2].keyword, "?");
    EXPECT_EQ(found[4].description, "Bare");
}

TEST(ClipboardCapture, AnyTextEndsAndGivesOnlySoundAddresses)
{
    const std::string pieces[] = {"href", "=\"",  "\"",      "'",    "<h",     "<H3 ADD", ">",
                                  "<",    "</a>", "http://", "www.", "ftp://", "mailto:", " ",
                                  ",",    "x",    "#",       ":",    "é",      "\xFF",    "\n"};
    std::mt19937 random{20261207};
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int length = static_cast<int>(random() % 120);
        for (int i = 0; i < length; ++i) {
            text += pieces[random() % std::size(pieces)];
        }
        for (const CapturedBookmark& b : findCapturedBookmarks(utf8::valid(text))) {
            ASSERT_NE(b.location.find(':'), std::string::npos) << text;
            ASSERT_FALSE(b.location.starts_with('#')) << text;
        }
    }
    // Addresses are looked for in the first 2,000 characters: one that
    // begins there is read to its end, the one after is not seen.
    const std::string longText =
        std::string(1990, 'x') + " http://seen.example/ http://after.example/";
    EXPECT_EQ(locations(findCapturedBookmarks(longText)),
              std::vector<std::string>{"http://seen.example/"});
}

TEST(ClipboardCapture, ALongAddressIsTakenWholeOrNotAtAll)
{
    std::string search = "https://search.example/?q=";
    while (search.size() < 8435) {
        search += "term+";
    }
    EXPECT_EQ(locations(findCapturedBookmarks("<a href=\"" + search + "\">Search</a>")),
              std::vector<std::string>{search});
    EXPECT_EQ(locations(findCapturedBookmarks("see " + search + " now")),
              std::vector<std::string>{search});
    // Longer than any address is kept: no piece of it is taken either.
    const std::string endless = "<a href=\"" + search + std::string(70000, 'z') + "\">x</a>";
    EXPECT_TRUE(findCapturedBookmarks(endless).empty());
    EXPECT_TRUE(findCapturedBookmarks(search + std::string(70000, 'z')).empty());
}

TEST_F(ImportTest, CapturedBookmarksAreStoredOnceWithTheirCategoriesMade)
{
    ClipboardCapture capture{db};
    const std::int32_t day = dates::dayNumber(2026, 12, 7);
    const std::int32_t time = dates::clockTime(15, 20);
    auto added = capture.capture(
        "<h2>Tools</h2><a href=\"http://tool.example/\">Tool</a> and http://plain.example/", day,
        time);
    EXPECT_EQ(added, (std::vector<std::string>{"http://tool.example/", "http://plain.example/"}));
    EXPECT_EQ(capture.status(), "Added 2:  http://plain.example/");
    EXPECT_EQ(stored("http://tool.example/").text(BookmarkField::Category), "Tools");
    EXPECT_EQ(stored("http://plain.example/").text(BookmarkField::Description),
              "Added from clipboard Dec 7, 2026 3:20 PM http://plain.example/");
    EXPECT_EQ(categories(), (std::vector<std::string>{"Clipboard", "Tools"}));

    // The same addresses again, in other letter case: nothing more.
    added = capture.capture("HTTP://PLAIN.EXAMPLE/ and http://Tool.example/", day, time);
    EXPECT_TRUE(added.empty());
    EXPECT_EQ(capture.added(), 2);
    EXPECT_TRUE(ui.shown.empty()) << "the capture never interrupts the user";
}

} // namespace
} // namespace tessaly
