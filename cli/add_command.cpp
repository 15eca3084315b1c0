#include "add_command.h"

#include "core/tables.h"
#include "dispatcher.h"
#include "field_escape.h"
#include "framework/text.h"
#include "framework/utf8.h"
#include "options.h"
#include "session.h"

#include <algorithm>
#include <charconv>

namespace tessaly::cli {

namespace {

bool readRating(const std::string& text, int& rating)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), rating);
    return error == std::errc{} && end == text.data() + text.size() && rating >= 0 && rating <= 99;
}

// Sets a text field, saying on the error stream when the value is longer
// than the field holds. An address is never cut (fitsAddress is checked
// first); the other fields keep their widths.
void setField(Record& record, BookmarkField field, std::string_view value, const Context& context)
{
    const int index = static_cast<int>(field);
    const auto width = static_cast<std::size_t>(record.table().width(index));
    if (utf8::length(text::fit(value, std::string_view::npos)) > width) {
        context.err << "tessaly-cli add: warning: " << record.table().schema->fields()[index].label
                    << " holds " << width << " characters; the rest is cut\n";
    }
    record.setText(field, value);
}

} // namespace

int AddCommand::run(const std::vector<std::string>& arguments, const Context& context)
{
    const Options options =
        parseOptions(arguments, {"description", "category", "keyword", "rating"});
    if (!options.error.empty() || options.positional.size() != 1 ||
        text::trim(options.positional[0]).empty()) {
        return usageError(options.error.empty() ? "give one URL" : options.error, context);
    }
    // No address holds a control character; stored, one would become
    // another address wherever it is written (a bookmark file, a sync).
    if (const std::string_view given = text::trim(options.positional[0]);
        std::any_of(given.begin(), given.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x20U || c == 0x7F; })) {
        context.err << "tessaly-cli add: the URL holds a control character (a line break, a "
                       "tab or another): type it again without\n";
        return kExitUsage;
    }
    int rating = 0;
    if (const auto value = options.get("rating"); value && !readRating(*value, rating)) {
        context.err << "tessaly-cli add: the rating must be a whole number from 0 to 99\n";
        return kExitUsage;
    }
    Session session{context};
    if (!session.start(Session::Access::Write)) {
        return kExitFailure;
    }
    Database& db = session.database();
    if (db.categoryRelations().open() != kLevelDone) {
        return kExitFailure;
    }
    const std::string_view location = text::trim(options.positional[0]);
    if (!fitsAddress(location)) {
        context.err << "tessaly-cli add: " << addressTooLong() << '\n';
        return kExitUsage;
    }
    const std::string category = options.get("category").value_or("");
    Record bookmark{bookmarkTable()};
    setField(bookmark, BookmarkField::Location, location, context);
    setField(bookmark, BookmarkField::Description, options.get("description").value_or(""),
             context);
    setField(bookmark, BookmarkField::Category, text::trim(category), context);
    setField(bookmark, BookmarkField::Keyword, options.get("keyword").value_or(""), context);
    bookmark.setNumber(BookmarkField::Rating, rating);
    // Said in the terminal's words; the insert would say it in the windows'.
    Record stored = bookmark;
    if (db.bookmarks().use() == kLevelDone) {
        const bool found =
            db.bookmarks().tryFetch(static_cast<int>(BookmarkKey::Location), stored) == kLevelDone;
        db.bookmarks().close();
        if (found) {
            context.err << "tessaly-cli add: " << stored.text(BookmarkField::Location)
                        << " is stored already\n";
            return kExitFailure;
        }
    }
    if (db.addBookmarkWithCategory(bookmark) != kLevelDone) {
        return kExitFailure; // the message has said why
    }
    context.out << "Added " << tsvField(bookmark.text(BookmarkField::Location)) << '\n';
    return kExitOk;
}

} // namespace tessaly::cli
