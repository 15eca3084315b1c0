#include "bookmarks/categories.h"

#include "core/tables.h"
#include "framework/text.h"

namespace tessaly {

namespace {

constexpr std::uint16_t kMsgConfirmDelete = 9;

} // namespace

bool isReservedCategory(std::string_view name)
{
    const std::string lower = text::lower(text::clip(name));
    return lower == "_before all" || lower == "_after all";
}

std::vector<Record> listCategories(Database& database, bool withReserved)
{
    std::vector<Record> out;
    FileManager& categories = database.categories();
    if (categories.use() != kLevelDone) {
        return out;
    }
    RecordFile& file = categories.file();
    file.set(0);
    Record row{categoryTable()};
    while (file.next(row).ok()) {
        if (withReserved || !isReservedCategory(row.text(CategoryField::Category))) {
            out.push_back(row);
        }
    }
    categories.close();
    return out;
}

int saveCategory(Database& database, const Record& original, const Record& changed)
{
    MessageManager& messages = database.messages();
    if (text::trim(changed.text(CategoryField::Category)).empty()) {
        messages.ui().showMessage({"Missing Information", "Category must be entered.",
                                   MessageIcon::Exclamation, ButtonOk, ButtonOk});
        return kLevelNotify;
    }
    RelationManager& relations = database.categoryRelations();
    if (const int level = relations.open(); level != kLevelDone) {
        return level;
    }
    Record row = changed;
    const int level = original.position == 0 ? database.categories().insert(row)
                                             : relations.update(original, row);
    relations.close();
    return level;
}

std::int64_t bookmarksInCategory(Database& database, std::string_view category)
{
    FileManager& bookmarks = database.bookmarks();
    if (bookmarks.use() != kLevelDone) {
        return 0;
    }
    RecordFile& file = bookmarks.file();
    Record start{bookmarkTable()};
    start.setText(BookmarkField::Category, category);
    file.set(static_cast<int>(BookmarkKey::Category), start);
    Record row{bookmarkTable()};
    std::int64_t count = 0;
    while (file.next(row).ok() && text::equalNoCase(row.text(BookmarkField::Category), category)) {
        ++count;
    }
    bookmarks.close();
    return count;
}

int deleteCategory(Database& database, const Record& category)
{
    MessageManager& messages = database.messages();
    const std::string name{text::clip(category.text(CategoryField::Category))};
    const std::int64_t held = bookmarksInCategory(database, name);
    if (held > 0) {
        // The cascade takes the bookmarks too: the question must say so,
        // and a hurried Enter must keep them.
        const std::string what =
            held == 1 ? "the 1 bookmark" : "the " + std::to_string(held) + " bookmarks";
        if (messages.ui().showMessage(
                {"Confirm Delete",
                 "Delete the category \"" + name + "\" and " + what +
                     " in it?\n\nTheir keywords and details are deleted with them.",
                 MessageIcon::Exclamation, ButtonYes | ButtonNo, ButtonNo}) != ButtonYes) {
            return kLevelCancel;
        }
    } else {
        MessageManager::setFile(database.categories().name());
        if (messages.raise(kMsgConfirmDelete) != kLevelBenign) {
            return kLevelCancel;
        }
    }
    RelationManager& relations = database.categoryRelations();
    if (const int level = relations.open(); level != kLevelDone) {
        return level;
    }
    const int level = relations.remove(category);
    relations.close();
    return level;
}

int saveCategoryHtml(Database& database, Record& row)
{
    FileManager& html = database.catHtml();
    if (const int level = html.use(); level != kLevelDone) {
        return level;
    }
    const int level = row.position == 0 ? html.insert(row) : html.update(row);
    html.close();
    return level;
}

std::vector<Record> categoryHtml(Database& database, std::string_view category)
{
    std::vector<Record> out;
    FileManager& html = database.catHtml();
    if (html.use() != kLevelDone) {
        return out;
    }
    RecordFile& file = html.file();
    Record start{catHtmlTable()};
    start.setText(CatHtmlField::Category, category);
    file.set(0, start);
    Record row{catHtmlTable()};
    while (file.next(row).ok() && text::equalNoCase(row.text(CatHtmlField::Category), category)) {
        out.push_back(row);
    }
    html.close();
    return out;
}

} // namespace tessaly
