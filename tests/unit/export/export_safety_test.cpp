#include "export_test_support.h"

#include <csignal>
#include <cstdio>
#include <sys/resource.h>

namespace tessaly::test {
namespace {

// The elements an HTML parser sees in a page: "tag attr=value ..." per
// start tag, with the values decoded as a browser decodes them.
std::vector<std::string> parsedStartTags(const std::string& path)
{
    const std::string script =
        "import sys, html.parser\n"
        "class P(html.parser.HTMLParser):\n"
        "    def handle_starttag(self, tag, attrs):\n"
        "        print(tag + ''.join(' %s=%s' % (k, v) for k, v in attrs))\n"
        "p = P(); p.feed(open(sys.argv[1], encoding='utf-8').read()); p.close()\n";
    const std::string command = "python3 -c \"$TESSALY_PARSE\" '" + path + "'";
    ::setenv("TESSALY_PARSE", script.c_str(), 1);
    std::vector<std::string> tags;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return tags;
    }
    std::string line;
    for (int c = std::fgetc(pipe); c != EOF; c = std::fgetc(pipe)) {
        if (c == '\n') {
            tags.push_back(line);
            line.clear();
        } else {
            line += static_cast<char>(c);
        }
    }
    ::pclose(pipe);
    return tags;
}

TEST_F(ExportTest, NoBookmarkFieldCanPutScriptIntoAPage)
{
    if (std::system("python3 -c 'import html.parser' 2>/dev/null") != 0) {
        GTEST_SKIP() << "python3 is not installed";
    }
    const std::string address = "http://x/\"><script>alert(1)</script>";
    add(address, "<script>alert(2)</script>", "<script>alert(3)</script>", 2,
        "<script>alert(4)</script>");
    settings.pageTitle = "<script>alert(5)</script>";
    settings.rating = true;
    settings.siteInfo = true;
    for (const std::string type : {"Simple", "Table", "Frame", "Netscape"}) {
        for (const std::string order : {"CatDesc", "Location"}) {
            SCOPED_TRACE(type + " " + order);
            const ExportResult result = run(type, order);
            ASSERT_TRUE(result.done) << result.message;
            bool link = false;
            for (const std::string& path : result.files) {
                for (const std::string& tag : parsedStartTags(path)) {
                    EXPECT_FALSE(tag.starts_with("script")) << path << ": " << tag;
                    if (tag.starts_with("a href=http://x/")) {
                        // The address still leads where it led.
                        EXPECT_TRUE(tag.starts_with(
                            "a href=http://x/%22%3E%3Cscript%3Ealert(1)%3C/script%3E"))
                            << tag;
                        link = true;
                    }
                }
            }
            EXPECT_TRUE(link);
        }
    }
}

// While it stands, a file may grow to a few KB only: a write runs into the
// limit as into a full disk.
class FileSizeLimit final {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        handler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old_;
        small.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, handler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old_{};
    void (*handler_)(int) = nullptr;
};

TEST_F(ExportTest, AFailedWriteKeepsTheEarlierPageAndTellsWhy)
{
    for (int i = 0; i < 200; ++i) {
        add("https://example.org/" + std::to_string(i), "Bookmark number " + std::to_string(i),
            "Tools");
    }
    const std::string earlier = out.write("Links.htm", "<html>the page of yesterday</html>\n");
    // The database is open before the limit, which only the pages meet.
    db.bookmarks().use();
    db.catHtml().use();
    ExportResult result;
    {
        const FileSizeLimit limit{4096};
        result = run("Table", "Location");
    }
    db.catHtml().close();
    db.bookmarks().close();

    EXPECT_FALSE(result.done);
    EXPECT_EQ(result.message, "Error adding to " + earlier + ": File too large");
    EXPECT_EQ(ui.last().text, result.message);
    EXPECT_EQ(read("Links.htm"), "<html>the page of yesterday</html>\n");
    EXPECT_EQ(filesInOut(), std::vector<std::string>{"Links.htm"});
}

TEST_F(ExportTest, PagesFollowTheUsersUmaskNotTheProgramsPrivateOne)
{
    add("https://example.org/", "Example", "Tools");
    const mode_t before = ::umask(027);
    const ExportResult result = run("Table", "Location");
    ::umask(before);
    ASSERT_TRUE(result.done) << result.message;
    struct stat info {};
    ASSERT_EQ(::stat(out.file("Links.htm").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777U, 0640U);
}

TEST_F(ExportTest, AFolderThatIsNotThereIsToldAsAnOpeningError)
{
    add("https://example.org/", "Example", "Tools");
    const ExportResult result = run("CSV", "Location", "missing/out.csv");
    EXPECT_FALSE(result.done);
    EXPECT_EQ(result.message,
              "Error opening " + out.file("missing/out.csv") + ": No such file or directory");
}

} // namespace
} // namespace tessaly::test
