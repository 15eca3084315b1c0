#pragma once

#include "core/database.h"
#include "core/file_version.h"
#include "core/tables.h"
#include "export/export_file.h"
#include "framework/dates.h"
#include "framework/picture.h"

#include "scripted_ui.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <vector>

namespace tessaly::test {

// The elements an HTML parser sees in a page: "tag attr=value ..." per
// start tag, with the values decoded as a browser decodes them.
// With `namesOnly`, "tag name name ..." per start tag: the attributes a
// browser sees, whatever their values hold.
inline std::vector<std::string> parsedStartTags(const std::string& path, bool namesOnly = false)
{
    const std::string script =
        std::string{"import sys, html.parser\n"
                    "class P(html.parser.HTMLParser):\n"
                    "    def handle_starttag(self, tag, attrs):\n"} +
        (namesOnly ? "        print(tag + ''.join(' ' + k for k, v in attrs))\n"
                   : "        print(tag + ''.join(' %s=%s' % (k, v) for k, v in attrs))\n") +
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

// Whether `path` is the browsers' bookmark file rather than a page.
inline bool isBookmarkFile(const std::string& path)
{
    std::ifstream in(path);
    std::string first;
    std::getline(in, first);
    return first == "<!DOCTYPE NETSCAPE-Bookmark-file-1>";
}

// No page of `files` holds a script element, and the pages still link to
// the tests' script-bearing address "http://x/\"><script>alert(1)</script>",
// which leads where it led.
inline void expectSafeLinks(const std::vector<std::string>& files)
{
    bool link = false;
    for (const std::string& path : files) {
        for (const std::string& tag : parsedStartTags(path)) {
            EXPECT_FALSE(tag.starts_with("script")) << path << ": " << tag;
            if (tag.starts_with("a href=http://x/")) {
                // Pages percent-encode the address; the browsers' bookmark
                // file keeps it as stored, its quotes as references.
                const bool bookmarkFile = isBookmarkFile(path);
                EXPECT_TRUE(tag.starts_with(
                    bookmarkFile ? "a href=http://x/\"><script>alert(1)</script> "
                                 : "a href=http://x/%22%3E%3Cscript%3Ealert(1)%3C/script%3E"))
                    << tag;
                link = true;
            }
        }
    }
    EXPECT_TRUE(link);
}

// No page of `files` has an event attribute or a link that runs script:
// the tests' bookmarks "http://sq.example/' onmouseover='alert(12)' x='"
// and "javascript:alert(13)" stay links that lead nowhere harmful. The
// browsers' bookmark file may keep a bookmarklet: it is no page.
inline void expectNoScriptAttributes(const std::vector<std::string>& files)
{
    for (const std::string& path : files) {
        for (const std::string& names : parsedStartTags(path, true)) {
            EXPECT_EQ(names.find(" on"), std::string::npos) << path << ": " << names;
        }
        for (const std::string& tag : parsedStartTags(path)) {
            if (!isBookmarkFile(path)) {
                EXPECT_EQ(tag.find("href=javascript:"), std::string::npos) << path << ": " << tag;
            }
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

// While it stands, the process may have only `files` files open.
class OpenFileLimit final {
public:
    explicit OpenFileLimit(rlim_t files)
    {
        ::getrlimit(RLIMIT_NOFILE, &old_);
        rlimit few = old_;
        few.rlim_cur = files;
        ::setrlimit(RLIMIT_NOFILE, &few);
    }
    ~OpenFileLimit() { ::setrlimit(RLIMIT_NOFILE, &old_); }
    OpenFileLimit(const OpenFileLimit&) = delete;
    OpenFileLimit& operator=(const OpenFileLimit&) = delete;

private:
    rlimit old_{};
};

// A data folder with a bookmark file, an output folder and the exports
// between them, on a fixed day.
class ExportTest : public ::testing::Test {
protected:
    static constexpr std::int64_t kNow = 1700000000;

    void SetUp() override
    {
        FileVersionLayer::instance().registerDatabaseFiles();
        setShortDatePattern("MM/dd/yyyy");
    }

    void add(std::string_view location, std::string_view description, std::string_view category,
             std::int64_t rating = 0, std::string_view siteInfo = {})
    {
        Record r{bookmarkTable()};
        r.setText(BookmarkField::Location, location);
        r.setText(BookmarkField::Description, description);
        r.setText(BookmarkField::Category, category);
        r.setNumber(BookmarkField::Rating, rating);
        r.setText(BookmarkField::SiteInfo, siteInfo);
        ASSERT_EQ(db.addBookmarkWithCategory(r), 0) << location;
    }

    void addHtml(std::string_view category, std::string_view type, std::string_view html)
    {
        FileManager& file = db.catHtml();
        file.use();
        Record r{catHtmlTable()};
        r.setText(CatHtmlField::Category, category);
        r.setText(CatHtmlField::TypeOfHTML, type);
        r.setText(CatHtmlField::HTMLtoAdd, html);
        EXPECT_EQ(file.insert(r), 0);
        file.close();
    }

    // The keyword row numbered `sequence`, or the next number when 0.
    void addKeyword(std::string_view location, std::string_view keyword, int sequence = 0)
    {
        FileManager& file = db.keywords();
        file.use();
        Record r{keywordTable()};
        file.prime(r);
        r.setText(KeywordField::Location, location);
        r.setText(KeywordField::Keyword, keyword);
        if (sequence != 0) {
            // Straight to the record file: the file manager numbers rows itself.
            r.setNumber(KeywordField::Sequence, sequence);
            EXPECT_TRUE(file.file().add(r).ok());
        } else {
            EXPECT_EQ(file.insert(r), 0);
        }
        file.close();
    }

    ExportResult run(std::string type, std::string order, std::string name = "Links.htm")
    {
        settings.type = std::move(type);
        settings.order = std::move(order);
        settings.file = out.file(name);
        ExportContext context;
        context.today = dates::dayNumber(2026, 3, 9);
        context.now = kNow;
        context.bodyInFrame = bodyInFrame;
        context.query = query;
        return exportFile(db, ui, settings, context);
    }

    // The same while no file may grow past `bytes`: a write runs into the
    // limit as into a full disk. The database is open before the limit,
    // which only the files of the export meet.
    ExportResult runUnderLimit(std::string type, std::string order, rlim_t bytes)
    {
        db.bookmarks().use();
        db.catHtml().use();
        db.categories().use();
        ExportResult result;
        {
            const FileSizeLimit limit{bytes};
            result = run(std::move(type), std::move(order));
        }
        db.categories().close();
        db.catHtml().close();
        db.bookmarks().close();
        return result;
    }

    std::string read(const std::string& name) const { return out.read(name); }

    // Every file written, each under its name.
    std::string dump(const ExportResult& result) const
    {
        std::string text;
        for (const std::string& path : result.files) {
            const std::string name = path.substr(path.rfind('/') + 1);
            text += "==> " + name + " <==\n" + read(name);
        }
        return text;
    }

    // The lines of an output file.
    std::vector<std::string> lines(const std::string& name) const
    {
        std::vector<std::string> result;
        const std::string text = read(name);
        std::size_t pos = 0;
        while (pos < text.size()) {
            const std::size_t end = text.find('\n', pos);
            result.push_back(text.substr(pos, end - pos));
            pos = end == std::string::npos ? text.size() : end + 1;
        }
        return result;
    }

    std::vector<std::string> filesInOut() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(out.path())) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    TempFolder folder;
    TempFolder out;
    ScriptedUi ui;
    MessageManager messages{ui};
    Database db{messages, folder.path()};
    ExportSettings settings;
    bool bodyInFrame = false;
    std::optional<std::string> query;
};

} // namespace tessaly::test
