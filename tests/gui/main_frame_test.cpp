#include "bookmarks/browse_window.h"
#include "core/services.h"
#include "core/tables.h"
#include "display_check.h"
#include "frame/about_window.h"
#include "frame/main_frame.h"
#include "frame/splash_window.h"
#include "frame/tray_icon.h"
#include "framework/dates.h"
#include "settings/options_window.h"
#include "settings/themes_dialog.h"

#include "held_database.h"
#include "modal_answers.h"
#include "scripted_ui.h"
#include "temp_folder.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QtTest>

#include <sqlite3.h>

using namespace tessaly;
using tessaly::gui::MainFrame;

class MainFrameTest : public QObject {
    Q_OBJECT

private:
    struct Fixture {
        test::TempFolder folder;
        test::TempFolder prefix;
        test::ScriptedUi ui;
        Services services{ui, folder.path(), prefix.path()};
        Fixture() { services.start(); }
    };

    static QStringList texts(const QList<QAction*>& actions)
    {
        QStringList out;
        for (QAction* a : actions) {
            if (!a->isSeparator()) {
                out << a->text();
            }
        }
        return out;
    }

    static QMenu* menu(MainFrame& frame, const QString& title)
    {
        for (QAction* a : frame.menuBar()->actions()) {
            if (a->text() == title) {
                return a->menu();
            }
        }
        return nullptr;
    }

private Q_SLOTS:
    void menusWordForWord()
    {
        Fixture f;
        MainFrame frame{f.services};
        QCOMPARE(frame.windowTitle(), QStringLiteral("Tessaly 2000"));
        QVERIFY(qobject_cast<QMdiArea*>(frame.centralWidget()) != nullptr);
        QCOMPARE(texts(frame.menuBar()->actions()),
                 (QStringList{"&File", "&Browse", "&Reports", "&Tools", "&Window", "&Help"}));
        QCOMPARE(texts(menu(frame, "&File")->actions()),
                 (QStringList{"&New Location...", "&Import", "&Export", "&Support Tools",
                              "&Print Setup ...", "E&xit"}));
        QCOMPARE(texts(menu(frame, "&Tools")->actions()),
                 (QStringList{"&Options", "Get URL from Browser", "&Clipboard Monitor",
                              "Analy&ze Multiple Links", "&Validate Multiple Links",
                              "Validate &Internet Explorer Links", "&Themes", "&Synchronise..."}));
        QCOMPARE(texts(menu(frame, "&Reports")->actions()),
                 (QStringList{"Report &Wizard", "Locations by &Description",
                              "Locations by &Location", "Locations by Cate&gory",
                              "Locations by &Rating", "Locations by &Keyword", "&Categories"}));
        QCOMPARE(texts(menu(frame, "&Window")->actions()),
                 (QStringList{"T&ile", "&Cascade", "&Arrange Icons"}));
        QCOMPARE(texts(menu(frame, "&Help")->actions()),
                 (QStringList{"&Contents", "&Index", "&About"}));

        QCOMPARE(frame.action("Export")->statusTip(), QStringLiteral("Export to HTML or  ASCII"));
        QCOMPARE(frame.action("Import")->shortcut(), QKeySequence("Ctrl+Shift+I"));
        QCOMPARE(frame.action("BrowseByDetail")->shortcut(), QKeySequence("Ctrl+Shift+D"));
        QCOMPARE(frame.action("BrowseByDetail")->statusTip(),
                 QStringLiteral("Details and Locations"));
        QCOMPARE(frame.action("ImportOld")->statusTip(),
                 QStringLiteral("Import from Tessaly 1.x database in another directory"));
        QCOMPARE(frame.action("RepairDatabases")->statusTip(),
                 QStringLiteral("Options that MAY repair damaged databases"));
        QCOMPARE(frame.action("HelpContents")->statusTip(),
                 QStringLiteral("View the contents of the help file"));

        // Every command has its window.
        for (const char* ready : {"Import",
                                  "Export",
                                  "BrowseLocations",
                                  "Options",
                                  "Themes",
                                  "PrintSetup",
                                  "Exit",
                                  "Tile",
                                  "Cascade",
                                  "ArrangeIcons",
                                  "HelpContents",
                                  "HelpIndex",
                                  "About",
                                  "ValidateMultiple",
                                  "ClipboardMonitor",
                                  "ImportOld",
                                  "RepairDatabases",
                                  "ReportWizard",
                                  "ReportCategories",
                                  "AnalyzeMultiple"}) {
            QVERIFY2(frame.action(ready)->isEnabled(), ready);
        }
    }

