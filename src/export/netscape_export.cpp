// The type "Netscape": the bookmark file that every browser imports, one
// folder per category.
#include "core/record.h"
#include "core/record_file.h"
#include "core/sqlite.h"
#include "core/tables.h"
#include "export/bookmark_tags.h"
#include "export/export_writer.h"
#include "framework/dates.h"
#include "framework/html_text.h"
#include "framework/text.h"

#include <algorithm>

namespace tessaly {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

// Browsers keep a title on one line; so does the importer's "<DD>" line.
std::string oneLine(std::string_view text)
{
    std::string out{text};
    for (char& c : out) {
        if (c == '\n' || c == '\r' || c == '\t') {
            c = ' ';
        }
    }
    return out;
}

// `text` escaped for an attribute and on one line, added to `out`. The
// escape keeps tabs and line breaks as they are, so they can be made
// blanks after it.
void appendOneLine(std::string& out, std::string_view text)
{
    const std::size_t from = out.size();
    html::appendEscaped(out, text);
    std::replace_if(
        out.begin() + static_cast<std::ptrdiff_t>(from), out.end(),
        [](char c) { return c == '\n' || c == '\r' || c == '\t'; }, ' ');
}

class NetscapeWriter final : public ExportWriter {
public:
    explicit NetscapeWriter(const WriterSetup& setup)
        : setup_(setup), main_(setup.main), now_(std::to_string(setup.now))
    {}

    // The tags of every bookmark, read in one pass over the keyword rows:
    // a lookup for each bookmark took most of the export's time. The rows
    // are read as they are stored, not in address order, which would seek
    // for each row; their sequence numbers put each bookmark's tags in order.
    void prepare() override
    {
        if (setup_.keywords == nullptr) {
            return;
        }
        RecordFile& keywords = *setup_.keywords;
        keywords.setRecordOrder();
        Record row{keywordTable()};
        while (keywords.next(row).ok()) {
            const std::string_view word = text::trim(row.text(KeywordField::Keyword));
            if (!word.empty()) {
                text::foldKeyInto(row.text(KeywordField::Location), folded_);
                tags_.add(folded_, row.number(KeywordField::Sequence), word);
            }
        }
        // A damaged keyword file would otherwise drop tags without a word.
        if (const EngineStatus status = keywords.status(); status.code != kNoMoreRecords) {
            problem_ = "The keywords could not be read: " + status.text;
        }
    }

    std::vector<int> fields() const override
    {
        return {
            static_cast<int>(BookmarkField::Location), static_cast<int>(BookmarkField::Description),
            static_cast<int>(BookmarkField::Category), static_cast<int>(BookmarkField::LastVisit),
            static_cast<int>(BookmarkField::SiteInfo)};
    }

    void opening() override
    {
        const std::string& title = setup_.settings->pageTitle;
        const std::string heading = html::escape(title.empty() ? "Bookmarks" : title);
        main_->line("<!DOCTYPE NETSCAPE-Bookmark-file-1>");
        main_->line("<!-- This is an automatically generated file.");
        main_->line("     It will be read and overwritten.");
        main_->line("     DO NOT EDIT! -->");
        main_->line("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">");
        main_->line("<TITLE>" + heading + "</TITLE>");
        main_->line("<H1>" + heading + "</H1>");
        main_->line("");
        main_->line("<DL><p>");
    }

    void record(const Record& bookmark) override
    {
        const std::string& location = bookmark.text(BookmarkField::Location);
        const std::string& category = bookmark.text(BookmarkField::Category);
        if (setup_.grouped && category != current_) {
            closeFolder();
            current_ = category;
            if (!category.empty()) {
                main_->line("    <DT><H3 ADD_DATE=\"" + now_ + "\" LAST_MODIFIED=\"" + now_ +
                            "\">" + html::escapeAttribute(oneLine(category)) + "</H3>");
                main_->line("    <DL><p>");
                inFolder_ = true;
            }
        }
        const std::string& description = bookmark.text(BookmarkField::Description);
        // Browsers and our own import read references in HREF: the address
        // comes back exactly as stored, a bookmarklet included. The line is
        // made in one string kept from bookmark to bookmark.
        line_ = inFolder_ ? "        <DT><A HREF=\"" : "    <DT><A HREF=\"";
        html::appendEscaped(line_, location);
        line_ += "\" ADD_DATE=\"";
        line_ += now_;
        line_ += '"';
        if (const std::int32_t visit =
                static_cast<std::int32_t>(bookmark.number(BookmarkField::LastVisit));
            dates::isValidDay(visit) && visit > dates::dayNumber(1970, 1, 1)) {
            const std::int64_t seconds =
                (std::int64_t{visit} - dates::dayNumber(1970, 1, 1)) * kSecondsPerDay;
            line_ += " LAST_VISIT=\"" + std::to_string(seconds) + "\"";
        }
        text::foldKeyInto(location, folded_);
        if (const std::string_view tags = tags_.find(folded_); !tags.empty()) {
            line_ += " TAGS=\"";
            html::appendEscaped(line_, tags);
            line_ += '"';
        }
        line_ += '>';
        appendOneLine(line_, description.empty() ? location : description);
        line_ += "</A>";
        main_->line(line_);
        if (const std::string& siteInfo = bookmark.text(BookmarkField::SiteInfo);
            !text::trim(siteInfo).empty()) {
            line_ = inFolder_ ? "        <DD>" : "    <DD>";
            appendOneLine(line_, siteInfo);
            main_->line(line_);
        }
    }

    std::string problem() const override { return problem_; }

    void closing() override
    {
        closeFolder();
        main_->line("</DL>");
    }

private:
    void closeFolder()
    {
        if (inFolder_) {
            main_->line("    </DL><p>");
            inFolder_ = false;
        }
    }

    const WriterSetup& setup_;
    ExportOutput* main_;
    std::string now_;
    std::string current_;
    std::string problem_;
    bool inFolder_ = false;
    BookmarkTags tags_;  // by folded location
    std::string folded_; // a location folded, kept from row to row
    std::string line_;
};

} // namespace

std::unique_ptr<ExportWriter> makeNetscapeWriter(const WriterSetup& setup)
{
    return std::make_unique<NetscapeWriter>(setup);
}

} // namespace tessaly
