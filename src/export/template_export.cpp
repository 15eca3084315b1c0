// The pre-formatted export: pages that follow the user's HTML templates
// (Default_*.htm in the data folder, or the one the user named) instead of
// the built-in styles. Each page is written as its bookmarks are read. When
// a template shows the table of contents, or names a token twice in one
// element (the second shows the last bookmark of the run), the bookmarks
// are previewed first, so that what the page needs is known before it
// begins.
#include "core/record.h"
#include "core/record_file.h"
#include "core/tables.h"
#include "export/default_templates.h"
#include "export/export_writer.h"
#include "export/template_page.h"
#include "export/template_tokens.h"
#include "framework/html_text.h"
#include "framework/picture.h"
#include "framework/system_file.h"
#include "framework/text.h"
#include "framework/ui_port.h"
#include "framework/utf8.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <map>
#include <optional>
#include <sys/stat.h>
#include <unordered_set>
#include <utility>

namespace tessaly {

namespace {

// A template is a page of HTML: anything larger is no template, and must
// not be read into memory.
constexpr std::size_t kTemplateLimit = std::size_t{16} << 20U;
// A template that repeats a large section, or the table of contents, for
// every bookmark stops here rather than fill the disk.
constexpr std::size_t kPageLimit = std::size_t{512} << 20U;
constexpr std::size_t kElementCost = sizeof(PageElement);

constexpr std::string_view kTocToken = "(URL:TOC)";

constexpr std::array<std::string_view, 3> kTypeNames = {"Simple", "Table", "Frame"};

// The name of an HTML tag in lower case ("td" for "<TD align=left>",
// "/li" for "</LI>"); empty for a text.
std::string tagName(std::string_view element)
{
    if (!element.starts_with('<')) {
        return {};
    }
    std::string name;
    for (std::size_t i = 1; i < element.size(); ++i) {
        const char c = element[i];
        if (c == ' ' || c == '>' || c == '\t' || (c == '/' && i > 1)) {
            break;
        }
        name += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return name;
}

class TemplateWriter final : public ExportWriter {
public:
    explicit TemplateWriter(const WriterSetup& setup)
        : setup_(setup), settings_(*setup.settings), frame_(setup.type == ExportType::Frame),
          grouped_(setup.grouped), buffer_(bookmarkTable())
    {}

    void prepare() override;
    std::string problem() const override { return problem_; }
    bool wantsPreview() const override { return showsContents_ || repeatsTokens_; }
    void preview(const Record& bookmark) override;
    void opening() override;
    void record(const Record& bookmark) override;
    void closing() override;

private:
    std::string typeName() const { return std::string{kTypeNames[static_cast<int>(setup_.type)]}; }
    std::string templateName(std::string_view role) const
    {
        return "Default_" + std::string{role} + typeName() + (grouped_ ? "_cat.htm" : ".htm");
    }
    bool load(const std::string& name, bool chosen, PageElements& elements);
    void notice(const std::string& text);
    std::string value(Token token, bool inTag) const
    {
        const auto anchor =
            anchors_.find(std::string{text::clip(buffer_.text(BookmarkField::Category))});
        return tokenValue(token, {buffer_, settings_, setup_.names, typeName(), setup_.today,
                                  categoryDescription_, inTag,
                                  anchor == anchors_.end() ? std::string_view{} : anchor->second});
    }
    void nameAnchor(const std::string& category);
    void expand(PageElements& list, const std::vector<std::string>* toc);
    void placeToc(PageElements& list, std::size_t i, const std::vector<std::string>& toc);
    void meetCategory(const std::string& category);
    void expandWithLast(PageElements& list);
    void append(const PageElements& section);
    void write(const PageElements& elements);
    void beginPage(std::string path);
    void finishPage();
    void closeCategory();
    std::vector<std::string> tableOfContents() const;
    static void declareCharset(PageElements& elements);
    void writeFile(PageElements& elements, const std::string& path);
    void account(std::size_t bytes);
    std::string categoryDescription(const std::string& category);

    const WriterSetup& setup_;
    const ExportSettings& settings_;
    bool frame_;
    bool grouped_;
    std::string problem_;
    TemplateSections sections_;
    PageElements base_;
    PageElements banner_;
    PageElements contents_;
    ExportOutput* page_ = nullptr; // the page being written
    std::optional<LineJoiner> lines_;
    bool pageOpen_ = false;
    bool showsContents_ = false;    // a template holds "(URL:TOC)"
    bool repeatsTokens_ = false;    // an element holds a token twice
    std::optional<Record> last_;    // the last bookmark of the run
    bool charsetElsewhere_ = false; // a section past the head declares one
    std::vector<std::string> toc_;
    bool categoryOpen_ = false;
    // The categories, in the order they are met; a category's number is its
    // place + 1. Listed ahead of the pages when they show the contents.
    std::vector<std::string> categories_;
    std::unordered_set<std::string> listed_;
    std::unordered_set<std::string> met_; // by the pages so far
    // Each category's anchor, and every anchor given: two categories that
    // fold to one name must not share it, or the second link leads to the
    // first category.
    std::map<std::string, std::string> anchors_;
    std::unordered_set<std::string> anchorsGiven_;
    std::map<std::string, std::string> descriptions_;
    Record buffer_; // the bookmark last read, as the tokens see it
    std::string categoryDescription_;
    std::size_t bytes_ = 0;
};

namespace {

// Whether the same token stands twice in the template's text of `element`.
bool holdsATokenTwice(const PageElement& element)
{
    for (const std::string_view token : kTokens) {
        if (const std::size_t at = findToken(element, token); at != std::string::npos) {
            PageElement rest = element;
            fillIn(rest, at, token.size(), {});
            if (findToken(rest, token) != std::string::npos) {
                return true;
            }
        }
    }
    return false;
}

// Whether a page of these templates shows the sites' passwords.
bool showsPasswords(std::initializer_list<const PageElements*> templates)
{
    for (const PageElements* elements : templates) {
        for (const PageElement& element : *elements) {
            if (findToken(element, kTokens[kPassword]) != std::string::npos) {
                return true;
            }
        }
    }
    return false;
}

} // namespace

void TemplateWriter::notice(const std::string& text)
{
    if (setup_.ui != nullptr) {
        setup_.ui->showMessage({"Export", text, MessageIcon::Exclamation, ButtonOk, ButtonOk});
    }
}

// Reads a template into elements. A default template that is missing is
// one whose copy into the data folder failed (and was told): the built-in
// text serves. A template the user chose must be there.
bool TemplateWriter::load(const std::string& name, bool chosen, PageElements& elements)
{
    const std::string path =
        name.starts_with('/') || setup_.folder.empty() ? name : setup_.folder + "/" + name;
    std::string content;
    struct stat info {};
    SystemResult result;
    if (::stat(path.c_str(), &info) != 0) {
        result = SystemResult::fromErrno(errno);
    } else if (!S_ISREG(info.st_mode)) {
        // A folder or a pipe is no page, and a pipe would hold the run.
        result = SystemResult::fromErrno(S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
    } else {
        result = readWholeFile(path, content, kTemplateLimit);
    }
    if (!result.ok()) {
        if (result.errorNumber == ENOENT && !chosen) {
            content = std::string{defaultTemplate(name).value_or("")};
        } else {
            problem_ = "Cannot read the template " + name + ": " +
                       (result.errorNumber == EFBIG ? "it is larger than 16 MB" : result.text);
            return false;
        }
    }
    elements = templateElements(utf8::valid(utf8::withoutByteOrderMark(content)));
    return true;
}

void TemplateWriter::prepare()
{
    if (const std::string failure = installDefaultTemplates(setup_.folder); !failure.empty()) {
        notice(failure);
    }
    if (setup_.ui != nullptr) {
        setup_.ui->reportProgress(0, "Reading default HTML");
    }
    const std::string chosen{text::trim(settings_.templateFile)};
    const std::string mainName = chosen.empty() ? templateName("") : chosen;
    PageElements main;
    if (!load(mainName, !chosen.empty(), main)) {
        return;
    }
    if (frame_ && (!load(templateName("base_"), false, base_) ||
                   !load(templateName("banner_"), false, banner_) ||
                   !load(templateName("contents_"), false, contents_))) {
        return;
    }
    if (showsPasswords({&main, &base_, &banner_, &contents_}) && setup_.outputs != nullptr) {
        setup_.outputs->makePrivate();
    }
    if (main.empty()) {
        notice("No pre-formatted HTML in " + mainName);
    }
    sections_ = splitSections(main, grouped_);
    for (const PageElements* elements : {&main, &base_, &banner_, &contents_}) {
        for (const PageElement& element : *elements) {
            showsContents_ = showsContents_ || findToken(element, kTocToken) != std::string::npos;
        }
    }
    for (const PageElement& element : main) {
        repeatsTokens_ = repeatsTokens_ || holdsATokenTwice(element);
    }
    for (const PageElements* section :
         {&sections_.categoryHead, &sections_.bookmark, &sections_.categoryFoot, &sections_.foot}) {
        for (const PageElement& element : *section) {
            charsetElsewhere_ =
                charsetElsewhere_ || (tagName(element.text) == "meta" &&
                                      findToken(element, "CHARSET") != std::string::npos);
        }
    }
    if (sections_.bookmark.empty()) {
        notice("No detail area defined in " + mainName);
    }
    if (setup_.ui != nullptr) {
        setup_.ui->reportProgress(0, "Exporting");
    }
}

void TemplateWriter::preview(const Record& bookmark)
{
    if (showsContents_) {
        meetCategory(std::string{text::clip(bookmark.text(BookmarkField::Category))});
    }
    if (repeatsTokens_) {
        last_ = bookmark;
    }
}

void TemplateWriter::meetCategory(const std::string& category)
{
    if (listed_.insert(category).second) {
        categories_.push_back(category);
        nameAnchor(category);
    }
}

void TemplateWriter::opening()
{
    toc_ = tableOfContents();
    if (!(grouped_ && frame_)) {
        // The flat list of the Frame type is a page of its own: under the
        // main file's name the frameset would replace it.
        beginPage(frame_ ? setup_.names.base + "m.htm" : std::string{text::clip(settings_.file)});
    }
}

void TemplateWriter::record(const Record& bookmark)
{
    const std::string category{text::clip(bookmark.text(BookmarkField::Category))};
    const bool first = met_.insert(category).second;
    const bool startsGroup = first && grouped_;
    if (startsGroup) {
        // The group that ends fills its own foot (and its page's), still
        // seeing its last bookmark.
        closeCategory();
        if (frame_) {
            finishPage();
        }
    }
    buffer_ = bookmark;
    categoryDescription_ = categoryDescription(category);
    if (first) {
        meetCategory(category);
    }
    if (startsGroup) {
        if (frame_) {
            beginPage(setup_.names.base + std::to_string(met_.size()) + ".htm");
        }
        append(sections_.categoryHead);
        categoryOpen_ = true;
    }
    append(sections_.bookmark);
}

void TemplateWriter::nameAnchor(const std::string& category)
{
    const std::string name = anchorName(category);
    std::string given = name;
    // A name never holds a digit: a number after it cannot meet another
    // category's name.
    for (int n = 2; !name.empty() && !anchorsGiven_.insert(given).second; ++n) {
        given = name + std::to_string(n);
    }
    anchors_.emplace(category, given);
}

void TemplateWriter::closing()
{
    closeCategory();
    finishPage();
    if (frame_ && problem_.empty()) {
        // Without the contents on a page, they were not listed ahead.
        const std::vector<std::string> toc = showsContents_ ? toc_ : tableOfContents();
        if (setup_.ui != nullptr) {
            setup_.ui->reportProgress(100, "Reading default HTML");
        }
        const std::string main{text::clip(settings_.file)};
        for (auto& [elements, path] :
             {std::pair{&base_, main}, std::pair{&banner_, setup_.names.base + "_banner.htm"},
              std::pair{&contents_, setup_.names.base + "_contents.htm"}}) {
            expand(*elements, &toc);
            writeFile(*elements, path);
        }
    }
}

std::string TemplateWriter::categoryDescription(const std::string& category)
{
    if (setup_.categories == nullptr || category.empty()) {
        return {};
    }
    if (const auto known = descriptions_.find(category); known != descriptions_.end()) {
        return known->second;
    }
    Record key{categoryTable()};
    key.setText(CategoryField::Category, category);
    Record found{categoryTable()};
    std::string description;
    if (setup_.categories->get(0, key, found).ok()) {
        description = found.text(CategoryField::Description);
    }
    descriptions_.emplace(category, description);
    return description;
}

void TemplateWriter::account(std::size_t bytes)
{
    bytes_ += bytes;
    if (bytes_ > kPageLimit && problem_.empty()) {
        problem_ = "The pages grow larger than 512 MB: choose fewer bookmarks, or a template "
                   "that repeats less for each of them.";
    }
}

void TemplateWriter::beginPage(std::string path)
{
    page_ = path == text::clip(settings_.file) ? setup_.main : setup_.outputs->create(path, false);
    lines_.emplace([output = page_](std::string_view line) { output->line(line); });
    pageOpen_ = true;
    PageElements head = sections_.head;
    expand(head, &toc_);
    expandWithLast(head);
    if (!charsetElsewhere_) {
        declareCharset(head);
    }
    write(head);
}

void TemplateWriter::finishPage()
{
    if (!pageOpen_) {
        return;
    }
    append(sections_.foot);
    lines_->flush();
    pageOpen_ = false;
    // A page done with is closed at once: the Frame type's run of a page
    // for each category keeps one open, not one for each.
    if (page_ != setup_.main) {
        page_->finish();
    }
}

void TemplateWriter::closeCategory()
{
    if (!categoryOpen_) {
        return;
    }
    categoryOpen_ = false;
    write({{"<!--URL:EndCat-->", {}}});
    append(sections_.categoryFoot);
}

void TemplateWriter::append(const PageElements& section)
{
    if (section.empty()) {
        return;
    }
    PageElements added = section;
    expand(added, &toc_);
    expandWithLast(added);
    write(added);
}

// A token an element names a second time shows the last bookmark of the
// run, as a page completed once every bookmark has been read would show it.
void TemplateWriter::expandWithLast(PageElements& list)
{
    if (!last_) {
        return;
    }
    std::swap(buffer_, *last_);
    const std::string description = std::exchange(
        categoryDescription_,
        categoryDescription(std::string{text::clip(buffer_.text(BookmarkField::Category))}));
    expand(list, nullptr);
    std::swap(buffer_, *last_);
    categoryDescription_ = description;
}

// Adds the elements to the page's lines, which go to its file as they fill.
void TemplateWriter::write(const PageElements& elements)
{
    if (page_ == nullptr || !problem_.empty()) {
        return;
    }
    std::size_t bytes = 0;
    for (const PageElement& element : elements) {
        bytes += element.text.size() + kElementCost;
        lines_->add(element);
    }
    account(bytes);
}

void TemplateWriter::expand(PageElements& list, const std::vector<std::string>* toc)
{
    for (std::size_t i = list.size(); i-- > 0;) {
        PageElement& element = list[i];
        if (!mayHoldToken(element)) {
            continue;
        }
        const std::string_view start = text::trim(element.text);
        const bool inTag = !start.empty() && start.front() == '<';
        for (std::size_t t = 0; t < kTokens.size(); ++t) {
            if (const std::size_t at = findToken(element, kTokens[t]); at != std::string::npos) {
                const std::string filled = value(static_cast<Token>(t), inTag);
                fillIn(element, at, kTokens[t].size(), text::clip(filled));
            }
        }
        if (toc != nullptr) {
            placeToc(list, i, *toc);
        }
    }
}

// Puts the table of contents where "(URL:TOC)" stands in list[i]. A tag
// around the token repeats between the entries, so that each stands in a
// cell, a list item or after a line break of its own.
void TemplateWriter::placeToc(PageElements& list, std::size_t i,
                              const std::vector<std::string>& toc)
{
    const std::size_t at = findToken(list[i], kTocToken);
    if (at == std::string::npos) {
        return;
    }
    if (toc.empty()) {
        // A page without categories shows no token text either.
        fillIn(list[i], at, kTocToken.size(), {});
        return;
    }
    PageElement after = slice(list[i], at + kTocToken.size(), list[i].text.size());
    list[i] = slice(list[i], 0, at);
    const bool textBefore = !text::clip(list[i].text).empty();
    const bool textAfter = !text::clip(after.text).empty();
    const std::string_view before = textBefore ? std::string_view{list[i].text}
                                    : i > 0    ? std::string_view{list[i - 1].text}
                                               : std::string_view{};
    const std::string_view next = textAfter             ? std::string_view{after.text}
                                  : i + 1 < list.size() ? std::string_view{list[i + 1].text}
                                                        : std::string_view{};
    const std::string opening = tagName(before);
    const std::string closing = tagName(next);
    std::string prefix;
    if (opening.starts_with("td")) {
        prefix = "<TR>" + std::string{before};
    } else if (opening.starts_with("br") || opening == "li" || opening == "ul") {
        prefix = std::string{before};
    }
    std::string suffix;
    if (closing.starts_with("/td")) {
        suffix = std::string{next} + "</TR>";
    } else if (closing == "/li" || closing == "/ul") {
        suffix = std::string{next};
    }
    PageElements entries;
    std::size_t bytes = 0;
    const auto add = [&](const std::string& text) {
        if (!text.empty()) {
            entries.push_back({text, {{0, text.size()}}});
            bytes += text.size() + kElementCost;
        }
    };
    for (std::size_t e = 0; e < toc.size(); ++e) {
        if (e > 0) {
            add(suffix);
            add(prefix);
        }
        add(toc[e]);
    }
    if (textAfter) {
        entries.push_back(std::move(after));
    }
    account(bytes);
    if (!problem_.empty()) {
        return;
    }
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(i + 1),
                std::make_move_iterator(entries.begin()), std::make_move_iterator(entries.end()));
}

std::vector<std::string> TemplateWriter::tableOfContents() const
{
    std::vector<std::string> toc;
    const std::string stem = html::encodeFileName(setup_.names.stem);
    // The flat orders meet the categories in the bookmarks' order: the
    // contents list them in the category list's order all the same. The
    // grouped orders meet them in that order already, one page each.
    std::vector<std::size_t> order(categories_.size());
    for (std::size_t n = 0; n < order.size(); ++n) {
        order[n] = n;
    }
    if (!grouped_) {
        std::stable_sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
            return text::compareNoCase(categories_[a], categories_[b]) < 0;
        });
    }
    for (const std::size_t n : order) {
        const std::string& category = categories_[n];
        const std::string& anchor = anchors_.at(category);
        if (frame_ && grouped_) {
            toc.push_back("<a href=\"" + stem + std::to_string(n + 1) + ".htm\">" +
                          html::escape(category) + "</a><br>");
        } else if (!category.empty() && frame_) {
            // The flat list has no page per category: its entries lead to
            // the category's first bookmark on the one page.
            toc.push_back("<a href=\"" + stem + "m.htm#" + anchor + "\">" + html::escape(category) +
                          "</a><br>");
        } else if (!category.empty()) {
            toc.push_back("<a href=\"#" + anchor + "\">" + html::escape(category) + "</a>");
        }
    }
    return toc;
}

// A page served without a charset header is read as UTF-8 only when it says
// so early in its head. A template that declares its own keeps it; one with
// neither "<head>" nor "<html>" is a part of a page, left as it is.
void TemplateWriter::declareCharset(PageElements& elements)
{
    std::size_t head = std::string::npos;
    std::size_t html = std::string::npos;
    for (std::size_t i = 0; i < elements.size(); ++i) {
        const std::string name = tagName(elements[i].text);
        if (name == "meta" && findToken(elements[i], "CHARSET") != std::string::npos) {
            return;
        }
        if (name == "head" && head == std::string::npos) {
            head = i;
        } else if (name == "html" && html == std::string::npos) {
            html = i;
        }
    }
    const std::size_t at = head != std::string::npos ? head : html;
    if (at != std::string::npos) {
        elements.insert(elements.begin() + static_cast<std::ptrdiff_t>(at + 1),
                        PageElement{"<meta charset=\"utf-8\">", {}});
    }
}

void TemplateWriter::writeFile(PageElements& elements, const std::string& path)
{
    declareCharset(elements);
    ExportOutput* output =
        path == text::clip(settings_.file) ? setup_.main : setup_.outputs->create(path, false);
    joinLines(elements, [output](std::string_view line) { output->line(line); });
}

} // namespace

std::unique_ptr<ExportWriter> makeTemplateWriter(const WriterSetup& setup)
{
    return std::make_unique<TemplateWriter>(setup);
}

} // namespace tessaly