    void toolBarTips()
    {
        Fixture f;
        MainFrame frame{f.services};
        auto* bar = frame.findChild<QToolBar*>("ToolBar");
        QVERIFY(bar != nullptr);
        QStringList tips;
        for (QAction* a : bar->actions()) {
            tips << a->toolTip();
        }
        QCOMPARE(tips, (QStringList{"Add a new location", "Tessaly 2000 options",
                                    "Start clipboard monitor (add many URLs quickly)",
                                    "Test all URLs", "Print list of locations", "View all links",
                                    "View links by category"}));
        QVERIFY(bar->actions()[0]->isEnabled());
        QVERIFY(bar->actions()[1]->isEnabled());
        QVERIFY(bar->actions()[2]->isEnabled()); // the clipboard monitor
        QVERIFY(bar->actions()[3]->isEnabled()); // "Test all URLs"
        QVERIFY(bar->actions()[4]->isEnabled()); // "Print list of locations"

        // One picture means one command, across the frame and the list.
        DesktopOpener opener;
        tessaly::gui::BrowseWindow list(f.services, opener);
        QList<QAction*> buttons = bar->actions();
        buttons += list.findChild<QToolBar*>("ListToolBar")->actions();
        QMap<QString, QImage> seen;
        for (QAction* a : buttons) {
            const QImage picture = a->icon().pixmap(24, 24).toImage();
            QVERIFY2(!picture.isNull(), qPrintable(a->toolTip()));
            for (auto it = seen.cbegin(); it != seen.cend(); ++it) {
                QVERIFY2(it.value() != picture,
                         qPrintable(a->toolTip() + QStringLiteral(" looks like ") + it.key()));
            }
            seen.insert(a->toolTip(), picture);
        }
    }

    void statusBarOnASunday()
    {
        Fixture f;
        MainFrame frame{f.services};
        frame.setClock([] {
            return std::pair{dates::dayNumber(2026, 12, 6), dates::clockTime(17, 5)};
        });
        frame.refreshStatusBar();
        QCOMPARE(frame.findChild<QLabel*>("DateZone")->text(),
                 QStringLiteral("Sunday, December 6, 2026"));
        QCOMPARE(frame.findChild<QLabel*>("TimeZone")->text(), QStringLiteral("5:05 PM"));
    }

    void initialiseReadsBodyInFrameAndSettings()
    {
        Fixture f;
        f.folder.write("TESSLY.INI", "[Settings]\nBodyInFrame=3\n");
        MainFrame frame{f.services};
        QVERIFY(frame.initialise());
        QCOMPARE(frame.bodyInFrame(), 2);
        QCOMPARE(f.services.fileNames().importFile.str(), std::string{"bookmark.htm"});
        QCOMPARE(f.services.settings().startupBrowse, std::string{"Location"});
        QCOMPARE(frame.hotKeys().keys().size(), std::size_t{2});
        QCOMPARE(ProcedureScope::current(), std::string{"Main"});
        frame.close();
        QCOMPARE(ProcedureScope::current(), std::string{});
    }

