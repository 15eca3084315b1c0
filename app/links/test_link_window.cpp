#include "links/test_link_window.h"

#include "core/tables.h"

namespace tessaly::gui {

TestLinkWindow::TestLinkWindow(std::string_view address, Record& bookmark, Database& database,
                               std::int32_t today, QWidget* parent, HttpLimits limits)
    : NetworkStepsWindow(QStringLiteral("Test Link"), address,
                         std::make_unique<LinkTest>(address, bookmark, database, today, limits),
                         parent)
{}

int testBookmarkLink(Record& bookmark, Database& database, std::int32_t today, QWidget* parent)
{
    TestLinkWindow window(bookmark.text(BookmarkField::Location), bookmark, database, today,
                          parent);
    const int result = window.exec();
    storeLinkResult(database.bookmarks(), bookmark, result, today);
    return result;
}

} // namespace tessaly::gui
