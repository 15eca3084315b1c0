#include "export/export_file.h"

#include "core/bookmark_schema.h"
#include "core/database.h"
#include "core/tables.h"
#include "export/export_writer.h"
#include "framework/dates.h"
#include "framework/expression.h"
#include "framework/text.h"
#include "framework/ui_port.h"

#include <array>
#include <ctime>

namespace tessaly {

namespace {

constexpr std::string_view kCaption = "Export";

constexpr std::array<std::string_view, 7> kTypeNames = {"Simple", "Table",    "Frame", "CSV",
                                                        "ASCII",  "Netscape", "XBEL"};
constexpr std::array<std::string_view, 6> kOrderNames = {"Location", "Description", "Keyword",
                                                         "CatDesc",  "CatLoc",      "Rating"};

template <typename E, std::size_t N>
std::optional<E> byName(const std::array<std::string_view, N>& names, std::string_view name)
{
    for (std::size_t i = 0; i < N; ++i) {
        if (text::equalNoCase(names[i], name)) {
            return static_cast<E>(i);
        }
    }
    return std::nullopt;
}

BookmarkKey keyOf(ExportOrder order)
{
    switch (order) {
    case ExportOrder::Location:
        return BookmarkKey::Location;
    case ExportOrder::Description:
        return BookmarkKey::Description;
    case ExportOrder::Keyword:
        return BookmarkKey::Keyword;
    case ExportOrder::CatDesc:
        return BookmarkKey::Category;
    case ExportOrder::CatLoc:
        return BookmarkKey::CategoryLocation;
    case ExportOrder::Rating:
        return BookmarkKey::Rating;
    }
    return BookmarkKey::Location;
}

void tell(UiPort& ui, ExportResult& result, std::string text)
{
    ui.showMessage({std::string{kCaption}, text, MessageIcon::Stop, ButtonOk, ButtonOk});
    result.message = std::move(text);
}

// The "Query" filter: the caller's, or what the user builds in the query
// editor (an empty filter when the editor is cancelled, as for "All").
bool compileFilter(UiPort& ui, const ExportSettings& settings, const ExportContext& context,
                   std::shared_ptr<const Expression>& filter, ExportResult& result)
{
    if (!text::equalNoCase(settings.assignment, "Query")) {
        return true;
    }
    std::string source = context.query.value_or(std::string{});
    if (!context.query) {
        ui.runQuery({bookmarkQueryFieldList(), "EXPORT"}, source);
    }
    auto compiled =
        std::make_shared<Expression>(Expression::compile(source, SchemaResolver{bookmarkSchema()}));
    if (!compiled->ok()) {
        tell(ui, result, compiled->error().describe());
        return false;
    }
    if (!compiled->empty()) {
        filter = std::move(compiled);
    }
    return true;
}

std::unique_ptr<ExportWriter> makeWriter(const WriterSetup& setup)
{
    if (isHtmlStyle(setup.type) && setup.settings->preformatted) {
        return makeTemplateWriter(setup);
    }
    if (isHtmlStyle(setup.type)) {
        return makeHtmlWriter(setup);
    }
    if (setup.type == ExportType::Netscape) {
        return makeNetscapeWriter(setup);
    }
    if (setup.type == ExportType::Xbel) {
        return makeXbelWriter(setup);
    }
    return makeTextWriter(setup);
}

// The reading loop: every bookmark in key order through the filter and
// the "Selected" category to the writer, until the end, Cancel or an
// output error.
// Whether the "Selected" category, when that is the assignment, is the
// bookmark's.
bool chosen(const ExportSettings& settings, const Record& bookmark)
{
    return !text::equalNoCase(settings.assignment, "Selected") ||
           text::equalNoCase(bookmark.text(BookmarkField::Category), text::clip(settings.category));
}

void readBookmarks(RecordFile& file, UiPort& ui, const ExportSettings& settings,
                   ExportWriter& writer, ExportOutputs& outputs, ExportResult& result)
{
    const std::int64_t total = std::max<std::int64_t>(file.records(), 1);
    std::int64_t read = 0;
    int lastPercent = 0;
    Record bookmark{bookmarkTable()};
    while (file.next(bookmark).ok()) {
        ++read;
        if (chosen(settings, bookmark)) {
            writer.record(bookmark);
            ++result.exported;
            if (outputs.failed() != nullptr || !writer.problem().empty()) {
                return;
            }
        }
        if (const int percent = static_cast<int>(std::min<std::int64_t>(read * 100 / total, 100));
            percent != lastPercent) {
            lastPercent = percent;
            ui.reportProgress(percent, "Exporting");
        }
        if (ui.cancelRequested()) {
            result.cancelled = true;
            return;
        }
    }
}

// One writer's run: its preparation, the opening lines, every bookmark
// read and the closing lines, unless a file or the writer fails first.
void writeAll(ExportWriter& writer, RecordFile& file, UiPort& ui,
              const std::shared_ptr<const Expression>& filter, const ExportSettings& settings,
              ExportOrder order, ExportOutputs& outputs, ExportResult& result)
{
    writer.prepare();
    if (!writer.problem().empty()) {
        return;
    }
    file.setFilter(filter);
    if (std::vector<int> fields = writer.fields(); !fields.empty()) {
        // "Selected" compares each bookmark's category.
        fields.push_back(static_cast<int>(BookmarkField::Category));
        file.setFields(std::move(fields));
    }
    file.send("QUICKSCAN=on");
    if (writer.wantsPreview()) {
        // A read error here is met again, and reported, by the reading
        // that follows.
        file.set(static_cast<int>(keyOf(order)));
        Record bookmark{bookmarkTable()};
        while (file.next(bookmark).ok()) {
            if (chosen(settings, bookmark)) {
                writer.preview(bookmark);
            }
        }
    }
    writer.opening();
    file.set(static_cast<int>(keyOf(order)));
    readBookmarks(file, ui, settings, writer, outputs, result);
    file.send("QUICKSCAN=off");
    file.setFilter(nullptr);
    file.setFields({});
    if (outputs.failed() == nullptr && writer.problem().empty()) {
        // Cancel still ends the pages properly.
        writer.closing();
    }
}

} // namespace

std::optional<ExportType> parseExportType(std::string_view name)
{
    return byName<ExportType>(kTypeNames, text::clip(name));
}

std::optional<ExportOrder> parseExportOrder(std::string_view name)
{
    return byName<ExportOrder>(kOrderNames, text::clip(name));
}

std::string_view exportTypeName(ExportType type)
{
    return kTypeNames[static_cast<std::size_t>(type)];
}

std::string_view exportOrderName(ExportOrder order)
{
    return kOrderNames[static_cast<std::size_t>(order)];
}

std::string storedTypeName(std::string_view given)
{
    const auto type = parseExportType(given);
    return type ? std::string{exportTypeName(*type)} : std::string{};
}

std::string storedOrderName(std::string_view given)
{
    const auto order = parseExportOrder(given);
    return order ? std::string{exportOrderName(*order)} : std::string{};
}

bool isGrouped(ExportOrder order)
{
    return order == ExportOrder::CatDesc || order == ExportOrder::CatLoc;
}

bool isHtmlStyle(ExportType type)
{
    return type == ExportType::Simple || type == ExportType::Table || type == ExportType::Frame;
}

ExportNames exportNames(const std::string& file)
{
    // Only the file's own name is lower-cased: folders keep their case, or
    // the pages would go to a folder that does not exist.
    const std::string_view whole = text::clip(file);
    const std::size_t slash = whole.rfind('/');
    const std::size_t nameAt = slash == std::string_view::npos ? 0 : slash + 1;
    std::string name = text::lower(whole.substr(nameAt));
    if (const std::size_t htm = name.find(".htm"); htm != std::string::npos) {
        name.erase(htm);
    }
    ExportNames names;
    names.base = std::string{whole.substr(0, nameAt)} + std::string{text::clip(name)};
    const std::size_t last = names.base.find_last_of("\\/:");
    names.stem = last == std::string::npos ? names.base : names.base.substr(last + 1);
    return names;
}

ExportResult exportFile(Database& database, UiPort& ui, const ExportSettings& settings,
                        const ExportContext& context)
{
    ExportResult result;
    const std::optional<ExportOrder> order = parseExportOrder(settings.order);
    if (!order) {
        ui.showMessage({std::string{kCaption}, "Undefined export order.", MessageIcon::Exclamation,
                        ButtonOk, ButtonOk});
        result.message = "Undefined export order.";
        return result;
    }
    const std::optional<ExportType> type = parseExportType(settings.type);
    if (!type) {
        tell(ui, result, "Undefined export type.");
        return result;
    }
    std::shared_ptr<const Expression> filter;
    if (!compileFilter(ui, settings, context, filter, result)) {
        return result;
    }
    FileManager& bookmarks = database.bookmarks();
    FileManager& catHtml = database.catHtml();
    FileManager& keywords = database.keywords();
    FileManager& categories = database.categories();
    const bool html = isHtmlStyle(*type);
    // CSV, ASCII and the browsers' file have no templates.
    const bool preformatted = html && settings.preformatted;
    const bool netscape = *type == ExportType::Netscape;
    if (bookmarks.use() != kLevelDone) {
        result.message = "The bookmark file cannot be opened.";
        return result;
    }
    // Templates hold their own HTML: the category HTML is for the
    // built-in styles.
    const bool withHtml = html && !preformatted && catHtml.use() == kLevelDone;
    const bool withKeywords = netscape && keywords.use() == kLevelDone;
    const bool withCategories = preformatted && categories.use() == kLevelDone;

    ExportOutputs outputs;
    WriterSetup setup;
    setup.type = *type;
    setup.grouped = isGrouped(*order);
    setup.settings = &settings;
    setup.bodyInFrame = context.bodyInFrame;
    setup.today = context.today != 0 ? context.today : dates::today();
    setup.now = context.now != 0 ? context.now : static_cast<std::int64_t>(std::time(nullptr));
    setup.names = exportNames(settings.file);
    setup.outputs = &outputs;
    // Only the fixed columns keep to lines of 1,024 characters. A page's
    // line cut there could end inside an attribute whose escaped address
    // ran long, and the next field's text would then close it; browsers
    // read long titles and notes whole; a comma-separated line cut inside
    // its quotes would run into the next bookmark when read back.
    const bool cutLines = *type == ExportType::Ascii;
    setup.main = outputs.create(std::string{text::clip(settings.file)}, cutLines);
    const CategoryHtml categoryHtml{withHtml ? &catHtml.file() : nullptr};
    setup.categoryHtml = &categoryHtml;
    setup.keywords = withKeywords ? &keywords.file() : nullptr;
    setup.categories = withCategories ? &categories.file() : nullptr;
    setup.folder = database.engine().folder();
    setup.ui = &ui;

    RecordFile& file = bookmarks.file();
    std::string problem;
    if (outputs.failed() == nullptr) {
        const std::unique_ptr<ExportWriter> writer = makeWriter(setup);
        ui.beginProgress("Processing Records");
        ui.reportProgress(0, "Exporting");
        writeAll(*writer, file, ui, filter, settings, *order, outputs, result);
        problem = writer->problem();
        ui.endProgress();
    }
    const EngineStatus status = file.status();
    if (withKeywords) {
        keywords.close();
    }
    if (withHtml) {
        catHtml.close();
    }
    if (withCategories) {
        categories.close();
    }
    bookmarks.close();

    outputs.finishAll();
    if (!problem.empty()) {
        outputs.discardAll();
        tell(ui, result, problem);
        return result;
    }
    if (const ExportOutput* failed = outputs.failed(); failed != nullptr) {
        outputs.discardAll();
        tell(ui, result,
             (outputs.failedOpening() ? "Error opening " : "Error adding to ") + failed->path() +
                 ": " + failed->error().text);
        return result;
    }
    if (!result.cancelled && status.code != kNoMoreRecords && status.code != kNoError) {
        outputs.discardAll();
        bookmarks.reportReadError(status);
        result.message = "Reading the bookmarks stopped: " + status.text;
        return result;
    }
    if (const SystemResult committed = outputs.commitAll(); !committed.ok()) {
        outputs.discardAll();
        tell(ui, result, "Error adding to " + settings.file + ": " + committed.text);
        return result;
    }
    result.files = outputs.paths();
    result.done = true;
    return result;
}

} // namespace tessaly