    void passwordCases()
    {
        struct Case {
            int secure;
            const char* stored;
            const char* typed;
            bool starts;
            bool asked;
        };
        const Case cases[] = {
            {1, "Sesame", "sESAME", true, true},         // other letter case
            {1, "Sesame", "Sesame   ", true, true},      // trailing blanks
            {1, "Sesame", " Sesame", false, true},       // a leading blank counts
            {1, "Sesame", "**Cancelled**", false, true}, // only a wrong password
            {1, "", "anything", true, false},            // Secure with no password asks nothing
            {0, "Sesame", "wrong", true, false},
        };
        for (const Case& c : cases) {
            Fixture f;
            Settings stored = f.services.settings();
            f.services.settingsStore().load(stored);
            stored.secure = c.secure;
            stored.password = c.stored;
            f.services.settingsStore().save(stored);
            MainFrame frame{f.services};
            bool asked = false;
            frame.setPasswordAsker([&] {
                asked = true;
                return std::string{c.typed};
            });
            QCOMPARE(frame.initialise(), c.starts);
            QCOMPARE(asked, c.asked);
        }
    }

    // Drives the "Security Check" window start-up opens: types `typed` and
    // presses the button named `button`, as a person would.
    static void answerPasswordWindow(const QString& typed, const QString& button, bool& seen)
    {
        auto* poll = new QTimer;
        QObject::connect(poll, &QTimer::timeout, poll, [=, &seen] {
            QWidget* window = QApplication::activeModalWidget();
            if (window == nullptr || window->objectName() != QStringLiteral("GetPassword")) {
                return;
            }
            seen = window->windowTitle() == QStringLiteral("Security Check");
            poll->stop();
            poll->deleteLater();
            QTest::keyClicks(window->findChild<QLineEdit*>(), typed);
            for (QPushButton* b : window->findChildren<QPushButton*>()) {
                if (b->text() == button) {
                    QTest::mouseClick(b, Qt::LeftButton);
                }
            }
        });
        poll->start(10);
    }

    void cancelOnThePasswordWindowAlwaysEndsTheProgram()
    {
        struct Case {
            const char* stored;
            const char* typed;
            const char* button;
            bool starts;
        };
        const Case cases[] = {
            {"**Cancelled**", "", "Cancel", false}, // the old Cancel marker as the password
            {"**cancelled**", "**CANCELLED**", "Cancel", false},
            {"**Cancelled**", "**cancelled**  ", "&OK", true},
            {"Sesame", "sesame", "Cancel", false},
            {"Sesame", "sesame", "&OK", true},
            {"Sesame", "", "&OK", false},
        };
        for (const Case& c : cases) {
            Fixture f;
            Settings stored = f.services.settings();
            f.services.settingsStore().load(stored);
            stored.secure = 1;
            stored.password = c.stored;
            QVERIFY(f.services.settingsStore().save(stored));
            MainFrame frame{f.services};
            bool seen = false;
            answerPasswordWindow(QString::fromUtf8(c.typed), QString::fromUtf8(c.button), seen);
            QCOMPARE(frame.initialise(), c.starts);
            QVERIFY(seen);
        }
    }

    void startUpListFollowsTheSetting()
    {
        Fixture f;
        MainFrame frame{f.services};
        frame.setShowSplash(false);
        QVERIFY(frame.initialise());
        QSignalSpy spy(&frame, &MainFrame::startUpListRequested);
        frame.show();
        QTRY_COMPARE(spy.count(), 1);
        QCOMPARE(frame.startUpList(), QStringLiteral("Location"));

        Fixture g;
        g.services.settings().startupBrowse = "Category";
        g.services.settingsStore().save(g.services.settings());
        MainFrame other{g.services};
        other.setShowSplash(false);
        QVERIFY(other.initialise());
        other.show();
        QTRY_COMPARE(other.startUpList(), QStringLiteral("Category"));
    }

