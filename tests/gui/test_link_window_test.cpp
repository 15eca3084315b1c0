#include "bookmarks/browse_window.h"
#include "core/services.h"
#include "core/tables.h"
#include "links/invalid_shortcuts_window.h"
#include "links/test_link_window.h"

#include "local_server.h"
#include "pipe_shortcut.h"
#include "started_services.h"
#include "stored_bookmark.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <filesystem>
#include <fstream>

using namespace tessaly;
using tessaly::gui::BrowseWindow;
using tessaly::gui::TestLinkWindow;

namespace {

struct Fixture : test::StartedServices {
    test::LocalServer local;
    test::SilentPort silent;

    Fixture()
    {
        local.server.Get("/ok", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("<title>Fine</title>", "text/html");
        });
        local.server.Get("/gone", [](const httplib::Request&, httplib::Response& response) {
            response.status = 410;
        });
    }

    void add(const std::string& location)
    {
        FileManager& bookmarks = services.database().bookmarks();
        bookmarks.use();
        Record r{bookmarkTable()};
        r.setText(BookmarkField::Location, location);
        r.setText(BookmarkField::Description, location);
        bookmarks.insert(r);
        bookmarks.close();
    }

    Record stored(const std::string& location)
    {
        return test::storedBookmark(services.database(), location);
    }
};

// Presses "Cancel" of the test window once it is up.
void cancelWhenShown(int delayMs)
{
    QTimer::singleShot(delayMs, [] {
        if (auto* window = qobject_cast<TestLinkWindow*>(QApplication::activeModalWidget())) {
            for (QPushButton* b : window->findChildren<QPushButton*>()) {
                if (b->text() == QStringLiteral("Cancel")) {
                    b->click();
                }
            }
        }
    });
}

} // namespace

class TestLinkWindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theWindowShowsTheAddressAndTheLogAndReturnsTheResult()
    {
        Fixture f;
        Record bookmark{bookmarkTable()};
        bookmark.setText(BookmarkField::Location, f.local.url("/ok"));
        TestLinkWindow window(f.local.url("/ok"), bookmark, f.services.database(), 100000);
        QCOMPARE(window.windowTitle(), QStringLiteral("Test Link"));
        QCOMPARE(window.exec(), int{kLinkPass});
        QCOMPARE(window.findChild<QLabel*>(QStringLiteral("Address"))->text(),
                 QString::fromStdString(f.local.url("/ok")));
        const auto* log = window.findChild<QListWidget*>(QStringLiteral("Log"));
        QVERIFY(!log->findItems(QStringLiteral("Waiting for response"), Qt::MatchExactly).empty());
        QVERIFY(!log->findItems(QStringLiteral("200: "), Qt::MatchStartsWith).empty());
        QCOMPARE(bookmark.text(BookmarkField::Description), std::string{"Fine"});
    }

    void theListStoresEachResultAndShowsIt()
    {
        Fixture f;
        f.add(f.local.url("/gone"));
        f.add(f.local.url("/ok"));
        BrowseWindow list(f.services, f.opener);
        list.setToday([] { return 100000; });
        list.show();
        auto* test = list.findChild<QPushButton*>(QStringLiteral("Test"));
        QVERIFY(test != nullptr && test->isEnabled());
        for (int row = 0; row < 2; ++row) {
            list.table()->selectRow(row);
            test->click();
        }
        const Record gone = f.stored(f.local.url("/gone"));
        QCOMPARE(gone.number(BookmarkField::Validated), 2);
        QCOMPARE(gone.number(BookmarkField::LastValidated), 100000);
        const Record ok = f.stored(f.local.url("/ok"));
        QCOMPARE(ok.number(BookmarkField::Validated), 1);
        QCOMPARE(ok.number(BookmarkField::LastValidated), 100000);
        QVERIFY(list.isVisible());
    }

    void cancelAbandonsAWaitingTestAndKeepsTheListWithItsHighlight()
    {
        Fixture f;
        f.add(f.local.url("/ok"));
        f.add(f.silent.url());
        BrowseWindow list(f.services, f.opener);
        list.show();
        // The silent server's row, whichever place the list's order gives it.
        const QAbstractItemModel* rows = list.table()->model();
        int silentRow = -1;
        for (int r = 0; r < rows->rowCount(); ++r) {
            for (int c = 0; c < rows->columnCount(); ++c) {
                if (rows->index(r, c).data().toString().toStdString() == f.silent.url()) {
                    silentRow = r;
                }
            }
        }
        QVERIFY(silentRow >= 0);
        list.table()->selectRow(silentRow);
        cancelWhenShown(200);
        QElapsedTimer clock;
        clock.start();
        // Through the button, as the user presses it.
        list.findChild<QPushButton*>(QStringLiteral("Test"))->click();
        QVERIFY(clock.elapsed() < 10000); // the server would keep it far longer
        QVERIFY(list.isVisible());
        QCOMPARE(list.table()->currentIndex().row(), silentRow);
        QCOMPARE(f.stored(f.silent.url()).number(BookmarkField::LastValidated), 0);
    }

    void theFavoritesCheckListsOnlyTheShortcutsThatFail()
    {
        Fixture f;
        test::TempFolder favorites;
        const auto shortcut = [&](const std::string& name, const std::string& url) {
            std::filesystem::create_directories(
                std::filesystem::path{favorites.file(name)}.parent_path());
            std::ofstream{favorites.file(name)} << "[InternetShortcut]\nURL=" << url << "\n";
        };
        shortcut("Fine.url", f.local.url("/ok"));
        shortcut("News/Daily.url", f.local.url("/gone"));
        shortcut("News/Gone.url", f.local.url("/gone"));
        std::ofstream{favorites.file("notes.txt")} << "not a shortcut";
        // Hidden entries are not listed.
        std::ofstream{favorites.file(".directory")} << "[Desktop Entry]\n";
        shortcut(".hiddendir/secret.url", f.local.url("/gone"));
        f.services.settings().favoritesPath = favorites.path();

        gui::InvalidShortcutsWindow window(f.services, 100000);
        QVERIFY(window.collectAndTest());
        QCOMPARE(window.windowTitle(), QStringLiteral("Invalid URLs"));
        QCOMPARE(window.findChild<QLabel*>()->text(), QStringLiteral("Loading locations from:\n") +
                                                          QString::fromStdString(favorites.path()));
        auto* list = window.findChild<QTreeWidget*>(QStringLiteral("Shortcuts"));
        QCOMPARE(list->headerItem()->text(0), QStringLiteral("Shortcut"));
        QCOMPARE(list->headerItem()->text(1), QStringLiteral("URL"));
        QCOMPARE(list->topLevelItemCount(), 3);
        QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("News/Daily.url"));
        QCOMPARE(list->topLevelItem(1)->text(0), QStringLiteral("News/Gone.url"));
        QCOMPARE(list->topLevelItem(2)->text(0), QStringLiteral("notes.txt"));
        QCOMPARE(list->topLevelItem(2)->text(1), QString{});

        // A pipe named like a shortcut is listed (it is no shortcut) but
        // never read: reading it would wait for a writer for ever.
        test::PipeShortcut pipe{favorites.file("x.url"), std::chrono::seconds(10)};
        QVERIFY(window.collectAndTest());
        QVERIFY(!pipe.rescued());
        QCOMPARE(list->topLevelItemCount(), 4);
        QCOMPARE(list->topLevelItem(3)->text(0), QStringLiteral("x.url"));

        // The tests concern no bookmark: no status lines were left behind.
        FileManager& details = f.services.database().details();
        details.use();
        QCOMPARE(details.file().records(), std::int64_t{0});
        details.close();
    }
};

QTEST_MAIN(TestLinkWindowTest)
#include "test_link_window_test.moc"
