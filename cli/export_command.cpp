#include "export_command.h"

#include "core/database.h"
#include "core/tables.h"
#include "export/export_file.h"
#include "field_escape.h"
#include "framework/ini_file.h"
#include "framework/text.h"
#include "options.h"
#include "session.h"
#include "vocabulary.h"

namespace tessaly::cli {

namespace {

// Whether `category` is a stored category or the category of a bookmark
// (imports may give bookmarks categories that have no record), in any
// letter case, as the export's "Selected" compares.
bool categoryInUse(Database& database, const std::string& category)
{
    if (database.categoryExists(category)) {
        return true;
    }
    FileManager& bookmarks = database.bookmarks();
    if (bookmarks.use() != kLevelDone) {
        return true; // the export itself tells why the file cannot be read
    }
    RecordFile& file = bookmarks.file();
    file.set(static_cast<int>(BookmarkKey::Category));
    Record bookmark{bookmarkTable()};
    bool found = false;
    while (!found && file.next(bookmark).ok()) {
        found = text::equalNoCase(bookmark.text(BookmarkField::Category), category);
    }
    // A read that failed proves nothing: the export itself says why.
    found = found || file.status().code != kNoMoreRecords;
    bookmarks.close();
    return found;
}

// The export's own name of the order the key reads in.
std::string_view exportOrderOf(BookmarkKey key)
{
    switch (key) {
    case BookmarkKey::Location:
        return "Location";
    case BookmarkKey::Description:
        return "Description";
    case BookmarkKey::Category:
        return "CatDesc";
    case BookmarkKey::CategoryLocation:
        return "CatLoc";
    case BookmarkKey::Rating:
        return "Rating";
    case BookmarkKey::Keyword:
        return "Keyword";
    }
    return "Location";
}

} // namespace

std::string ExportCommand::usageNotes() const
{
    return orderSpellings();
}

int ExportCommand::run(const std::vector<std::string>& arguments, const Context& context)
{
    const Options options = parseOptions(
        arguments, {"order", "category", "query", "title", "template"}, {"rating", "siteinfo"});
    if (!options.error.empty()) {
        return usageError(options.error, context);
    }
    if (options.positional.size() != 2) {
        return usageError(options.positional.size() < 2 ? "give a type and a file"
                                                        : "unexpected " + options.positional[2],
                          context);
    }
    ExportSettings settings;
    settings.type = storedTypeName(options.positional[0]);
    if (settings.type.empty()) {
        return usageError("unknown type " + options.positional[0], context);
    }
    // A browser shows its bookmarks in folders: by category unless asked.
    const std::string order = options.get("order").value_or(
        settings.type == "Netscape" || settings.type == "XBEL" ? "catdesc" : "location");
    const std::optional<BookmarkKey> key = orderNamed(order);
    if (!key) {
        return usageError("unknown order " + order, context);
    }
    settings.order = storedOrderName(exportOrderOf(*key));
    if (options.has("template") && settings.type != "Simple" && settings.type != "Table" &&
        settings.type != "Frame") {
        return usageError("--template goes with simple, table or frame only", context);
    }
    if (options.has("category") && options.has("query")) {
        return usageError("give --category or --query, not both", context);
    }
    std::shared_ptr<const Expression> filter;
    if (!queryFilter(options, name(), context.err, filter)) {
        return kExitUsage;
    }
    ExportContext exportContext;
    if (options.has("category")) {
        settings.assignment = "Selected";
        settings.category = std::string{text::fit(text::trim(*options.get("category")), 50)};
    } else if (options.has("query")) {
        settings.assignment = "Query";
        exportContext.query = options.get("query");
    }
    settings.file = callerPath(options.positional[1]);
    settings.pageTitle = options.get("title").value_or("");
    settings.rating = options.has("rating");
    settings.siteInfo = options.has("siteinfo");
    if (const std::optional<std::string> chosen = options.get("template")) {
        // "default": the Default_ templates of the data folder.
        settings.preformatted = true;
        settings.templateFile = *chosen == "default" ? std::string{} : callerPath(*chosen);
    }

    Session session{context};
    if (!session.start()) {
        return kExitFailure;
    }
    // A mistyped category would write an empty file over the last export.
    if (settings.assignment == "Selected" &&
        !categoryInUse(session.database(), settings.category)) {
        return usageError("no bookmark is in the category " + settings.category, context);
    }
    exportContext.bodyInFrame =
        text::trim(readIniValue("TESSLY.INI", "Settings", "BodyInFrame")) == "1";
    const ExportResult result =
        exportFile(session.database(), session.ui(), settings, exportContext);
    if (!result.done) {
        return kExitFailure; // the message is on the error stream
    }
    for (const std::string& file : result.files) {
        context.out << tsvField(file) << '\n';
    }
    return kExitOk;
}

} // namespace tessaly::cli