    void childWindowsOpenInsideTheAreaWithAllTheirControls()
    {
        Fixture f;
        MainFrame frame{f.services};
        frame.setShowSplash(false);
        QVERIFY(frame.initialise()); // the default size
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QMdiArea* area = frame.mdiArea();
        frame.openExplorer();
        frame.openCategoryList();
        frame.action("BrowseLocations")->trigger();
        const QRect visible = area->viewport()->rect();
        for (QMdiSubWindow* window : area->subWindowList()) {
            const QString name = window->widget()->objectName();
            QVERIFY2(visible.contains(window->geometry()), qPrintable(name));
            QVERIFY2(window->width() >= window->minimumSizeHint().width(), qPrintable(name));
            QVERIFY2(window->height() >= window->minimumSizeHint().height(), qPrintable(name));
        }
        // A frame made smaller than a child scrolls to the rest of it.
        frame.resize(frame.minimumSize());
        QTRY_VERIFY(area->horizontalScrollBar()->isVisible() ||
                    area->verticalScrollBar()->isVisible());
    }

    void positionIsKeptUnderMain()
    {
        Fixture f;
        {
            MainFrame frame{f.services};
            QVERIFY(frame.initialise());
            frame.resize(900, 650);
            frame.close();
        }
        QCOMPARE(f.services.positions().value("Main", "Width"), std::string{"900"});
        QCOMPARE(f.services.positions().value("Main", "Height"), std::string{"650"});
        MainFrame again{f.services};
        QVERIFY(again.initialise());
        QCOMPARE(again.size(), QSize(900, 650));
    }

    static QPushButton* button(QWidget* window, const QString& text)
    {
        for (QPushButton* b : window->findChildren<QPushButton*>()) {
            if (b->text() == text) {
                return b;
            }
        }
        return nullptr;
    }

    // A click on the box itself: a click in the middle of a wide check box
    // can miss its text.
    static void tick(QCheckBox* box)
    {
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    }

    static std::string storedSetting(Services& services, std::string_view name)
    {
        FileManager& configuration = services.database().configuration();
        configuration.use();
        const std::string value = readSetting(configuration, name);
        configuration.close();
        return value;
    }

    void optionsWindowWritesAndCancelReloads()
    {
        Fixture f;
        Settings& settings = f.services.settings();
        f.services.settingsStore().load(settings);
        {
            gui::OptionsWindow options(settings, f.services.settingsStore());
            options.show();
            QVERIFY(QTest::qWaitForWindowExposed(&options));
            QCOMPARE(options.windowTitle(), QStringLiteral("Options"));
            tick(options.findChildren<QCheckBox*>()[0]);                        // no tray
            QTest::keyClick(options.findChildren<QComboBox*>()[0], Qt::Key_Up); // Start URL
            options.findChildren<QComboBox*>()[1]->setCurrentText("Category");
            tick(options.findChildren<QCheckBox*>()[1]); // secure
            auto edits = options.findChildren<QLineEdit*>();
            QTest::keyClicks(edits[0], "pass word");
            options.setFolderChooser(
                [](const QString&) { return QStringLiteral("/srv/favorites"); });
            QTest::mouseClick(options.findChild<QPushButton*>("BrowseFolder"), Qt::LeftButton);
            QCOMPARE(edits[1]->text(), QStringLiteral("/srv/favorites"));
            options.findChild<QSpinBox*>("LinkTestJobs")->setValue(8);
            options.findChild<QSpinBox*>("LinkTestsPerHost")->setValue(20); // more than all
            options.findChild<QSpinBox*>("DownloadMostMB")->setValue(5);
            options.findChild<QSpinBox*>("DownloadMostMinutes")->setValue(3);
            QTest::mouseClick(button(&options, "&OK"), Qt::LeftButton);
            QVERIFY(!options.isVisible());
        }
        Settings reread;
        f.services.settingsStore().load(reread);
        QCOMPARE(reread.noTray, 1);
        QCOMPARE(reread.doubleClickAction, std::string{"Start URL"});
        QCOMPARE(reread.startupBrowse, std::string{"Category"});
        QCOMPARE(reread.secure, 1);
        QVERIFY(passwordMatches("PASS WORD", reread.password));
        QCOMPARE(reread.password, settings.password);
        QCOMPARE(reread.favoritesPath, std::string{"/srv/favorites"});
        QCOMPARE(reread.linkTestJobs, 8);
        QCOMPARE(reread.linkTestsPerHost, 8);
        QCOMPARE(reread.downloadMostMB, 5);
        QCOMPARE(reread.downloadMostMinutes, 3);

        gui::OptionsWindow cancelled(settings, f.services.settingsStore());
        cancelled.show();
        QTest::keyClicks(cancelled.findChildren<QLineEdit*>()[0], "not kept");
        settings.startupBrowse = "changed in memory";
        QTest::mouseClick(button(&cancelled, "Cancel"), Qt::LeftButton);
        QCOMPARE(settings.startupBrowse, std::string{"Category"}); // Cancel reloads what is stored
        QVERIFY(passwordMatches("pass word", settings.password));
    }

