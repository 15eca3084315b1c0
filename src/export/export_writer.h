#pragma once

#include "export/export_file.h"
#include "export/export_output.h"

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessaly {

class Record;
class RecordFile;
class UiPort;

enum class ExportType { Simple, Table, Frame, Csv, Ascii, Netscape, Xbel };
enum class ExportOrder { Location, Description, Keyword, CatDesc, CatLoc, Rating };

// Types and orders by their stored names, in any letter case.
std::optional<ExportType> parseExportType(std::string_view name);
std::optional<ExportOrder> parseExportOrder(std::string_view name);
std::string_view exportTypeName(ExportType type);
std::string_view exportOrderName(ExportOrder order);
bool isGrouped(ExportOrder order);
bool isHtmlStyle(ExportType type);

// The user's own HTML for a category (file CatHTML): by type number 1
// "Replace Title" to 5 "After Category", or all of a category's records in
// key order. A missing record is blank text.
class CategoryHtml final {
public:
    explicit CategoryHtml(RecordFile* file) : file_(file) {}
    std::string text(int type, std::string_view category) const;
    // (type, text) of every record of `category`, in key order.
    std::vector<std::pair<std::string, std::string>> all(std::string_view category) const;

private:
    RecordFile* file_;
};

// One format's lines: the opening lines, a step per bookmark read (already
// filtered and selected), the closing lines. Writes go to outputs made in
// ExportOutputs; their errors are checked by the caller between records.
class ExportWriter {
public:
    virtual ~ExportWriter() = default;
    // Readies what the lines need (templates) before the opening lines.
    virtual void prepare() {}
    // Why the run cannot go on (a template that cannot be read, pages past
    // their limit); empty while all is well.
    virtual std::string problem() const { return {}; }
    // True when the writer must see every bookmark it will be given before
    // its opening lines (the contents a page shows at its top, the last
    // bookmark): the caller then reads them once before, each to preview().
    virtual bool wantsPreview() const { return false; }
    virtual void preview(const Record& /*bookmark*/) {}
    // The bookmark fields record() and preview() look at; the others may
    // come to them blank. Empty, the default, gives them every field.
    virtual std::vector<int> fields() const { return {}; }
    virtual void opening() = 0;
    virtual void record(const Record& bookmark) = 0;
    virtual void closing() = 0;
};

// What every writer is made with.
struct WriterSetup {
    ExportType type = ExportType::Table;
    bool grouped = false;
    const ExportSettings* settings = nullptr;
    bool bodyInFrame = false;
    std::int32_t today = 0;
    std::int64_t now = 0;
    ExportNames names;
    ExportOutputs* outputs = nullptr;
    ExportOutput* main = nullptr;
    const CategoryHtml* categoryHtml = nullptr;
    RecordFile* keywords = nullptr; // the keyword rows, for the browsers' tags
    // The pre-formatted export: the category descriptions, the folder its
    // templates live in and the user it tells of empty ones.
    RecordFile* categories = nullptr;
    std::string folder;
    UiPort* ui = nullptr;
};

std::unique_ptr<ExportWriter> makeHtmlWriter(const WriterSetup& setup);
std::unique_ptr<ExportWriter> makeTextWriter(const WriterSetup& setup);
std::unique_ptr<ExportWriter> makeNetscapeWriter(const WriterSetup& setup);
std::unique_ptr<ExportWriter> makeXbelWriter(const WriterSetup& setup);
std::unique_ptr<ExportWriter> makeTemplateWriter(const WriterSetup& setup);

// "Tessaly 2000 2.4": who made the pages.
std::string productLine();

} // namespace tessaly
