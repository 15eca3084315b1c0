#include "cli_test_support.h"
#include "field_escape.h"
#include "output_buffer.h"

#include <algorithm>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/mount.h>

namespace tessaly::cli {
namespace {

using test::CommandsTest;

// Text as pages and imports bring it: every kind of line break, a terminal
// colour sequence, DEL, C1 controls, a backslash, a stray byte.
const std::string kHostile = "a\tb\nc\rd\\e\x1b[31mf\x7fg\u0085h\u009bi\x01j\xffk, \"q\"";

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts{""};
    for (const char c : text) {
        if (c == separator) {
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    return parts;
}

// Reads RFC 4180 records: quoted fields may hold separators, line breaks and
// doubled quotes.
std::vector<std::vector<std::string>> readCsv(const std::string& text)
{
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row{""};
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                row.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                row.back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            row.emplace_back();
        } else if (c == '\n') {
            rows.push_back(row);
            row = {""};
        } else {
            row.back() += c;
        }
    }
    return rows;
}

bool hasRawControl(const std::string& text, std::string_view allowed)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const bool c0 = byte < 0x20 || byte == 0x7F;
        const bool c1 = byte == 0xC2 && i + 1 < text.size() &&
                        static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(text[i + 1]) <= 0x9F;
        if ((c0 && allowed.find(text[i]) == std::string_view::npos) || c1) {
            return true;
        }
    }
    return false;
}

class OutputFormatTest : public CommandsTest {
protected:
    void SetUp() override
    {
        CommandsTest::SetUp();
        Record bookmark{bookmarkTable()};
        bookmark.setText(BookmarkField::Location, "http://hostile.example/");
        for (const auto field : {BookmarkField::Description, BookmarkField::SiteInfo,
                                 BookmarkField::Comments, BookmarkField::Custom3}) {
            bookmark.setText(field, kHostile);
        }
        store(bookmark);
        Record keyword{keywordTable()};
        keyword.setText(KeywordField::Location, "http://hostile.example/");
        keyword.setText(KeywordField::Keyword, "k\tw\n\x1b");
        store(keyword);
        Record detail{detailTable()};
        detail.setText(DetailField::Location, "http://hostile.example/");
        detail.setText(DetailField::DataLabel, "l\ta\rb");
        detail.setText(DetailField::DataValue, kHostile);
        store(detail);
    }
};

TEST_F(OutputFormatTest, TsvRowsHaveEveryFieldOnOneLineWhateverTheTextHolds)
{
    const std::string escaped =
        "a\\tb\\nc\\rd\\\\e\\x1b[31mf\\x7fg\\x85h\\x9bi\\x01j\u00ffk, \"q\"";
    ASSERT_EQ(run({"list"}), kExitOk) << err;
    EXPECT_FALSE(hasRawControl(out, "\t\n"));
    std::vector<std::string> lines = split(out, '\n');
    ASSERT_EQ(lines.size(), 3U) << out; // header, row, the empty rest
    EXPECT_EQ(lines[2], "");
    for (const std::size_t row : {0U, 1U}) {
        EXPECT_EQ(split(lines[row], '\t').size(), 20U) << lines[row];
    }
    const std::vector<std::string> fields = split(lines[1], '\t');
    EXPECT_EQ(fields[1], escaped);
    EXPECT_EQ(fields[19], escaped);

    for (const std::string command : {"keywords", "details"}) {
        ASSERT_EQ(run({command}), kExitOk) << err;
        EXPECT_FALSE(hasRawControl(out, "\t\n")) << command;
        lines = split(out, '\n');
        ASSERT_EQ(lines.size(), 3U) << out;
        EXPECT_EQ(split(lines[1], '\t').size(), split(lines[0], '\t').size()) << lines[1];
    }
    EXPECT_EQ(split(lines[1], '\t')[2], "l\\ta\\rb");
    EXPECT_EQ(split(lines[1], '\t')[3], escaped);
}

TEST_F(OutputFormatTest, CsvQuotesLineBreaksAndEscapesOtherControls)
{
    ASSERT_EQ(run({"list", "--format", "csv"}), kExitOk) << err;
    EXPECT_FALSE(hasRawControl(out, "\t\n\r"));
    const auto rows = readCsv(out);
    ASSERT_EQ(rows.size(), 2U) << out;
    ASSERT_EQ(rows[1].size(), 20U);
    EXPECT_EQ(rows[1][0], "http://hostile.example/");
    EXPECT_EQ(rows[1][1], "a\tb\nc\rd\\e\\x1b[31mf\\x7fg\\x85h\\x9bi\\x01j\u00ffk, \"q\"");
}

