// The built-in page styles "Simple", "Table" and "Frame": grouped by
// category in the orders "CatDesc" and "CatLoc", a flat list otherwise.
#include "core/record.h"
#include "core/tables.h"
#include "export/export_writer.h"
#include "framework/html_text.h"
#include "framework/picture.h"
#include "framework/text.h"
#include "framework/version.h"

namespace tessaly {

namespace {

enum CatHtmlType { kReplaceTitle = 1, kBeforeCategory, kBeforeTitle, kAfterTitle, kAfterCategory };

// A page's file name as a link from its neighbours.
std::string linkTo(std::string_view path)
{
    const std::size_t slash = path.rfind('/');
    return html::encodeFileName(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// Every page declares its encoding first thing, so a page served without a
// charset header still shows its accents and scripts as written.
std::string pageHead(const std::string& title)
{
    return "<html><head><meta charset=\"utf-8\"><title>" + title + "</title></head>";
}

class HtmlWriter final : public ExportWriter {
public:
    explicit HtmlWriter(const WriterSetup& setup)
        : setup_(setup), settings_(*setup.settings), html_(*setup.categoryHtml),
          frame_(setup.type == ExportType::Frame), simple_(setup.type == ExportType::Simple),
          main_(setup.main)
    {}

    std::vector<int> fields() const override
    {
        return {static_cast<int>(BookmarkField::Location),
                static_cast<int>(BookmarkField::Description),
                static_cast<int>(BookmarkField::Category),
                static_cast<int>(BookmarkField::SiteInfo), static_cast<int>(BookmarkField::Rating)};
    }
    void opening() override;
    void record(const Record& bookmark) override;
    void closing() override;

private:
    void toMain(std::string_view line) { main_->line(line); }
    void toPage(std::string_view line)
    {
        if (page_ == nullptr) {
            return;
        }
        if (frame_ && setup_.grouped && !started_) {
            // Rows without a category come before the first group: they
            // wait for its page's head, which must come first.
            early_.emplace_back(line);
        } else {
            page_->line(line);
        }
    }
    void writeEarlyRows()
    {
        for (const std::string& line : early_) {
            page_->line(line);
        }
        early_.clear();
    }
    // Category HTML is the user's own HTML: written as it stands.
    void categoryHtml(ExportOutput* output, int type, std::string_view category)
    {
        if (const std::string text = html_.text(type, category);
            output != nullptr && !text.empty()) {
            output->line(text);
        }
    }
    void tableRecord(const Record& bookmark, const std::string& link);
    void simpleRecord(const Record& bookmark, const std::string& link);
    void startTableGroup(const std::string& category);
    void startSimpleGroup(const std::string& category);
    std::string pageEnd() const
    {
        return setup_.bodyInFrame ? "</ul></html>" : "</ul></body></html>";
    }
    void beginPage(const std::string& path)
    {
        // A page done with is closed at once: a run of thousands of
        // categories keeps one page open, not one for each.
        if (page_ != nullptr) {
            page_->finish();
        }
        page_ = setup_.outputs->create(path, false);
    }
    std::string heading(const std::string& category) const;
    void writeIndex();
    void writeContents();

    const WriterSetup& setup_;
    const ExportSettings& settings_;
    const CategoryHtml& html_;
    bool frame_;
    bool simple_;
    ExportOutput* main_;
    ExportOutput* page_ = nullptr; // the Frame style's current category page
    std::string replaceTitle_;     // "_Before All"'s "Replace Title"
    // "_Before All"'s other HTML: a frameset page shows no body, so the
    // Frame style puts it in the contents frame's page.
    std::vector<std::string> beforeAll_;
    std::vector<std::string> early_;
    bool started_ = false;
    int group_ = 0;
    int pageNumber_ = 0;
    std::string current_;
    std::vector<std::string> index_;
    std::vector<std::string> contents_;
    std::string link_; // the bookmark's link, made anew for each
    std::string line_; // a line of the bookmark's row, made anew for each
};

void HtmlWriter::opening()
{
    replaceTitle_ = html_.text(kReplaceTitle, kBeforeAll);
    // No dash left hanging when the page has no title of its own.
    const std::string pageTitle = html::escape(text::clip(settings_.pageTitle));
    const std::string title =
        !replaceTitle_.empty()
            ? replaceTitle_
            : std::string{kProductName} + (pageTitle.empty() ? "" : " - " + pageTitle);
    toMain(pageHead(title) + (frame_ ? "" : "<body>"));
    for (const auto& [type, text] : html_.all(kBeforeAll)) {
        if (!type.starts_with("Replace") && !text.empty()) {
            if (frame_) {
                beforeAll_.push_back(text);
            } else {
                toMain(text);
            }
        }
    }
    if (frame_) {
        const std::string stem = html::encodeFileName(setup_.names.stem);
        beginPage(setup_.names.base + "m.htm");
        toMain("<frameset rows=\"80%,20%\"><frameset cols=\"15%,85%\"><frame src=\"" + stem +
               "c.htm\" name=\"contents\" marginwidth=\"1\" marginheight=\"1\">");
        toMain("<frame src=\"" + stem +
               "m.htm\" name=\"main\" marginwidth=\"1\" marginheight=\"1\"></frameset>");
        toMain("<frame src=\"" + stem +
               "b.htm\" name=\"banner\" marginwidth=\"1\" marginheight=\"1\"><noframes><body>");
        if (!setup_.grouped) {
            // The flat list's page is a page of its own in the main frame.
            toPage(pageHead(pageTitle) + (setup_.bodyInFrame ? "" : "<body>"));
            toPage("<ul>");
        }
    }
    if (setup_.grouped) {
        toMain("<center><h3>" + html::escape(settings_.pageTitle) + " Generated by " +
               std::string{kProductName} + " on " + format(setup_.today, "@d4") + "</h3></center>");
    } else {
        toMain("<center><h3>Last generated: " + format(setup_.today, "@d17") + "</h3></center>");
    }
    // Only the category orders end in an index for the link to lead to.
    toMain(setup_.grouped ? "<h6><a href=\"#URLIndex\">Jump to Index</a></h6><hr>" : "<hr>");
    if (!setup_.grouped) {
        // The flat rows still need a list (and a table) to stand in.
        toMain(simple_ ? "<ul>" : "<div align=left><table border=1 width=100%><ul>");
    }
}

void HtmlWriter::record(const Record& bookmark)
{
    const std::string& location = bookmark.text(BookmarkField::Location);
    const std::string& description = bookmark.text(BookmarkField::Description);
    // A link needs a text to click on; the stored record keeps its blank.
    // Made in a string kept from bookmark to bookmark.
    link_ = "<a href=\"";
    link_ += html::escapeAddress(location);
    link_ += "\">";
    html::appendEscaped(link_, description.empty() ? location : description);
    link_ += "</a>";
    if (simple_) {
        simpleRecord(bookmark, link_);
    } else {
        tableRecord(bookmark, link_);
    }
}

void HtmlWriter::tableRecord(const Record& bookmark, const std::string& link)
{
    const std::string& category = bookmark.text(BookmarkField::Category);
    if (setup_.grouped && category != current_) {
        startTableGroup(category);
    }
    line_ = "<tr><td><li>";
    line_ += link;
    line_ += "</li></td>";
    toMain(line_);
    if (frame_) {
        toPage("<li>" + link + "</li>");
    }
    if (settings_.siteInfo) {
        const std::string& siteInfo = bookmark.text(BookmarkField::SiteInfo);
        if (!siteInfo.empty()) {
            line_ = "<td>";
            html::appendEscaped(line_, siteInfo);
            const std::size_t textEnd = line_.size();
            line_ += "</td>";
            toMain(line_);
            if (frame_) {
                toPage(std::string_view{line_}.substr(4, textEnd - 4));
            }
        } else {
            toMain("<td>No Description</td>");
        }
    }
    if (settings_.rating) {
        const std::int64_t rating = bookmark.number(BookmarkField::Rating);
        if (rating != 0) {
            toMain("<td>Rating:  " + std::to_string(rating) + "</td></tr>");
            if (frame_) {
                toPage(" ** Rating:  " + std::to_string(rating) + "**");
            }
        } else {
            toMain("<td>No Rating</td></tr>");
        }
    } else {
        toMain("</tr>");
    }
}

void HtmlWriter::simpleRecord(const Record& bookmark, const std::string& link)
{
    const std::string& category = bookmark.text(BookmarkField::Category);
    if (setup_.grouped && category != current_) {
        startSimpleGroup(category);
    }
    toMain("<li>" + link + "</li>");
    const std::string& siteInfo = bookmark.text(BookmarkField::SiteInfo);
    if (settings_.siteInfo && !siteInfo.empty()) {
        toMain(html::escape(siteInfo));
    }
    const std::int64_t rating = bookmark.number(BookmarkField::Rating);
    if (settings_.rating && rating != 0) {
        toMain(" ** Rating: " + std::to_string(rating) + " **");
    }
}

std::string HtmlWriter::heading(const std::string& category) const
{
    std::string replaced = html_.text(kReplaceTitle, category);
    return replaced.empty() ? html::escape(category) : replaced;
}

void HtmlWriter::startTableGroup(const std::string& category)
{
    if (started_) {
        toMain("</ul></table></div>");
        categoryHtml(main_, kAfterCategory, current_);
        if (frame_) {
            categoryHtml(page_, kAfterCategory, current_);
            toPage(pageEnd());
            ++pageNumber_;
            beginPage(setup_.names.base + std::to_string(pageNumber_) + ".htm");
        }
    }
    started_ = true;
    const std::string name = html::escape(category);
    if (frame_) {
        contents_.push_back("<tr><td><a href=\"" + linkTo(page_->path()) + "\">" + name +
                            "</a></td></tr>");
        if (!replaceTitle_.empty()) {
            page_->line(pageHead(replaceTitle_ + " - " + name) + "<body>");
        } else {
            page_->line(pageHead(name) + (setup_.bodyInFrame ? "" : "<body>"));
        }
        writeEarlyRows();
    }
    ExportOutput* page = frame_ ? page_ : nullptr;
    categoryHtml(main_, kBeforeCategory, category);
    categoryHtml(page, kBeforeCategory, category);
    toMain("<div align=left><table border=1 width=100%><ul>");
    toMain("<tr><td align=center colspan=3 width=100%>");
    categoryHtml(main_, kBeforeTitle, category);
    categoryHtml(page, kBeforeTitle, category);
    ++group_;
    current_ = category;
    const std::string line =
        "<h3><a name=\"URL" + std::to_string(group_) + "\">" + heading(category) + "</a></h3>";
    toMain(line);
    toPage(line);
    index_.push_back("<a href=\"#URL" + std::to_string(group_) + "\">" + name + "</a>");
    categoryHtml(main_, kAfterTitle, category);
    categoryHtml(page, kAfterTitle, category);
    toMain("</td></tr>");
    toPage("<ul>");
}

void HtmlWriter::startSimpleGroup(const std::string& category)
{
    if (started_) {
        toMain("</ul><hr><p align=center>");
        categoryHtml(main_, kAfterCategory, current_);
    }
    started_ = true;
    categoryHtml(main_, kBeforeCategory, category);
    toMain("<ul>");
    categoryHtml(main_, kBeforeTitle, category);
    ++group_;
    current_ = category;
    toMain("<h3><a name=\"URL" + std::to_string(group_) + "\">" + heading(category) +
           "</a></h3></p><p align=left>");
    index_.push_back("<a href=\"#URL" + std::to_string(group_) + "\">" + html::escape(category) +
                     "</a>");
    categoryHtml(main_, kAfterTitle, category);
}

void HtmlWriter::writeIndex()
{
    toMain("<hr>");
    toMain("<p align=center><a name=\"URLIndex\">");
    toMain("<h2>Index</h2></a><ul></p><p align=left>");
    for (const std::string& entry : index_) {
        toMain("<li>" + entry + "</li>");
    }
}

void HtmlWriter::writeContents()
{
    ExportOutput* contents = setup_.outputs->create(setup_.names.base + "c.htm", false);
    contents->line("<html><head><meta charset=\"utf-8\"><title>Table of Contents</title>"
                   "<base target=\"main\"></head><body>");
    for (const std::string& text : beforeAll_) {
        contents->line(text);
    }
    contents->line("<div align=left><table border=1 width=100%>");
    for (const std::string& entry : contents_) {
        contents->line(entry);
    }
    contents->line("</table></div>");
    contents->line("</body></html>");
}

void HtmlWriter::closing()
{
    if (!index_.empty()) {
        if (simple_) {
            toMain("</ul>");
            categoryHtml(main_, kAfterCategory, current_);
        } else {
            toMain("</ul></table></div>");
            categoryHtml(main_, kAfterCategory, current_);
            if (frame_) {
                categoryHtml(page_, kAfterCategory, current_);
                toPage(pageEnd());
                if (!contents_.empty()) {
                    writeContents();
                }
            }
        }
    } else if (frame_ && !early_.empty()) {
        // Only rows without a category: a page of their own all the same.
        page_->line(pageHead(html::escape(settings_.pageTitle)) +
                    (setup_.bodyInFrame ? "" : "<body>"));
        writeEarlyRows();
        page_->line(pageEnd());
    } else if (!setup_.grouped && !simple_) {
        toMain("</ul></table></div>");
        if (frame_) {
            toPage(pageEnd());
            // The frameset shows a contents frame: give it the one page.
            // Named by the page's title, else by the file's: a link without
            // a text cannot be seen or clicked.
            const std::string name =
                text::clip(settings_.pageTitle).empty() ? setup_.names.stem : settings_.pageTitle;
            contents_.push_back("<tr><td><a href=\"" + html::encodeFileName(setup_.names.stem) +
                                "m.htm\">" + html::escape(name) + "</a></td></tr>");
            writeContents();
        }
    }
    if (setup_.grouped) {
        // Where "Jump to Index" leads, even when no category was met.
        writeIndex();
    }
    if (setup_.grouped || simple_) {
        toMain("</ul>"); // the index's, or the flat list's
    }
    for (const auto& entry : html_.all(kAfterAll)) {
        if (!entry.second.empty()) {
            toMain(entry.second);
        }
    }
    toMain("<br><hr>");
    toMain("<h5>" + productLine() + "</h5>");
    if (frame_) {
        ExportOutput* banner = setup_.outputs->create(setup_.names.base + "b.htm", false);
        banner->line("<html><head><meta charset=\"utf-8\"><base target=\"main\"></head><body>");
        banner->line(productLine());
        banner->line("</body></html>");
        toMain("</body></noframes>");
        toMain("</frameset>");
        toMain("</html>");
        return;
    }
    toMain("</body></html>");
}

} // namespace

std::string productLine()
{
    return "Made with " + std::string{kProductName} + " " + std::string{kProductVersion};
}

std::unique_ptr<ExportWriter> makeHtmlWriter(const WriterSetup& setup)
{
    return std::make_unique<HtmlWriter>(setup);
}

} // namespace tessaly
