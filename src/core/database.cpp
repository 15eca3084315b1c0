#include "core/database.h"

#include "core/tables.h"
#include "framework/text.h"

namespace tessaly {

namespace {

constexpr int kKeywordLocation = 0; // UDK:K_LOCATION, UDT:K_LOCATION
constexpr int kHtmlKey = 0;         // HTM:KEYCATEGORYHTML

} // namespace

Database::Database(MessageManager& messages, std::string folder)
    : messages_(messages), engine_(std::move(folder)),
      bookmarks_(engine_, bookmarkTable(), messages), import_(engine_, importTable(), messages),
      categories_(engine_, categoryTable(), messages), catHtml_(engine_, catHtmlTable(), messages),
      configuration_(engine_, configurationTable(), messages),
      keywords_(engine_, keywordTable(), messages), details_(engine_, detailTable(), messages),
      bookmarkRelations_(bookmarks_,
                         {{&bookmarks_, &keywords_, static_cast<int>(BookmarkField::Location),
                           static_cast<int>(KeywordField::Location), kKeywordLocation},
                          {&bookmarks_, &details_, static_cast<int>(BookmarkField::Location),
                           static_cast<int>(DetailField::Location), kKeywordLocation}},
                         messages),
      categoryRelations_(
          categories_,
          {{&categories_, &catHtml_, static_cast<int>(CategoryField::Category),
            static_cast<int>(CatHtmlField::Category), kHtmlKey},
           {&categories_, &bookmarks_, static_cast<int>(CategoryField::Category),
            static_cast<int>(BookmarkField::Category), static_cast<int>(BookmarkKey::Category)},
           {&bookmarks_, &keywords_, static_cast<int>(BookmarkField::Location),
            static_cast<int>(KeywordField::Location), kKeywordLocation},
           {&bookmarks_, &details_, static_cast<int>(BookmarkField::Location),
            static_cast<int>(DetailField::Location), kKeywordLocation}},
          messages)
{
    engine_.setCompanions(
        {std::string{categoryTable().container}, std::string{catHtmlTable().container}});
    bookmarks_.setCategoryLookup([this](std::string_view name) { return categoryExists(name); });
}

Database::~Database()
{
    closeAll();
}

bool Database::categoryExists(std::string_view name)
{
    if (categories_.use() != kLevelDone) {
        return false;
    }
    Record probe{categoryTable()};
    probe.setText(CategoryField::Category, name);
    const bool found = categories_.tryFetch(0, probe) == kLevelDone;
    categories_.close();
    return found;
}

int Database::addBookmarkWithCategory(Record& bookmark)
{
    if (const int level = bookmarks_.use(); level != kLevelDone) {
        return level;
    }
    if (const int level = categories_.use(); level != kLevelDone) {
        bookmarks_.close();
        return level;
    }
    // The write lock taken at the start keeps other writers out between
    // the look-up and the insert of the category.
    int level = kLevelDone;
    if (const EngineStatus begun = engine_.begin(); !begun.ok()) {
        level = bookmarks_.reportWriteError(begun, true);
    } else {
        const std::string category{text::clip(bookmark.text(BookmarkField::Category))};
        if (!category.empty() && !categoryExists(category)) {
            Record added{categoryTable()};
            added.setText(CategoryField::Category, category);
            level = categories_.insert(added);
        }
        if (level == kLevelDone) {
            level = bookmarks_.insert(bookmark);
        }
        if (level != kLevelDone) {
            engine_.rollback();
        } else if (const EngineStatus committed = engine_.commit(); !committed.ok()) {
            level = bookmarks_.reportWriteError(committed, true);
        }
    }
    categories_.close();
    bookmarks_.close();
    return level;
}

void Database::closeAll()
{
    for (FileManager* file :
         {&details_, &keywords_, &configuration_, &catHtml_, &categories_, &import_, &bookmarks_}) {
        while (file->users() > 0) {
            file->close();
        }
        if (file->file().isOpen()) {
            file->file().close();
        }
    }
    engine_.close();
}

} // namespace tessaly
