#include "bookmarks/bookmark_form_window.h"
#include "bookmarks/browse_window.h"
#include "bookmarks/categories.h"
#include "bookmarks/explorer_window.h"
#include "bookmarks/new_bookmark_wizard.h"
#include "categories/category_table.h"
#include "core/services.h"
#include "core/tables.h"
#include "frame/main_frame.h"
#include "framework/window_register.h"
#include "links/analyze_url_window.h"
#include "links/download_window.h"
#include "links/link_test.h"

#include "local_server.h"
#include "raw_server.h"
#include "started_services.h"
#include "stored_bookmark.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <filesystem>

using namespace tessaly;
using tessaly::gui::AnalyzeUrlWindow;
using tessaly::gui::BookmarkFormWindow;
using tessaly::gui::BrowseWindow;
using tessaly::gui::DownloadWindow;
using tessaly::gui::NewBookmarkWizard;

namespace {

constexpr const char* kNewsPage =
    "<html><head><title>Daily News</title>"
    "<meta name=\"keywords\" content=\"news, sport\">"
    "<meta name=\"author\" content=\"Desk\"></head>"
    "<body><a href=\"mailto:desk@news.test\">Write</a> to us</body></html>";

struct Fixture : test::StartedServices {
    test::LocalServer local;
    test::RawServer stalling{[](test::RawServer::Connection& connection) {
        connection.send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n<title>Half");
        connection.pause(std::chrono::seconds(30));
    }};

    Fixture()
    {
        Record news{categoryTable()};
        news.setText(CategoryField::Category, "News");
        saveCategory(db(), Record{categoryTable()}, news);
        local.server.Get("/news", [](const httplib::Request&, httplib::Response& response) {
            response.set_content(kNewsPage, "text/html");
        });
        local.server.Get(R"(/(a|b)/index.html)",
                         [](const httplib::Request& request, httplib::Response& response) {
                             response.set_content("page " + request.matches[1].str(), "text/html");
                         });
    }

    Record stored(const std::string& location) { return test::storedBookmark(db(), location); }
};

QToolButton* downloadButton(QWidget* list)
{
    for (QToolButton* b : list->findChildren<QToolButton*>()) {
        if (b->defaultAction() != nullptr &&
            b->defaultAction()->toolTip() == QStringLiteral("Download URL(s) to a local folder")) {
            return b;
        }
    }
    return nullptr;
}

QPushButton* button(QWidget* window, const QString& text)
{
    for (QPushButton* b : window->findChildren<QPushButton*>()) {
        if (b->text() == text) {
            return b;
        }
    }
    return nullptr;
}

// Presses "Cancel" of the modal window of `Window` once it is up and its
// page has begun to arrive.
// `progress`, when given, takes the window's progress bar at that moment.
template <typename Window> void cancelWhenArriving(QElapsedTimer& pressed, int* progress = nullptr)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, &pressed, progress] {
        auto* window = qobject_cast<Window*>(QApplication::activeModalWidget());
        if (window == nullptr) {
            return;
        }
        const auto* arriving = window->template findChild<QLabel*>(QStringLiteral("Arriving"));
        const auto* size = window->template findChild<QLabel*>(QStringLiteral("Size"));
        const bool begun = (arriving != nullptr && !arriving->text().isEmpty()) ||
                           (size != nullptr && size->text() != QStringLiteral("0/Unknown"));
        if (begun) {
            poll->deleteLater();
            if (const auto* bar = window->template findChild<QProgressBar*>();
                progress != nullptr && bar != nullptr) {
                *progress = bar->value();
            }
            pressed.start();
            QTest::mouseClick(button(window, QStringLiteral("Cancel")), Qt::LeftButton);
        }
    });
    poll->start(20);
}

} // namespace

class PageWindowsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theFormsAnalyzeButtonFillsItFromThePage()
    {
        Fixture f;
        const std::string location = f.local.url("/news");
        test::addBookmark(f.db(), location, "News");
        BookmarkFormWindow form(f.services, f.stored(location));
        form.show();
        auto* analyze = form.findChild<QPushButton*>(QStringLiteral("Analyze"));
        QVERIFY(analyze != nullptr && analyze->isEnabled());
        QCOMPARE(analyze->text(), QStringLiteral("Analy&ze"));
        QTest::mouseClick(analyze, Qt::LeftButton);
        QCOMPARE(form.descriptionEdit()->text(), QStringLiteral("Daily News"));
        QCOMPARE(form.keywordTable()->rowCount(), 2);
        QCOMPARE(form.keywordTable()->item(1, 0)->text(), QStringLiteral("sport"));
        QCOMPARE(form.detailTable()->rowCount(), 1);
        QCOMPARE(form.detailTable()->item(0, 0)->text(), QStringLiteral("AUTHOR"));
        QTest::mouseClick(button(&form, QStringLiteral("&OK")), Qt::LeftButton);
        const Record stored = f.stored(location);
        QCOMPARE(stored.text(BookmarkField::Description), std::string{"Daily News"});
        QCOMPARE(stored.text(BookmarkField::EmailAddress), std::string{"desk@news.test"});
        QCOMPARE(stored.number(BookmarkField::PageSize), std::int64_t(strlen(kNewsPage)));
        QCOMPARE(stored.number(BookmarkField::Validated), std::int64_t{kLinkPass});
        QCOMPARE(stored.text(BookmarkField::SiteInfo), std::string{"Write to us"});
    }

    void cancelInTheAnalyzeWindowFailsTheBookmarkAtOnce()
    {
        Fixture f;
        const std::string location = f.stalling.url("/slow");
        test::addBookmark(f.db(), location, "News");
        BookmarkFormWindow form(f.services, f.stored(location));
        form.show();
        QElapsedTimer pressed;
        int progress = 0;
        cancelWhenArriving<AnalyzeUrlWindow>(pressed, &progress);
        QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("Analyze")), Qt::LeftButton);
        QVERIFY(pressed.isValid());
        QCOMPARE(progress, 70);            // reading the page is the seventh step
        QVERIFY(pressed.elapsed() < 3000); // the server would hold it for half a minute
        QRadioButton* failed = nullptr;
        for (QRadioButton* radio : form.findChildren<QRadioButton*>()) {
            if (radio->text() == QStringLiteral("Failed")) {
                failed = radio;
            }
        }
        QVERIFY(failed != nullptr && failed->isChecked());
        QVERIFY(form.descriptionEdit()->text().isEmpty());
    }

    void theAnalyzeWindowShowsItsStepsAndTheBytesRead()
    {
        Fixture f;
        AnalyzeUrlWindow window(f.local.url("/news"));
        QCOMPARE(window.windowTitle(), QStringLiteral("Analyze URL"));
        QCOMPARE(window.exec(), int(strlen(kNewsPage)));
        const auto* log = window.findChild<QListWidget*>(QStringLiteral("Log"));
        QVERIFY(!log->findItems(QStringLiteral("Parsing"), Qt::MatchExactly).empty());
        QCOMPARE(window.findChild<QLabel*>(QStringLiteral("Arriving"))->text(),
                 QString::number(strlen(kNewsPage)) + QStringLiteral(" bytes read"));
    }

    void theWizardAnalysesAGivenAddressAtOnce()
    {
        Fixture f;
        const std::string location = f.local.url("/news");
        f.services.pendingAddress() = location;
        NewBookmarkWizard wizard(f.services, [] { return std::vector<BrowserCandidate>{}; });
        wizard.show();
        QTRY_COMPARE(wizard.descriptionEdit()->text(), QStringLiteral("Daily News"));
        QTest::mouseClick(button(&wizard, QStringLiteral("&Finish")), Qt::LeftButton);
        const Record stored = f.stored(location);
        QCOMPARE(stored.text(BookmarkField::Description), std::string{"Daily News"});
        // What no page of the wizard shows is kept from the analysis too.
        QCOMPARE(stored.number(BookmarkField::PageSize), std::int64_t(strlen(kNewsPage)));
        QCOMPARE(stored.number(BookmarkField::Validated), std::int64_t{kLinkPass});
    }

    void ctrlShiftAAnalysesEveryWebLinkAfterAsking()
    {
        Fixture f;
        const std::string location = f.local.url("/news");
        test::addBookmark(f.db(), location, "News");
        gui::MainFrame frame{f.services};
        frame.show();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        f.ui.answers = {ButtonNo};
        QTest::keyClick(&frame, Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(f.ui.shown.size(), std::size_t{1});
        QCOMPARE(f.ui.shown[0].title, std::string{"Analyze Links"});
        QCOMPARE(f.stored(location).number(BookmarkField::LastValidated), std::int64_t{0});

        f.ui.answers = {ButtonYes, ButtonNo}; // go on; no query
        QTest::keyClick(&frame, Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(f.stored(location).text(BookmarkField::Description), std::string{"Daily News"});
        QCOMPARE(f.ui.progressTexts.back(), std::string{"100% Completed\nAnalyzing Link 1 of 1"});
    }

    void theListsDownloadButtonSavesTheHighlightedBookmark()
    {
        Fixture f;
        test::TempFolder into;
        test::addBookmark(f.db(), f.local.url("/a/index.html"), "");
        test::addBookmark(f.db(), f.local.url("/b/index.html"), "");
        BrowseWindow list(f.services, f.opener);
        list.setToday([] { return 100000; });
        int asked = 0;
        list.setDownloadFolderChooser([&] {
            ++asked;
            return std::optional<std::string>{into.path()};
        });
        list.show();
        list.table()->selectRow(1);
        QToolButton* download = downloadButton(&list);
        QVERIFY(download != nullptr && download->isEnabled());
        QTest::mouseClick(download, Qt::LeftButton);
        QCOMPARE(asked, 1);
        // No filter in force: the highlighted bookmark alone.
        QCOMPARE(into.read("index.html"), std::string{"page b"});
        QVERIFY(!std::filesystem::exists(into.file("index (2).html")));
        const Record b = f.stored(f.local.url("/b/index.html"));
        QCOMPARE(b.text(BookmarkField::OriginalFilename), into.file("index.html"));
        QCOMPARE(b.number(BookmarkField::LastVisit), std::int64_t{100000});
        QCOMPARE(f.stored(f.local.url("/a/index.html")).number(BookmarkField::LastVisit),
                 std::int64_t{0});
        // No query question with a bookmark highlighted; the run's account.
        QCOMPARE(f.ui.shown.size(), std::size_t{1});
        QCOMPARE(f.ui.last().title, std::string{"Download"});
        QCOMPARE(f.ui.last().text, std::string{"Downloaded 1 of 1 bookmarks: 1 passed, 0 failed."});
        QCOMPARE(f.ui.last().buttons, unsigned{ButtonOk});
    }

    void aDownloadRunEndsWithItsAccountAndShowsItsFailures()
    {
        Fixture f;
        f.local.server.Get("/gone.html", [](const httplib::Request&, httplib::Response& response) {
            response.status = 404;
            response.set_content("gone", "text/html");
        });
        test::TempFolder into;
        test::addBookmark(f.db(), f.local.url("/a/index.html"), "");
        test::addBookmark(f.db(), f.local.url("/gone.html"), "");
        test::addBookmark(f.db(), "http://127.0.0.1:1/nobody.html", "");
        BrowseWindow list(f.services, f.opener);
        list.setToday([] { return 100000; });
        list.setDownloadFolderChooser([&] { return std::optional<std::string>{into.path()}; });
        list.show();
        list.applyQuery("URL:Rating = 0"); // every bookmark
        int failedDay = 0;
        QObject::connect(&gui::WindowRegister::instance(),
                         &gui::WindowRegister::failedListRequested, &list,
                         [&](int day) { failedDay = day; });
        f.ui.answers = {ButtonShowFailed};
        QTest::mouseClick(downloadButton(&list), Qt::LeftButton);
        QVERIFY(!f.ui.shown.empty());
        const MessageRequest& account = f.ui.last();
        QCOMPARE(account.title, std::string{"Download"});
        QVERIFY2(account.text.starts_with("Downloaded 2 of 3 bookmarks: 1 passed, 1 failed.\n"
                                          "Not saved 1: 1 Failed to connect to 127.0.0.1 port 1"),
                 account.text.c_str());
        QCOMPARE(account.buttons, unsigned{ButtonOk | ButtonShowFailed});
        QCOMPARE(failedDay, 100000); // "Show failed" lists what this run failed
    }

    void theExplorersDownloadSavesTheHighlightedBookmarkNotTheCategory()
    {
        Fixture f;
        test::TempFolder into;
        test::addBookmark(f.db(), f.local.url("/a/index.html"), "News");
        test::addBookmark(f.db(), f.local.url("/b/index.html"), "News");
        gui::ExplorerWindow explorer(f.services, f.opener);
        explorer.show();
        explorer.categories()->locate("News");
        BrowseWindow* right = explorer.bookmarks();
        QCOMPARE(right->model()->rowCount(), 2);
        right->setToday([] { return 100000; });
        right->setDownloadFolderChooser([&] { return std::optional<std::string>{into.path()}; });
        int highlighted = -1;
        for (int row = 0; row < 2; ++row) {
            if (right->model()->bookmark(row).text(BookmarkField::Location) ==
                f.local.url("/b/index.html")) {
                highlighted = row;
            }
        }
        right->table()->selectRow(highlighted);
        QToolButton* download = downloadButton(right);
        QVERIFY(download != nullptr && download->isEnabled());
        QTest::mouseClick(download, Qt::LeftButton);
        QCOMPARE(into.read("index.html"), std::string{"page b"});
        QVERIFY(!std::filesystem::exists(into.file("index (2).html")));
        QCOMPARE(f.stored(f.local.url("/a/index.html")).number(BookmarkField::LastVisit),
                 std::int64_t{0});
    }

    void theDownloadWindowShowsItsProgressAndCancelsAtOnce()
    {
        Fixture f;
        test::TempFolder into;
        PageDownload stalled{into.path() + "*", f.stalling.url("/slow.html"),
                             f.services.folderPath("DOWNLOAD.LOG"), 100000};
        DownloadWindow window(stalled);
        QCOMPARE(window.windowTitle(), QStringLiteral("Retrieve Web Document"));
        QCOMPARE(window.findChild<QLabel*>(QStringLiteral("Address"))->text(),
                 QString::fromStdString(f.stalling.url("/slow.html")));
        QElapsedTimer pressed;
        cancelWhenArriving<DownloadWindow>(pressed);
        window.exec();
        QVERIFY(pressed.isValid());
        QVERIFY(pressed.elapsed() < 3000);
        QVERIFY(stalled.cancelled());
        QVERIFY(std::filesystem::is_empty(into.path()));
        QCOMPARE(window.findChild<QLabel*>(QStringLiteral("Size"))->text(),
                 QStringLiteral("11/Unknown"));
        QVERIFY(window.findChild<QLabel*>(QStringLiteral("Rate"))->text().endsWith("k/s"));
        QCOMPARE(window.findChild<QProgressBar*>()->maximum(), 50000 + 11);
    }
};

QTEST_MAIN(PageWindowsTest)
#include "page_windows_test.moc"