TEST_F(CommandsTest, QueriesReadStrayBytesAsStoredTextAndErrorsShowNoControls)
{
    ASSERT_EQ(run({"add", "http://caf\xE9/", "--description", "Caf\xE9 bar"}), kExitOk) << err;
    ASSERT_EQ(run({"list", "--query", "URL:Description = 'Caf\xE9 bar'"}), kExitOk) << err;
    EXPECT_NE(out.find("http://café/"), std::string::npos) << out;
    ASSERT_EQ(run({"keywords", "http://caf\xE9/"}), kExitOk) << err;

    EXPECT_EQ(run({"list", "--query", "\x1b[31m"}), kExitUsage);
    EXPECT_EQ(err.find('\x1b'), std::string::npos) << err;
    EXPECT_NE(err.find("\\x1b"), std::string::npos) << err;
    EXPECT_EQ(run({"list", "--query", "\xE9"}), kExitUsage);
    EXPECT_NE(err.find("é"), std::string::npos) << err;
}

TEST(FieldEscape, MessagesKeepLineBreaksButNoOtherControl)
{
    EXPECT_EQ(messageText("one\ntwo\tthree\x1b]0;title\x07"), "one\ntwo\\tthree\\x1b]0;title\\x07");
    // Letters beyond ASCII and U+FFFD itself are text, not escapes.
    EXPECT_EQ(tsvField("café \ufffd"), "café \ufffd");
    EXPECT_EQ(tsvField("caf\xE9 \x85"), "café …") << "stray bytes read as Windows-1252";
    EXPECT_EQ(csvField("plain"), "plain");
}

} // namespace
} // namespace tessaly::cli

namespace tessaly::cli {
namespace {

using test::CommandsTest;
using test::ProgramSetup;
using test::runProgram;
using test::TempFolder;

constexpr std::string_view kNoSpace =
    "tessaly-cli: the output could not be written: No space left on device\n";

class UnwritableOutputTest : public CommandsTest {
protected:
    void addBookmarks(int count)
    {
        for (int i = 0; i < count; ++i) {
            Record bookmark{bookmarkTable()};
            bookmark.setText(BookmarkField::Location, "http://site" + std::to_string(i) + "/");
            bookmark.setText(BookmarkField::Description, std::string(200, 'd'));
            store(bookmark);
        }
    }
};

TEST_F(UnwritableOutputTest, AFullDeviceFailsEveryCommandThatPrints)
{
    addBookmarks(1);
    for (const std::vector<std::string>& arguments : {std::vector<std::string>{"list"},
                                                      {"list", "--format", "csv"},
                                                      {"keywords"},
                                                      {"version"},
                                                      {"--help"}}) {
        const int fd = ::open("/dev/full", O_WRONLY);
        ASSERT_GE(fd, 0);
        OutputBuffer buffer{fd};
        std::ostream full{&buffer};
        EXPECT_EQ(runTo(full, arguments), kExitFailure) << arguments[0];
        EXPECT_EQ(err, kNoSpace) << arguments[0];
        buffer.close();
    }
}

TEST_F(UnwritableOutputTest, TheProgramReportsAFullDeviceAndAReaderThatWentAway)
{
    addBookmarks(3);
    ProgramSetup full;
    full.stdoutPath = "/dev/full";
    for (const std::string command : {"list", "version"}) {
        const auto run = runProgram({"--data", folder.path(), command}, full);
        EXPECT_EQ(run.code, kExitFailure) << command;
        EXPECT_EQ(run.err, kNoSpace) << command;
    }
    ProgramSetup closedPipe;
    closedPipe.closedPipe = true;
    const auto run = runProgram({"--data", folder.path(), "list"}, closedPipe);
    EXPECT_EQ(run.code, kExitFailure); // not killed by SIGPIPE
    EXPECT_EQ(run.err, "tessaly-cli: the output could not be written: Broken pipe\n");
}

// A disk that fills up halfway through a listing: the file holds what fitted,
// and the exit status says it is not the whole.
TEST_F(UnwritableOutputTest, ADiskThatFillsUpHalfwayIsAFailure)
{
    if (::geteuid() != 0) {
        GTEST_SKIP() << "mounting a small file system needs root";
    }
    TempFolder mountPoint;
    if (::mount("tessaly-test", mountPoint.path().c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "cannot mount a tmpfs here";
    }
    addBookmarks(100); // about 23 KB of rows
    {
        // Leave 8 KB: the first rows fit, the rest does not.
        std::ofstream filler{mountPoint.file("filler"), std::ios::binary};
        filler << std::string(56 * 1024, 'x');
    }
    ProgramSetup setup;
    setup.stdoutPath = mountPoint.file("listing.tsv");
    const auto run = runProgram({"--data", folder.path(), "list"}, setup);
    std::ifstream listing{setup.stdoutPath, std::ios::binary};
    const std::string written{std::istreambuf_iterator<char>{listing}, {}};
    ::umount(mountPoint.path().c_str());
    EXPECT_EQ(run.code, kExitFailure);
    EXPECT_EQ(run.err, kNoSpace);
    EXPECT_LT(std::count(written.begin(), written.end(), '\n'), 101);
}

} // namespace
} // namespace tessaly::cli
