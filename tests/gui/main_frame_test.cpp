#include "core/services.h"
#include "core/tables.h"
#include "display_check.h"
#include "frame/about_window.h"
#include "frame/main_frame.h"
#include "frame/splash_window.h"
#include "frame/tray_icon.h"
#include "framework/dates.h"
#include "settings/options_window.h"

#include "scripted_ui.h"
#include "temp_folder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QToolBar>
#include <QtTest>

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
        QCOMPARE(
            texts(menu(frame, "&File")->actions()),
            (QStringList{"&Import", "&Export", "&Support Tools", "&Print Setup ...", "E&xit"}));
        QCOMPARE(texts(menu(frame, "&Tools")->actions()),
                 (QStringList{"&Options", "Get URL from Browser", "&Clipboard Monitor",
                              "Analy&ze Multiple Links", "&Validate Multiple Links",
                              "Validate &Internet Explorer Links", "&Themes"}));
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

        // Commands whose windows arrive later wait, disabled.
        for (const char* waiting :
             {"Import", "Export", "AnalyzeMultiple", "ReportWizard", "ImportOld"}) {
            QVERIFY2(!frame.action(waiting)->isEnabled(), waiting);
        }
        for (const char* ready :
             {"BrowseLocations", "Options", "Themes", "PrintSetup", "Exit", "Tile", "Cascade",
              "ArrangeIcons", "HelpContents", "HelpIndex", "About", "ValidateMultiple"}) {
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
        QCOMPARE(tips, (QStringList{"Tessaly 2000 options",
                                    "Start clipboard monitor (add many URLs quickly)",
                                    "Test all URLs", "Print list of locations", "View all links",
                                    "View links by category"}));
        QVERIFY(bar->actions()[0]->isEnabled());
        QVERIFY(bar->actions()[2]->isEnabled());  // "Test all URLs"
        QVERIFY(!bar->actions()[3]->isEnabled()); // the report comes later
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
            {1, "Sesame", "sESAME", true, true},    // other letter case
            {1, "Sesame", "Sesame   ", true, true}, // trailing blanks
            {1, "Sesame", " Sesame", false, true},  // a leading blank counts
            {1, "Sesame", "**Cancelled**", false, true},
            {1, "", "anything", true, false}, // Secure with no password asks nothing
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

    void optionsWindowWritesAndCancelReloads()
    {
        Fixture f;
        Settings& settings = f.services.settings();
        f.services.settingsStore().load(settings);
        {
            gui::OptionsWindow options(settings, f.services.settingsStore());
            QCOMPARE(options.windowTitle(), QStringLiteral("Options"));
            options.findChildren<QCheckBox*>()[0]->setChecked(true); // no tray
            options.findChildren<QComboBox*>()[0]->setCurrentText("Start URL");
            options.findChildren<QComboBox*>()[1]->setCurrentText("Category");
            options.findChildren<QCheckBox*>()[1]->setChecked(true); // secure
            auto edits = options.findChildren<QLineEdit*>();
            edits[0]->setText("pass word");
            options.setFolderChooser(
                [](const QString&) { return QStringLiteral("/srv/favorites"); });
            options.findChild<QPushButton*>("BrowseFolder")->click();
            QCOMPARE(edits[1]->text(), QStringLiteral("/srv/favorites"));
            options.findChild<QSpinBox*>("LinkTestJobs")->setValue(8);
            options.findChild<QSpinBox*>("LinkTestsPerHost")->setValue(20); // more than all
            options.accept();
        }
        Settings reread;
        f.services.settingsStore().load(reread);
        QCOMPARE(reread.noTray, 1);
        QCOMPARE(reread.doubleClickAction, std::string{"Start URL"});
        QCOMPARE(reread.startupBrowse, std::string{"Category"});
        QCOMPARE(reread.secure, 1);
        QCOMPARE(reread.password, std::string{"pass word"});
        QCOMPARE(reread.favoritesPath, std::string{"/srv/favorites"});
        QCOMPARE(reread.linkTestJobs, 8);
        QCOMPARE(reread.linkTestsPerHost, 8);

        gui::OptionsWindow cancelled(settings, f.services.settingsStore());
        cancelled.findChildren<QLineEdit*>()[0]->setText("not kept");
        settings.password = "changed in memory";
        cancelled.reject();
        QCOMPARE(settings.password, std::string{"pass word"}); // Cancel reloads what is stored
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
        frame.action("Themes")->trigger(); // any command closes the splash first
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