    void optionsShowThePasswordNeverAndReplaceItOnlyWhenTold()
    {
        Fixture f;
        Settings& settings = f.services.settings();
        f.services.settingsStore().load(settings);
        settings.secure = 1;
        settings.password = "Sesame";
        QVERIFY(f.services.settingsStore().save(settings));
        f.services.settingsStore().load(settings);
        // Types `typed`, ticks "Remove the password" when told, presses OK;
        // what is stored then. `shown` is what the entry showed at first.
        QString shown;
        const auto runOptions = [&](const QString& typed, bool clear) {
            gui::OptionsWindow options(settings, f.services.settingsStore());
            options.show();
            auto* password = options.findChildren<QLineEdit*>()[0];
            shown = password->echoMode() == QLineEdit::Password ? password->text()
                                                                : QStringLiteral("in clear");
            QTest::keyClicks(password, typed);
            auto* remove = options.findChild<QCheckBox*>("ClearPassword");
            if (clear && remove->isEnabled()) {
                tick(remove);
            }
            QTest::mouseClick(button(&options, "&OK"), Qt::LeftButton);
            return options.isVisible() ? std::string{"still open"}
                                       : storedSetting(f.services, "Password");
        };
        const std::string first = storedSetting(f.services, "Password");
        QCOMPARE(runOptions("", false), first); // an empty entry keeps the password
        QCOMPARE(shown, QString{});             // neither the password nor its hash
        const std::string second = runOptions("Open Sesame", false);
        QVERIFY(passwordMatches("open sesame", second));
        QVERIFY(!passwordMatches("Sesame", second));
        QCOMPARE(runOptions("typed, then removed", true), std::string{});
        QVERIFY(!passwordRequired(settings)); // no check at the next start

        gui::OptionsWindow none(settings, f.services.settingsStore());
        QVERIFY(!none.findChild<QCheckBox*>("ClearPassword")->isEnabled());
    }

    void optionsShowTheDoubleClickActionInForceAndStoreOnlyAChoice()
    {
        Fixture f;
        Settings& settings = f.services.settings();
        f.services.settingsStore().load(settings);
        QCOMPARE(settings.doubleClickAction, std::string{}); // a fresh install: the form opens
        {
            gui::OptionsWindow options(settings, f.services.settingsStore());
            options.show();
            QCOMPARE(options.findChildren<QComboBox*>()[0]->currentText(),
                     QStringLiteral("Edit Record"));
            QTest::mouseClick(button(&options, "&OK"), Qt::LeftButton);
        }
        QCOMPARE(storedSetting(f.services, "DoubleClickAction"), std::string{});
        QCOMPARE(settings.doubleClickAction, std::string{});
        {
            gui::OptionsWindow options(settings, f.services.settingsStore());
            options.show();
            auto* doubleClick = options.findChildren<QComboBox*>()[0];
            QTest::keyClick(doubleClick, Qt::Key_Up);
            QTest::keyClick(doubleClick, Qt::Key_Down); // chosen, though it was shown
            QTest::mouseClick(button(&options, "&OK"), Qt::LeftButton);
        }
        QCOMPARE(storedSetting(f.services, "DoubleClickAction"), std::string{"Edit Record"});
    }

