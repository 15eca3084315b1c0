#include "bookmarks/bookmark_form_window.h"
#include "bookmarks/browse_window.h"
#include "core/services.h"
#include "core/tables.h"
#include "frame/main_frame.h"
#include "framework/dates.h"
#include "framework/picture.h"
#include "framework/window_register.h"

#include "damaged_file.h"
#include "scripted_ui.h"
#include "temp_folder.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTabBar>
#include <QTableView>
#include <QtTest>

#include <chrono>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace tessaly;
using tessaly::gui::BrowseWindow;

namespace {

// Launches run on a worker thread: what the opener saw is read under a lock.
struct RecordingOpener final : Opener {
    int open(const std::string& target, const std::string& parameters) override
    {
        if (delay.count() > 0) {
            std::this_thread::sleep_for(delay);
        }
        const std::lock_guard lock(mutex);
        opened_.push_back(target + (parameters.empty() ? "" : " " + parameters));
        return result;
    }
    bool start(const std::string&) override { return false; }
    std::vector<std::string> opened()
    {
        const std::lock_guard lock(mutex);
        return opened_;
    }

    std::chrono::milliseconds delay{0};
    int result = kOpenedOk;

private:
    std::mutex mutex;
    std::vector<std::string> opened_;
};

QPushButton* buttonText(QWidget& window, const QString& text)
{
    for (QPushButton* button : window.findChildren<QPushButton*>()) {
        if (button->text() == text) {
            return button;
        }
    }
    return nullptr;
}

struct Fixture {
    test::TempFolder folder;
    test::TempFolder prefix;
    test::ScriptedUi ui;
    Services services{ui, folder.path(), prefix.path()};
    RecordingOpener opener;

    explicit Fixture(int count = 0)
    {
        services.start();
        FileManager& bookmarks = services.database().bookmarks();
        bookmarks.use();
        bookmarks.file().stream();
        for (int i = 0; i < count; ++i) {
            Record r{bookmarkTable()};
            r.setText(BookmarkField::Location,
                      "http://site" + std::to_string(100 + i) + ".example/");
            r.setText(BookmarkField::Description, "Site " + std::to_string(100 + i));
            r.setText(BookmarkField::Category, i % 3 == 0 ? "News" : "Misc");
            r.setText(BookmarkField::Keyword, "K" + std::to_string(i % 7));
            r.setNumber(BookmarkField::Rating, i % 10);
            r.setNumber(BookmarkField::Validated, i % 3);
            r.setText(BookmarkField::SiteInfo, "Info " + std::to_string(i));
            bookmarks.file().add(r);
        }
        bookmarks.file().flush();
        bookmarks.close();
    }
};

} // namespace

class BrowseWindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void titleCountsAndLoadingMode()
    {
        for (const auto& [count, paging] : {std::pair{0, false}, {300, false}, {301, true}}) {
            Fixture f(count);
            BrowseWindow list(f.services, f.opener);
            QCOMPARE(list.windowTitle(), QStringLiteral("Browse Locations (%1)").arg(count));
            QCOMPARE(list.paging(), paging);
            QCOMPARE(list.model()->rowCount(), count);
        }
    }

    void aDamagedFileIsReportedWhenTheListLoads()
    {
        Fixture f(120);
        test::damageRootPage(f.folder.file("URLDATA.tps"), "Locations");
        BrowseWindow list(f.services, f.opener);
        QVERIFY(!f.ui.shown.empty());
        QCOMPARE(QString::fromStdString(f.ui.last().title),
                 QStringLiteral("Record Retrieval Error"));
        QVERIFY(list.model()->rowCount() < 120);
    }

    void modelPassesTheTester()
    {
        Fixture f(400);
        BrowseWindow list(f.services, f.opener);
        QAbstractItemModelTester tester(list.model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        list.reload();
        QCOMPARE(list.model()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("Description"));
        QCOMPARE(list.model()->headerData(14, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("Site Info"));
        QVERIFY(!list.model()->data(list.model()->index(0, 0), Qt::DecorationRole).isNull());
    }

    void tabsOrderAndTheLocatorFinds()
    {
        Fixture f(350);
        BrowseWindow list(f.services, f.opener);
        list.tabs()->setCurrentIndex(3); // Rating
        const auto rating = [&](int row) {
            return list.model()
                ->data(list.model()->index(row, gui::BookmarkListModel::Rating), Qt::DisplayRole)
                .toString();
        };
        QCOMPARE(rating(0), QStringLiteral("9"));
        QCOMPARE(rating(list.model()->rowCount() - 1), QString{}); // a zero rating is blank

        list.tabs()->setCurrentIndex(0); // Description
        list.table()->setFocus();
        QTest::keyClicks(list.table(), "site 25");
        const int row = list.table()->selectionModel()->selectedRows().front().row();
        QVERIFY(list.model()
                    ->data(list.model()->index(row, 1), Qt::DisplayRole)
                    .toString()
                    .startsWith("Site 25"));
    }

    void copyTakesTheChosenField()
    {
        Fixture f(5);
        BrowseWindow list(f.services, f.opener);
        list.tabs()->setCurrentIndex(1); // Location
        list.table()->selectRow(0);
        list.copyAction();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("http://site100.example/"));
        list.actionChoice()->setCurrentText("Rating");
        list.copyAction();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("0"));
        list.actionChoice()->setCurrentText("Site Information");
        list.copyAction();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("Info 0"));

        Fixture empty;
        BrowseWindow none(empty.services, empty.opener);
        QGuiApplication::clipboard()->setText("old");
        none.copyAction();
        QCOMPARE(QGuiApplication::clipboard()->text(), QString{}); // an empty list copies nothing
    }

    void launchRecordsTheVisitAndRefusesRatings()
    {
        Fixture f(3);
        BrowseWindow list(f.services, f.opener);
        list.setToday([] { return dates::dayNumber(2026, 12, 7); });
        list.tabs()->setCurrentIndex(1);
        list.table()->selectRow(1);
        list.launchAction();
        QTRY_COMPARE(f.opener.opened(), (std::vector<std::string>{"http://site101.example/"}));
        list.reload();
        QCOMPARE(
            list.model()
                ->data(list.model()->index(1, gui::BookmarkListModel::LastVisit), Qt::DisplayRole)
                .toString()
                .toStdString(),
            format(dates::dayNumber(2026, 12, 7), "@d17"));

        list.actionChoice()->setCurrentText("Rating");
        list.launchAction();
        QCOMPARE(f.opener.opened().size(), std::size_t{1});
        QCOMPARE(f.ui.last().title, std::string{"Error"});
        QCOMPARE(f.ui.last().text, std::string{"No program associated with Rating."});
    }

    void doubleClickStartsTheUrlWhenSetTo()
    {
        Fixture f(2);
        f.services.settings().doubleClickAction = "Start URL";
        BrowseWindow list(f.services, f.opener);
        QSignalSpy minimise(&list, &BrowseWindow::minimiseFrameRequested);
        Q_EMIT list.table()->doubleClicked(list.model()->index(0, 1));
        QTRY_COMPARE(minimise.count(), 1);
        QCOMPARE(f.opener.opened().size(), std::size_t{1});

        f.services.settings().doubleClickAction = "Edit Record";
        QString formTitle;
        auto* poll = new QTimer(&list);
        connect(poll, &QTimer::timeout, &list, [&formTitle, poll] {
            if (auto* form =
                    qobject_cast<gui::BookmarkFormWindow*>(QApplication::activeModalWidget())) {
                poll->stop();
                formTitle = form->windowTitle();
                form->reject();
            }
        });
        poll->start(10);
        Q_EMIT list.table()->doubleClicked(list.model()->index(0, 1));
        QCOMPARE(formTitle, QStringLiteral("Edit Location")); // any other setting edits
        QCOMPARE(f.opener.opened().size(), std::size_t{1});
    }

    void aLaunchKeepsTheWindowsAnsweringAndReportsItsFailureLater()
    {
        Fixture f(2);
        f.opener.delay = std::chrono::milliseconds(1500);
        f.opener.result = kOpenNoAssociation;
        BrowseWindow list(f.services, f.opener);
        list.show();
        list.table()->selectRow(0);
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(buttonText(list, "Launch URL"), Qt::LeftButton);
        QVERIFY2(clock.elapsed() < 1000, "the click waited for the opener");
        QVERIFY(f.ui.shown.empty());
        QTRY_COMPARE_WITH_TIMEOUT(f.ui.shown.size(), std::size_t{1}, 5000);
        QCOMPARE(f.ui.last().title, std::string{"Error Code 31"});
        QCOMPARE(f.ui.last().text, std::string{"Could not start http://site100.example/."});
    }

    void aFailedDoubleClickLaunchLeavesTheFrameAsItWas()
    {
        Fixture f(2);
        f.opener.result = kOpenNoAssociation;
        gui::MainFrame frame{f.services};
        frame.setOpener(&f.opener);
        frame.setShowSplash(false);
        QVERIFY(frame.initialise());
        f.services.settings().doubleClickAction = "Start URL";
        frame.show();
        frame.openBookmarkList();
        auto* list =
            qobject_cast<BrowseWindow*>(frame.mdiArea()->subWindowList().front()->widget());
        QVERIFY(list != nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        const QRect cell = list->table()->visualRect(list->model()->index(0, 1));
        // A view takes a double-click on the row its first press chose.
        QTest::mouseClick(list->table()->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(list->table()->viewport(), Qt::LeftButton, {}, cell.center());
        QTRY_COMPARE(f.ui.shown.size(), std::size_t{1});
        QCOMPARE(f.ui.last().text, std::string{"Could not start http://site100.example/."});
        QTest::qWait(50);
        QVERIFY(!frame.isMinimized());
    }

    void aDescriptionIsOpenedAsTextAndNeverRunAsACommand()
    {
        Fixture f;
        const std::string marker = f.folder.file("owned");
        Record r{bookmarkTable()};
        r.setText(BookmarkField::Location, "http://a.example/");
        r.setText(BookmarkField::Description, "touch " + marker);
        FileManager& bookmarks = f.services.database().bookmarks();
        bookmarks.use();
        bookmarks.insert(r);
        bookmarks.close();
        // The desktop's opener, as xdg-open does with a file that is not there.
        const std::string opener = f.folder.write("opener.sh", "#!/bin/sh\nexit 2\n");
        ::chmod(opener.c_str(), 0700);
        ::setenv("TESSALY_OPENER", opener.c_str(), 1);
        DesktopOpener desktop;
        BrowseWindow list(f.services, desktop);
        list.show();
        list.table()->selectRow(0);
        list.actionChoice()->setCurrentText("Description");
        QTest::mouseClick(buttonText(list, "Launch URL"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(f.ui.shown.size(), std::size_t{1}, 5000);
        ::unsetenv("TESSALY_OPENER");
        QCOMPARE(f.ui.last().text, "Could not start touch " + marker + ".");
        QTest::qWait(200);
        QVERIFY2(::access(marker.c_str(), F_OK) != 0, "the description ran as a command");
    }

    void singleInstanceAndRefreshNotice()
    {
        Fixture f(2);
        gui::MainFrame frame{f.services};
        frame.setOpener(&f.opener);
        frame.setShowSplash(false);
        QVERIFY(frame.initialise());
        frame.openBookmarkList();
        frame.openBookmarkList();
        QCOMPARE(frame.mdiArea()->subWindowList().size(), 1);
        auto* list =
            qobject_cast<BrowseWindow*>(frame.mdiArea()->subWindowList().front()->widget());
        QVERIFY(list != nullptr);
        QCOMPARE(list->windowTitle(), QStringLiteral("Browse Locations (2)"));

        Record r{bookmarkTable()};
        r.setText(BookmarkField::Location, "http://added.example/");
        f.services.database().bookmarks().file().add(r);
        gui::WindowRegister::instance().notifyBrowseWindows();
        QCOMPARE(list->windowTitle(), QStringLiteral("Browse Locations (3)"));
        frame.mdiArea()->closeAllSubWindows();
        QTRY_VERIFY(gui::WindowRegister::instance().find(BrowseWindow::kName) == nullptr);
    }

    void shortcutsDroppedOnTheRowsBecomeBookmarks()
    {
        Fixture f(2);
        const std::string shortcut =
            f.folder.write("Daily.url", "[InternetShortcut]\r\nURL=http://daily.example/\r\n");
        BrowseWindow list(f.services, f.opener);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        // Dragged in from another window, dropped on the second row.
        QWidget other;
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(shortcut))});
        QWidget* rows = list.table()->viewport();
        const QPoint at = list.table()->visualRect(list.model()->index(1, 1)).center();
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(rows, &enter);
        QVERIFY(enter.isAccepted());
        QDragMoveEvent move(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(rows, &move);
        QVERIFY(move.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(rows, &drop);
        QVERIFY(drop.isAccepted());
        QCOMPARE(list.model()->rowCount(), 3);
        QCOMPARE(list.windowTitle(), QStringLiteral("Browse Locations (3)"));
    }

    void keysInTheList()
    {
        Fixture f;
        FileManager& bookmarks = f.services.database().bookmarks();
        bookmarks.use();
        for (const char* description : {"Second page docs", "Beta site", "Browser tips"}) {
            Record r{bookmarkTable()};
            r.setText(BookmarkField::Location,
                      std::string{"http://"} + description[0] + description[1] + ".example/");
            r.setText(BookmarkField::Description, description);
            r.setText(BookmarkField::Category, description);
            bookmarks.insert(r);
        }
        bookmarks.close();
        f.services.settings().doubleClickAction = "Start URL";
        BrowseWindow list(f.services, f.opener);
        list.show();
        QVERIFY(QTest::qWaitForWindowActive(&list));
        list.table()->setFocus();
        const auto highlighted = [&] {
            const int row = list.table()->selectionModel()->selectedRows().front().row();
            return list.model()->bookmark(row).text(BookmarkField::Description);
        };
        // The locator gathers what is typed, a capital (Shift) included, in
        // any letter case.
        QTest::keyClick(list.table(), 'B', Qt::ShiftModifier);
        QTest::keyClicks(list.table(), "ro");
        QCOMPARE(highlighted(), std::string{"Browser tips"});
        QTest::keyClick(list.table(), Qt::Key_Backspace);
        QTest::keyClick(list.table(), Qt::Key_Backspace);
        QTest::keyClicks(list.table(), "e");
        QCOMPARE(highlighted(), std::string{"Beta site"});
        QTest::qWait(1300); // a pause starts a new search
        QTest::keyClicks(list.table(), "s");
        QCOMPARE(highlighted(), std::string{"Second page docs"});
        list.tabs()->setCurrentIndex(2); // Category: a key that counts letter case
        list.table()->setFocus();
        QTest::qWait(1300);
        QTest::keyClicks(list.table(), "beta");
        QCOMPARE(highlighted(), std::string{"Beta site"});

        // Enter does what a double-click does; Tab leaves the list.
        QTest::keyClick(list.table(), Qt::Key_Return);
        QTRY_COMPARE(f.opener.opened(), (std::vector<std::string>{"http://Be.example/"}));
        QTest::keyClick(list.table(), Qt::Key_Tab);
        QVERIFY(!list.table()->hasFocus());
    }

    void anEmptyFileSaysHowToBegin()
    {
        Fixture f;
        BrowseWindow list(f.services, f.opener);
        list.show();
        auto* hint = list.findChild<QLabel*>("EmptyHint");
        QVERIFY(hint->isVisible());
        QCOMPARE(hint->text(),
                 QStringLiteral("No bookmarks yet: New adds one; File > Import brings them from a "
                                "browser."));
        Fixture g(1);
        BrowseWindow some(g.services, g.opener);
        some.show();
        g.ui.queryAnswers = {"URL:Rating = 9"};
        some.query(); // a query that finds nothing is not an empty file
        QCOMPARE(some.model()->rowCount(), 0);
        QVERIFY(!some.findChild<QLabel*>("EmptyHint")->isVisible());
    }

    void theCategoryListFollowsTheCategoryAskedFor()
    {
        Fixture f(9);
        gui::MainFrame frame{f.services};
        frame.setOpener(&f.opener);
        frame.setShowSplash(false);
        QVERIFY(frame.initialise());
        frame.openList(gui::categoryListVariant("News"));
        frame.openList(gui::categoryListVariant("Misc"));
        QCOMPARE(frame.mdiArea()->subWindowList().size(), 1);
        auto* list =
            qobject_cast<BrowseWindow*>(frame.mdiArea()->subWindowList().front()->widget());
        QCOMPARE(list->windowTitle(),
                 QStringLiteral("Browse Locations by Category: Misc (6 of 9)"));
        QCOMPARE(list->model()->rowCount(), 6);
    }

    void droppedShortcutsBecomeBookmarks()
    {
        Fixture f(0);
        const std::string shortcut =
            f.folder.write("Daily.url", "[InternetShortcut]\r\nURL=http://daily.example/\r\n");
        BrowseWindow list(f.services, f.opener);
        list.dropShortcuts({QString::fromStdString(shortcut),
                            QString::fromStdString(f.folder.write("note.txt", "x"))});
        QCOMPARE(list.model()->rowCount(), 1); // the open lists show it at once
        QCOMPARE(list.model()->bookmark(0).text(BookmarkField::Location),
                 std::string{"http://daily.example/"});
        QVERIFY(
            f.services.database().categoryExists(shortcut.substr(1, shortcut.find('/', 1) - 1)));
    }

    void queryFiltersAndResetShowsAll()
    {
        Fixture f(30);
        BrowseWindow list(f.services, f.opener);
        auto* reset = list.findChild<QPushButton*>("Reset");
        QVERIFY(reset == nullptr || !reset->isEnabled());
        f.ui.queryAnswers = {"URL:Category = 'News'"};
        QCOMPARE(list.windowTitle(), QStringLiteral("Browse Locations (30)"));
        list.query();
        QCOMPARE(list.model()->rowCount(), 10);
        QCOMPARE(list.windowTitle(), QStringLiteral("Browse Locations (10 of 30)"));
        QCOMPARE(list.queryText(), std::string{"URL:Category = 'News'"});
        list.query(); // the user cancels: nothing changes
        QCOMPARE(list.model()->rowCount(), 10);
        list.resetQuery();
        QCOMPARE(list.model()->rowCount(), 30);
        QCOMPARE(list.windowTitle(), QStringLiteral("Browse Locations (30)"));
        QVERIFY(list.queryText().empty());

        f.ui.queryAnswers = {"URL:Nothing = 1"};
        list.query();
        QCOMPARE(f.ui.last().title, std::string{"View Open Error"});
        QCOMPARE(list.model()->rowCount(), 30);
    }

    void draggedRowsOfferTheirLocation()
    {
        Fixture f(1);
        BrowseWindow list(f.services, f.opener);
        std::unique_ptr<QMimeData> mime(list.model()->mimeData({list.model()->index(0, 2)}));
        QCOMPARE(mime->text(), QStringLiteral("http://site100.example/"));
        QCOMPARE(mime->urls().front().toString(), QStringLiteral("http://site100.example/"));
    }

    void theSavedLayoutHoldsOnlyForTheSameBuiltInFormat()
    {
        Fixture f(1);
        {
            BrowseWindow list(f.services, f.opener);
            list.table()->horizontalHeader()->resizeSection(1, 333);
            list.table()->horizontalHeader()->setSectionHidden(9, true);
        }
        const std::string builtIn =
            BrowseWindow(f.services, f.opener).builtInFormat().toStdString();
        QCOMPARE(f.services.positions().value("BrowseTESSLY", "SRCFOriginal?Browse:1"), builtIn);
        {
            BrowseWindow list(f.services, f.opener);
            QCOMPARE(list.table()->horizontalHeader()->sectionSize(1), 333);
            QVERIFY(list.table()->horizontalHeader()->isSectionHidden(9));
        }
        f.services.positions().setValue("BrowseTESSLY", "SRCFOriginal?Browse:1", "T1;older");
        BrowseWindow list(f.services, f.opener);
        QVERIFY(!list.table()->horizontalHeader()->isSectionHidden(9));
        QCOMPARE(f.services.positions().value("BrowseTESSLY", "SRCFOriginal?Browse:1"), builtIn);
    }

    void keywordAndDetailListsShowTheirRowsWithTheBookmark()
    {
        Fixture f(3);
        FileManager& keywords = f.services.database().keywords();
        keywords.use();
        for (const char* keyword : {"beta", "alpha"}) {
            Record k{keywordTable()};
            k.setText(KeywordField::Location, "http://site101.example/");
            k.setText(KeywordField::Keyword, keyword);
            keywords.insert(k);
        }
        Record other{keywordTable()};
        other.setText(KeywordField::Location, "http://site100.example/");
        other.setText(KeywordField::Keyword, "gamma");
        keywords.insert(other);
        keywords.close();

        BrowseWindow list(f.services, f.opener, gui::keywordListVariant());
        QCOMPARE(list.windowTitle(), QStringLiteral("Keywords and Locations"));
        QCOMPARE(list.model()->rowCount(), 3);
        QCOMPARE(list.model()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("Keyword"));
        QCOMPARE(list.model()->headerData(6, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("Primary Keyword"));
        QCOMPARE(list.model()->columnCount(), 15); // icon, keyword, columns 2 to 14
        const auto cell = [&](int row, int column) {
            return list.model()->data(list.model()->index(row, column), Qt::DisplayRole).toString();
        };
        QCOMPARE(cell(0, 1), QStringLiteral("gamma")); // by location, then sequence
        QCOMPARE(cell(1, 1), QStringLiteral("beta"));
        QCOMPARE(cell(1, 2), QStringLiteral("Site 101")); // the bookmark's description
        QStringList tabs;
        for (int i = 0; i < list.tabs()->count(); ++i) {
            tabs << list.tabs()->tabText(i);
        }
        QCOMPARE(tabs, (QStringList{"Description", "Category"}));
        list.tabs()->setCurrentIndex(1);
        QCOMPARE(cell(0, 1), QStringLiteral("gamma")); // the tabs keep the one order

        f.ui.queryAnswers = {"UDK:Keyword = 'alpha'"};
        list.query();
        QCOMPARE(list.model()->rowCount(), 1);
        list.table()->selectRow(0);
        list.copyAction();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("http://site101.example/"));

        BrowseWindow details(f.services, f.opener, gui::detailListVariant());
        QCOMPARE(details.windowTitle(), QStringLiteral("Details and Locations"));
        QCOMPARE(details.model()->rowCount(), 0);
        QCOMPARE(details.model()->headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("Value"));
    }

    void theCategoryListShowsOneCategory()
    {
        Fixture f(9);
        BrowseWindow list(f.services, f.opener, gui::categoryListVariant("News"));
        QCOMPARE(list.windowTitle(), QStringLiteral("Browse Locations by Category: News (3 of 9)"));
        QCOMPARE(list.model()->rowCount(), 3);
        QCOMPARE(list.model()->columnCount(), 5);
        QCOMPARE(list.model()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("Location"));
        QVERIFY(!list.findChild<QPushButton*>("Query")->isVisible());
        QVERIFY(!list.findChild<QPushButton*>("Test")->isVisibleTo(&list));
        QVERIFY(list.findChild<QPushButton*>("Edit")->isVisibleTo(&list));
        // Its context menu offers what its buttons offer, nothing more.
        QStringList offered;
        for (QAction* item : list.findChild<QMenu*>()->actions()) {
            if (item->isVisible() && !item->isSeparator()) {
                offered << item->text();
            }
        }
        QCOMPARE(offered, (QStringList{"&Insert", "&Change", "&Delete"}));
        list.table()->setFocus();
        QTest::keyClicks(list.table(), "site 106");
        const int row = list.table()->selectionModel()->selectedRows().front().row();
        QCOMPARE(list.model()->data(list.model()->index(row, 1), Qt::DisplayRole).toString(),
                 QStringLiteral("Site 106"));
    }
};

QTEST_MAIN(BrowseWindowTest)
#include "browse_window_test.moc"
