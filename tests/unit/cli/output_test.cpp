#include "cli_test_support.h"
#include "field_escape.h"

#include <algorithm>
#include <gtest/gtest.h>

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
        "a\\tb\\nc\\rd\\\\e\\x1b[31mf\\x7fg\\x85h\\x9bi\\x01j\ufffdk, \"q\"";
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
    EXPECT_EQ(rows[1][1], "a\tb\nc\rd\\e\\x1b[31mf\\x7fg\\x85h\\x9bi\\x01j\ufffdk, \"q\"");
}

TEST(FieldEscape, MessagesKeepLineBreaksButNoOtherControl)
{
    EXPECT_EQ(messageText("one\ntwo\tthree\x1b]0;title\x07"), "one\ntwo\\tthree\\x1b]0;title\\x07");
    // Letters beyond ASCII and U+FFFD itself are text, not escapes.
    EXPECT_EQ(tsvField("café \ufffd"), "café \ufffd");
    EXPECT_EQ(csvField("plain"), "plain");
}

} // namespace
} // namespace tessaly::cli