    // Another program reading URLDATA (a tessaly-cli list into a slow pipe)
    // holds the lock the commit of the group needs.
    void optionsOkThatCannotStoreSaysSoAndKeepsTheWindowOpen()
    {
        Fixture f;
        Settings& settings = f.services.settings();
        f.services.settingsStore().load(settings);
        sqlite3* reader = nullptr;
        QCOMPARE(sqlite3_open_v2(f.folder.file("URLDATA.tps").c_str(), &reader,
                                 SQLITE_OPEN_READONLY, nullptr),
                 SQLITE_OK);
        sqlite3_stmt* scan = nullptr;
        QCOMPARE(sqlite3_prepare_v2(reader, "SELECT name FROM sqlite_master", -1, &scan, nullptr),
                 SQLITE_OK);
        QCOMPARE(sqlite3_step(scan), SQLITE_ROW);

        gui::OptionsWindow options(settings, f.services.settingsStore());
        options.show();
        tick(options.findChildren<QCheckBox*>()[1]); // secure
        auto* password = options.findChildren<QLineEdit*>()[0];
        QTest::keyClicks(password, "Sesame");
        QTest::keyClick(options.findChildren<QComboBox*>()[0], Qt::Key_Up); // Start URL
        QTest::mouseClick(button(&options, "&OK"), Qt::LeftButton);
        QCOMPARE(f.ui.shown.size(), std::size_t{1});
        QCOMPARE(f.ui.last().title, std::string{"Error!"});
        QVERIFY2(f.ui.last().text.starts_with("Error writing configuration information.  Code "),
                 f.ui.last().text.c_str());
        QVERIFY(options.isVisible());
        QCOMPARE(password->text(), QStringLiteral("Sesame"));
        QCOMPARE(options.findChildren<QComboBox*>()[0]->currentText(), QStringLiteral("Start URL"));
        QCOMPARE(settings.secure, 0); // nothing acts as if it were stored
        QCOMPARE(settings.doubleClickAction, std::string{});

        sqlite3_finalize(scan);
        sqlite3_close(reader);
        QTest::mouseClick(button(&options, "&OK"), Qt::LeftButton);
        QVERIFY(!options.isVisible());
        QCOMPARE(f.ui.shown.size(), std::size_t{1});
        Settings reread;
        f.services.settingsStore().load(reread);
        QCOMPARE(reread.secure, 1);
        QVERIFY(passwordMatches("sesame", reread.password));
        QCOMPARE(reread.doubleClickAction, std::string{"Start URL"});
    }

    void ctrlShiftEOpensTheExportWizard()
    {
        Fixture f;
        MainFrame frame{f.services};
        frame.show();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        QString opened;
        test::ModalAnswers answers([&](QWidget* modal) {
            opened = modal->windowTitle();
            test::click(test::buttonOf(modal, "Cancel"));
            return true;
        });
        QTest::keyClick(&frame, Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier);
        QTRY_COMPARE(opened, QStringLiteral("Export Wizard"));
        QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
    }

    // A logout ends the program whatever is open: the dialog in front, and
    // the one the work behind it opens next, go as with Cancel.
    void anEndRequestDismissesEveryDialogThenClosesTheFrame()
    {
        Fixture f;
        MainFrame frame{f.services};
        frame.show();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        QTimer::singleShot(50, &frame, [&frame] { frame.endOnRequest(); });
        QDialog first(&frame);
        first.setWindowTitle("First");
        int secondResult = -1;
        connect(&first, &QDialog::finished, &frame, [&] {
            QDialog second(&frame);
            second.setWindowTitle("Second");
            secondResult = second.exec();
        });
        QCOMPARE(first.exec(), int{QDialog::Rejected});
        QCOMPARE(secondResult, int{QDialog::Rejected});
        QTRY_VERIFY(!frame.isVisible());
    }

