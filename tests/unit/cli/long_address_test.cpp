#include "cli_test_support.h"

#include "framework/html_text.h"

namespace tessaly::cli::test {
namespace {

// `head`, then `filler` over and over up to `length` characters in all.
std::string addressOf(std::string head, std::size_t length, std::string_view filler)
{
    while (head.size() < length) {
        head += filler.substr(0, std::min(filler.size(), length - head.size()));
    }
    return head;
}

class LongAddressTest : public CommandsTest {
protected:
    // The lines of `text` that hold `part`.
    static int linesWith(const std::string& text, const std::string& part)
    {
        int count = 0;
        for (std::size_t at = 0; (at = text.find(part, at)) != std::string::npos;
             at += part.size()) {
            ++count;
        }
        return count;
    }

    TempFolder sources;
    TempFolder pages;
};

// The long addresses of a real browser's export: a search with its many
// parameters and a bookmarklet, in a folder, with a tag.
TEST_F(LongAddressTest, ABrowsersLongAddressesImportAndExportWhole)
{
    const std::string search =
        addressOf("https://search.example/search?q=", 2030, "long+query&client=firefox-b-d&");
    const std::string bookmarklet =
        addressOf("javascript:(function(){var%20d=document;", 8435, "d.title+='x';");
    const std::string file =
        sources.write("bookmarks.html", "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n"
                                        "    <DT><H3>Tools</H3>\n    <DL><p>\n"
                                        "        <DT><A HREF=\"" +
                                            html::escapeAttribute(search) +
                                            "\" ADD_DATE=\"1700000000\">Search</A>\n"
                                            "        <DT><A HREF=\"" +
                                            html::escapeAttribute(bookmarklet) +
                                            "\" TAGS=\"js\">Mark</A>\n    </DL><p>\n</DL>\n");
    ASSERT_EQ(run({"import", "netscape", file}), kExitOk) << err;
    EXPECT_EQ(out, "Imported 2 bookmarks; 0 were stored already\n");
    ASSERT_EQ(run({"list", "--columns", "location,description", "--order", "location"}), kExitOk);
    EXPECT_NE(out.find('\n' + search + "\tSearch\n" + bookmarklet + "\tMark\n"), std::string::npos)
        << out.size();
    ASSERT_EQ(run({"keywords", "--", bookmarklet}), kExitOk) << err;
    EXPECT_EQ(linesWith(out, "\tjs"), 1) << out.size();

    ASSERT_EQ(run({"export", "netscape", pages.file("out.html")}), kExitOk) << err;
    const std::string exported = pages.read("out.html");
    EXPECT_EQ(linesWith(exported, "HREF=\"" + html::escapeAttribute(search) + "\""), 1);
    EXPECT_EQ(linesWith(exported, "HREF=\"" + html::escapeAttribute(bookmarklet) + "\""), 1);
    ASSERT_EQ(run({"export", "csv", pages.file("out.csv")}), kExitOk) << err;
    EXPECT_EQ(linesWith(pages.read("out.csv"), "\"Tools\",\"" + search + "\",\"Search\""), 1);
    ASSERT_EQ(run({"export", "ascii", pages.file("out.txt")}), kExitOk) << err;
    EXPECT_EQ(linesWith(pages.read("out.txt"), search + " Search"), 1)
        << "a long address widens its column and the line keeps it";

    // What went out comes back as the same two bookmarks.
    ASSERT_EQ(run({"import", "netscape", pages.file("out.html")}), kExitOk) << err;
    EXPECT_EQ(out, "Imported 0 bookmarks; 2 were stored already\n");
    ASSERT_EQ(run({"import", "csv", pages.file("out.csv")}), kExitOk) << err;
    EXPECT_EQ(out, "Imported 0 bookmarks; 2 were stored already\n");
}

TEST_F(LongAddressTest, AnImportKeepsAddressesApartByAllTheirCharactersAndRefusesTooLongOnes)
{
    const std::string common = addressOf("http://shared.example/", 280, "path/");
    const std::string tooLong = addressOf("http://huge.example/", 65537, "h");
    const std::string csv =
        sources.write("in.csv", "\"A\",\"" + common + "/one\",\"One\"\n\"A\",\"" + common +
                                    "/two\",\"Two\"\n" + "\"A\",\"" + tooLong + "\",\"Huge\"\n");
    ASSERT_EQ(run({"import", "csv", csv}), kExitOk) << err;
    EXPECT_TRUE(out.starts_with("Imported 2 bookmarks; 0 were stored already\n"
                                "1 skipped: 1 address longer than 65,536 characters.\n"))
        << out;
    EXPECT_EQ(err, "tessaly-cli import: warning: 1 bookmark was not stored: an address has at "
                   "most 65,536 characters\n");
    ASSERT_EQ(run({"list", "--columns", "location,description"}), kExitOk);
    EXPECT_NE(out.find('\n' + common + "/one\tOne\n"), std::string::npos);
    EXPECT_NE(out.find('\n' + common + "/two\tTwo\n"), std::string::npos);
    EXPECT_EQ(out.find("Huge"), std::string::npos) << "never stored cut";
}

} // namespace
} // namespace tessaly::cli::test
