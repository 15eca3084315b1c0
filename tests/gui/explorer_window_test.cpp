#include "bookmarks/browse_window.h"
#include "bookmarks/categories.h"
#include "bookmarks/explorer_window.h"
#include "categories/category_table.h"
#include "core/services.h"
#include "core/tables.h"
#include "frame/main_frame.h"
#include "platform/launcher.h"

#include "started_services.h"

#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSplitter>
#include <QTableView>
#include <QtTest>

using namespace tessaly;

namespace {

struct Fixture : test::StartedServices {
    Fixture()
    {
        for (const char* name : {"Art", "News", "_Before All"}) {
            Record c{categoryTable()};
            c.setText(CategoryField::Category, name);
            saveCategory(services.database(), Record{categoryTable()}, c);
        }
        FileManager& bookmarks = services.database().bookmarks();
        bookmarks.use();
        const std::pair<const char*, const char*> rows[] = {{"http://n1/", "News"},
                                                            {"http://n2/", "News"},
                                                            {"http://n3/", "news"},
                                                            {"http://a1/", "Art"}};
        int i = 0;
        for (const auto& [location, category] : rows) {
            Record b{bookmarkTable()};
            b.setText(BookmarkField::Location, location);
            b.setText(BookmarkField::Description, "Site " + std::to_string(9 - i++));
            b.setText(BookmarkField::Category, category);
            bookmarks.insert(b);
        }
        bookmarks.close();
    }
};

} // namespace

class ExplorerWindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theRightListFollowsTheHighlightedCategory()
    {
        Fixture f;
        gui::ExplorerWindow explorer(f.services, f.opener);
        QCOMPARE(explorer.windowTitle(), QStringLiteral("Browse Locations by Category"));
        QCOMPARE(explorer.categories()->rowCount(), 3); // reserved ones shown
        explorer.categories()->locate("News");
        gui::BrowseWindow* right = explorer.bookmarks();
        QCOMPARE(right->model()->rowCount(), 2); // "news" in other letters is not News
        QCOMPARE(right->model()->headerData(5, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("Last Validated"));
        QCOMPARE(right->model()->headerData(6, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("Last Visit"));
        QCOMPARE(right->model()->columnCount(), 14); // no category column
        explorer.categories()->locate("Art");
        QCOMPARE(right->model()->rowCount(), 1);

        explorer.categories()->locate("News");
        auto* locate = right->findChild<QLineEdit*>("LocateDescription");
        QVERIFY(locate != nullptr);
        QCOMPARE(locate->toolTip(), QStringLiteral("Description of site"));
        locate->setText("Site 8"); // the key K_CATEGORY keeps letter case
        Q_EMIT locate->returnPressed();
        const int row = right->table()->selectionModel()->selectedRows().front().row();
        QCOMPARE(right->model()->bookmark(row).text(BookmarkField::Description),
                 std::string{"Site 8"});

        f.ui.queryAnswers = {"URL:Description = 'Site 9'"};
        right->query();
        QCOMPARE(right->model()->rowCount(), 1); // the query within the category
    }

    void theDividerKeepsBothListsInSight()
    {
        Fixture f;
        gui::ExplorerWindow explorer(f.services, f.opener);
        explorer.resize(900, 500);
        explorer.show();
        explorer.splitter()->setSizes({0, 900});
        QVERIFY(explorer.splitter()->sizes().value(0) > 0);
        explorer.splitter()->setSizes({900, 0});
        QVERIFY(explorer.splitter()->sizes().value(1) > 0);
    }

    void theFrameOpensItOnceAndAtStartUpByTheSetting()
    {
        Fixture f;
        f.services.settings().startupBrowse = "Category";
        f.services.settingsStore().save(f.services.settings());
        gui::MainFrame frame{f.services};
        frame.setOpener(&f.opener);
        frame.setShowSplash(false);
        QVERIFY(frame.initialise());
        frame.show();
        QTRY_COMPARE(frame.mdiArea()->subWindowList().size(), 1);
        QVERIFY(
            qobject_cast<gui::ExplorerWindow*>(frame.mdiArea()->subWindowList().front()->widget()));
        frame.openExplorer();
        QCOMPARE(frame.mdiArea()->subWindowList().size(), 1);
        frame.mdiArea()->closeAllSubWindows();
    }
};

QTEST_MAIN(ExplorerWindowTest)
#include "explorer_window_test.moc"