    // A list whose file another program holds says so once and does not
    // open as an empty window; once the file is free it opens as ever.
    void aListWhoseFileAnotherProgramHoldsSaysSoAndOpensNothing()
    {
        Fixture f;
        MainFrame frame{f.services};
        QCOMPARE(f.services.database().bookmarks().users(), 0);
        {
            test::HeldDatabase other{f.folder.path() + "/URLDATA.tps"};
            QVERIFY(other.held());
            const std::size_t before = f.ui.shown.size();
            QCOMPARE(frame.openList(gui::bookmarkListVariant()), nullptr);
            QCOMPARE(f.ui.shown.size(), before + 1);
            QCOMPARE(f.ui.last().title, std::string{"File Access Error"});
            QVERIFY(frame.mdiArea()->subWindowList().isEmpty());
            QCOMPARE(f.services.database().bookmarks().users(), 0);
        }
        QVERIFY(frame.openList(gui::bookmarkListVariant()) != nullptr);
        QCOMPARE(frame.mdiArea()->subWindowList().size(), 1);
    }

    void themesChangesTheLookAtOnceAndKeepsIt()
    {
        Fixture f;
        MainFrame frame{f.services};
        frame.show();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        const QString before = QApplication::style()->name();
        test::ModalAnswers answers([&](QWidget* modal) {
            auto* styles = modal->findChild<QListWidget*>();
            const auto fusion = styles->findItems(QStringLiteral("Fusion"), Qt::MatchFixedString);
            styles->setCurrentItem(fusion.front());
            test::click(test::buttonOf(modal, "&OK"));
            return true;
        });
        frame.action("Themes")->trigger();
        QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
        QCOMPARE(QApplication::style()->name().toLower(), QStringLiteral("fusion"));
        QCOMPARE(f.services.settings().theme, std::string{"Fusion"});
        QCOMPARE(f.services.settingsStore().get("Theme", ""), std::string{"Fusion"});
        // Back to the desktop's own.
        gui::applyTheme("");
        QCOMPARE(QApplication::style()->name(), before);
    }

    void theWindowMenuListsTheOpenWindowsAndBringsOneForward()
    {
        Fixture f;
        MainFrame frame{f.services};
        frame.show();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        frame.action("BrowseLocations")->trigger();
        frame.action("BrowseCategories")->trigger();
        QMenu* menu = nullptr;
        for (QAction* a : frame.menuBar()->actions()) {
            if (a->text() == QStringLiteral("&Window")) {
                menu = a->menu();
            }
        }
        QVERIFY(menu != nullptr);
        QMetaObject::invokeMethod(menu, "aboutToShow");
        QStringList entries;
        QAction* first = nullptr;
        for (QAction* a : menu->actions()) {
            if (a->text().startsWith(QLatin1Char('&')) && a->text().at(1).isDigit()) {
                entries << a->text();
                first = first == nullptr ? a : first;
            }
        }
        QCOMPARE(entries.size(), 2);
        QVERIFY(entries[0].startsWith(QStringLiteral("&1 ")));
        QVERIFY(entries[1].startsWith(QStringLiteral("&2 ")));
        first->trigger();
        auto* area = frame.findChild<QMdiArea*>();
        QCOMPARE(QStringLiteral("&1 ") + area->activeSubWindow()->windowTitle(), entries[0]);
    }

