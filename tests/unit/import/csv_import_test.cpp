// Comma-separated files as RFC 4180 has them, whatever their line ends.
#include "import/csv_row.h"

#include "import_test_support.h"

namespace tessaly {
namespace {

using test::ImportTest;

std::string goodRows(int count, std::string_view lineEnd)
{
    std::string rows;
    for (int i = 1; i <= count; ++i) {
        rows += "\"Good\",\"http://q" + std::to_string(i) + ".example/\",\"Row " +
                std::to_string(i) + "\",\"\",1" + std::string{lineEnd};
    }
    return rows;
}

TEST_F(ImportTest, CsvAQuoteInsideAFieldCostsNoRow)
{
    const std::string csv =
        "\"TV\",\"http://q0.example/\",\"Sony 55\" screen\",\"\",3\n" + goodRows(20, "\n");
    const ImportSummary summary = import(ImportType::Csv, sources.write("tv.csv", csv));
    EXPECT_EQ(summary.imported, 21);
    EXPECT_EQ(stored("http://q0.example/").text(BookmarkField::Description), "Sony 55\" screen");
    EXPECT_NE(stored("http://q20.example/").position, 0);
}

// A quote left open in the middle of a file must not take the next row
// into its field: that row would be lost without a word.
TEST_F(ImportTest, CsvAQuoteLeftOpenCostsOnlyItsOwnRowAndSaysSo)
{
    const std::string csv = "\"Cat\",\"http://b1.example/\",\"One\"\n"
                            "\"Cat\",\"http://b2.example/\",\"Broken\n"
                            "\"Cat\",\"http://b3.example/\",\"Three\"\n"
                            "\"Cat\",\"http://b4.example/\",\"He said \"hi\" there\"\n";
    const ImportSummary summary = import(ImportType::Csv, sources.write("open.csv", csv));
    EXPECT_EQ(summary.imported, 3);
    EXPECT_EQ(summary.skippedTotal(), 1);
    EXPECT_EQ(stored("http://b2.example/").position, 0);
    EXPECT_EQ(stored("http://b3.example/").text(BookmarkField::Description), "Three");
    EXPECT_EQ(stored("http://b4.example/").text(BookmarkField::Description),
              "He said \"hi\" there");
}

TEST_F(ImportTest, CsvLineBreaksInsideQuotedFieldsAreKeptWhateverTheFileUses)
{
    // A line feed file with a CR LF in a field near its start, a CR LF file
    // with a line feed in a field, and a file of carriage returns alone.
    const std::string lf = "\"A\",\"http://a1.example/\",\"One\r\ntwo\"\n"
                           "\"A\",\"http://a2.example/\",\"Two\"\n"
                           "\"A\",\"http://a3.example/\",\"Three\"\n";
    const std::string crlf = "\"B\",\"http://b1.example/\",\"Alpha\nmore\"\r\n"
                             "\"B\",\"http://b2.example/\",\"Beta\"\r\n";
    const std::string cr = "C,http://c1.example/,One\r\"C\",\"http://c2.example/\",\"x\ry\"\r";
    EXPECT_EQ(import(ImportType::Csv, sources.write("lf.csv", lf)).imported, 3);
    EXPECT_EQ(import(ImportType::Csv, sources.write("crlf.csv", crlf)).imported, 2);
    EXPECT_EQ(import(ImportType::Csv, sources.write("cr.csv", cr)).imported, 2);
    EXPECT_EQ(stored("http://a1.example/").text(BookmarkField::Description), "One\r\ntwo");
    EXPECT_EQ(stored("http://b1.example/").text(BookmarkField::Description), "Alpha\nmore");
    EXPECT_EQ(stored("http://c2.example/").text(BookmarkField::Description), "x\ry");
}

TEST_F(ImportTest, CsvRowsWithoutQuotesBlanksOrAHeadingAreRead)
{
    const std::string csv = "\"category\",\"location\",\"description\"\n"
                            "News,http://a.example/,Title\n"
                            "\"News\", \"http://b.example/\", \"x\"\n"
                            "\"Lead\",\"http://c.example/\",\"  Indented\"\n"
                            "  Pad  ,  http://d.example/  ,  Trimmed  \n"
                            "\n"
                            "\"Gone\",\"\",\"no address\"\n";
    const ImportSummary summary = import(ImportType::Csv, sources.write("plain.csv", csv));
    EXPECT_EQ(summary.imported, 4);
    EXPECT_EQ(stored("location").position, 0) << "the heading is no bookmark";
    EXPECT_EQ(stored("http://a.example/").text(BookmarkField::Category), "News");
    EXPECT_EQ(stored("http://b.example/").text(BookmarkField::Description), "x");
    EXPECT_EQ(stored("http://c.example/").text(BookmarkField::Description), "  Indented");
    EXPECT_EQ(stored("http://d.example/").text(BookmarkField::Description), "Trimmed");
    EXPECT_EQ(stored("http://d.example/").text(BookmarkField::Category), "Pad");
    EXPECT_EQ(summary.skipped.at(SkipReason::NoAddress), 1) << "the blank line is no row";
}

TEST_F(ImportTest, CsvUnreadableRowsAreCountedAndTheRowsAfterThemRead)
{
    // A field over 1 MiB, and a quote that is still open at the file's end.
    const std::string csv = "\"Big\",\"http://big.example/\",\"" +
                            std::string(CsvRow::kLongestField + 10, 'x') + "\"\n" +
                            "\"A\",\"http://after-big.example/\",\"A\"\n"
                            "\"B\",\"http://open.example/\",\"never closes\n"
                            "C,http://after-open.example/,Still read\n"
                            "D,http://last.example/,Also\n";
    const ImportSummary summary = import(ImportType::Csv, sources.write("bad.csv", csv));
    EXPECT_EQ(summary.imported, 3);
    EXPECT_EQ(summary.skipped.at(SkipReason::Unreadable), 2);
    EXPECT_EQ(stored("http://big.example/").position, 0);
    EXPECT_EQ(stored("http://open.example/").position, 0);
    EXPECT_EQ(stored("http://after-open.example/").text(BookmarkField::Description), "Still read");
}

TEST_F(ImportTest, CsvAnOpenQuoteBeforeManyLinesEndsSoon)
{
    // Three megabytes of lines after a quote that never closes: given up
    // after 1 MiB, not read into one field.
    std::string csv = "\"A\",\"http://open.example/\",\"";
    for (int i = 0; i < 100000; ++i) {
        csv += "line " + std::to_string(i) + " of text that is no row at all\n";
    }
    csv += "E,http://end.example/,End\n";
    const ImportSummary summary = import(ImportType::Csv, sources.write("open.csv", csv));
    EXPECT_EQ(summary.skipped.at(SkipReason::Unreadable), 1);
    EXPECT_NE(stored("http://end.example/").position, 0);
}

TEST_F(ImportTest, CsvTakesAwayTheApostropheThatGuardsAFormula)
{
    const std::string csv = "\"'=Cat\",\"http://f.example/\",\"'=SUM(A1)\",\"'+1\",2\n"
                            "\"X\",\"http://g.example/\",\"'-minus\",\"'@at\",2\n"
                            "\"X\",\"http://h.example/\",\"'plain\",\"''=two\",2\n";
    ASSERT_EQ(import(ImportType::Csv, sources.write("guard.csv", csv)).imported, 3);
    const Record f = stored("http://f.example/");
    EXPECT_EQ(f.text(BookmarkField::Category), "=Cat");
    EXPECT_EQ(f.text(BookmarkField::Description), "=SUM(A1)");
    EXPECT_EQ(f.text(BookmarkField::SiteInfo), "+1");
    EXPECT_EQ(stored("http://g.example/").text(BookmarkField::Description), "-minus");
    EXPECT_EQ(stored("http://g.example/").text(BookmarkField::SiteInfo), "@at");
    EXPECT_EQ(stored("http://h.example/").text(BookmarkField::Description), "'plain");
    EXPECT_EQ(stored("http://h.example/").text(BookmarkField::SiteInfo), "'=two")
        << "one apostrophe is the guard; the user's own before the formula stays";
}

} // namespace
} // namespace tessaly
