#include "bookmarks/list_actions.h"

#include "core/tables.h"
#include "framework/text.h"

namespace tessaly {

std::string actionText(std::string_view choice, const Record& bookmark)
{
    if (choice == "Rating") {
        return std::to_string(bookmark.number(BookmarkField::Rating));
    }
    BookmarkField field = BookmarkField::Location;
    if (choice == "Description") {
        field = BookmarkField::Description;
    } else if (choice == "Category") {
        field = BookmarkField::Category;
    } else if (choice == "Keyword") {
        field = BookmarkField::Keyword;
    } else if (choice == "Site Information") {
        field = BookmarkField::SiteInfo;
    }
    return std::string{text::clip(bookmark.text(field))};
}

int recordVisit(FileManager& bookmarks, std::string_view location, std::int32_t today)
{
    Record bookmark{bookmarkTable()};
    bookmark.setText(BookmarkField::Location, location);
    if (const int level = bookmarks.fetch(static_cast<int>(BookmarkKey::Location), bookmark);
        level != kLevelDone) {
        return level;
    }
    bookmark.setNumber(BookmarkField::LastVisit, today);
    return bookmarks.update(bookmark);
}

bool launchAction(std::string_view choice, const Record& bookmark, FileManager& bookmarks,
                  std::int32_t today, const LaunchStarter& launch, UiPort& ui)
{
    if (choice == "Category" || choice == "Keyword" || choice == "Rating") {
        ui.showMessage({"Error", "No program associated with " + std::string{choice} + ".",
                        MessageIcon::Exclamation, ButtonOk, ButtonOk});
        return false;
    }
    const std::string target = actionText(choice, bookmark);
    launch(target);
    if (choice == "URL") {
        recordVisit(bookmarks, target, today);
    }
    return true;
}

} // namespace tessaly