    void altRReversesTheListRatherThanOpeningTheReportsMenu()
    {
        Fixture f;
        MainFrame frame{f.services};
        frame.show();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        frame.action("BrowseLocations")->trigger();
        auto* list = frame.findChild<gui::BrowseWindow*>();
        QVERIFY(list != nullptr);
        QHeaderView* header = list->table()->horizontalHeader();
        QTRY_VERIFY(header->isSortIndicatorShown());
        QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
        list->table()->setFocus();
        QTRY_VERIFY(list->table()->hasFocus());
        QTest::keyClick(list->table(), Qt::Key_R, Qt::AltModifier);
        QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
        QVERIFY(QApplication::activePopupWidget() == nullptr);
    }

    void aboutAndHelp()
    {
        Fixture f;
        gui::AboutWindow about;
        QCOMPARE(about.windowTitle(), QStringLiteral("About"));
        QCOMPARE(about.findChild<QLabel*>("BuildNumber")->text(), QStringLiteral("154"));
        QVERIFY(!about.findChild<QLabel*>("BuildDate")->text().isEmpty());
        QVERIFY(about.findChild<QLabel*>("BuildDate")->text().contains("2000"));

        MainFrame frame{f.services};
        frame.action("HelpIndex")->trigger();
        QVERIFY(frame.helpWindow() != nullptr);
        QVERIFY(frame.helpWindow()->isVisible());
        QVERIFY(frame.helpWindow()->toPlainText().contains("Tray icon"));
        frame.action("HelpContents")->trigger();
        // A new user learns there how to add a first category and bookmark.
        QVERIFY(frame.helpWindow()->toPlainText().contains(
            "In the Select Category window, New makes a category"));
        frame.action("Exit")->trigger();
        QVERIFY(!frame.helpWindow()->isVisible()); // help goes with the frame
    }

    void trayPopupItems()
    {
        gui::TrayIcon tray;
        QCOMPARE(texts(tray.popup()->actions()),
                 (QStringList{"Add New URL...", "Restore", "Help", "E&xit"}));
        QCOMPARE(tray.popup()->actions().size(), 7);
        QCOMPARE(tray.systemTrayIcon()->toolTip(), QStringLiteral("Tessaly 2000"));
        for (QAction* a : tray.popup()->actions()) {
            QVERIFY(a->isSeparator() || !a->icon().isNull());
        }
    }

    void splashClosesOnAClickOrACommandAndTheListStillOpens()
    {
        {
            auto* splash = new gui::SplashWindow; // deletes itself when closed
            QCOMPARE(splash->findChild<QLabel*>("VersionLine")->text(),
                     QStringLiteral("Version 2.4"));
            QSignalSpy closed(splash, &gui::SplashWindow::closed);
            splash->show();
            QTest::mouseClick(splash, Qt::LeftButton);
            QCOMPARE(closed.count(), 1);
        }
        Fixture f;
        MainFrame frame{f.services};
        QVERIFY(frame.initialise());
        QSignalSpy started(&frame, &MainFrame::startUpListRequested);
        frame.show();
        QWidget* shown = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == "Splash" && w->isVisible()) {
                shown = w;
            }
        }
        QVERIFY(shown != nullptr);
        QCOMPARE(started.count(), 0);
        frame.action("Tile")->trigger(); // any command closes the splash first
        QCOMPARE(started.count(), 1);
        QCOMPARE(frame.startUpList(), QStringLiteral("Location"));
    }

    void splashClosesByItselfAfterTwoSeconds()
    {
        auto* splash = new gui::SplashWindow; // deletes itself when closed
        QSignalSpy closed(splash, &gui::SplashWindow::closed);
        splash->show();
        QVERIFY(!closed.wait(1500));
        QTRY_COMPARE_WITH_TIMEOUT(closed.count(), 1, 2000);
    }

    void offscreenCountsAsADisplay() { QVERIFY(tessaly::gui::missingDisplayMessage().empty()); }
};

QTEST_MAIN(MainFrameTest)
#include "main_frame_test.moc"
