#include "bookmarks/browse_window.h"
#include "bookmarks/categories.h"
#include "bookmarks/new_bookmark_wizard.h"
#include "categories/ask_category.h"
#include "categories/category_dialogs.h"
#include "categories/category_table.h"
#include "core/services.h"
#include "core/tables.h"
#include "framework/ini_file.h"
#include "framework/qt_ui_port.h"
#include "framework/text_help_window.h"
#include "import/import_wizard.h"

#include "modal_answers.h"
#include "started_services.h"
#include "stored_bookmark.h"
#include "temp_folder.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <filesystem>
#include <functional>

using namespace tessaly;
using gui::ImportWizard;
using test::buttonOf;
using test::click;
using test::ModalAnswers;

namespace {

// The program's services over the Qt UI port, as the program runs them:
// real message boxes, progress window and category picker. HOME is a
// folder of the test's own, so the browser profiles of this machine stay
// out of it.
struct Fixture {
    test::TempFolder folder;
    test::TempFolder prefix;
    test::TempFolder home;
    gui::QtUiPort ui;
    Services services{ui, folder.path(), prefix.path()};
    test::NoOpener opener;

    Fixture()
    {
        qputenv("HOME", QByteArray::fromStdString(home.path()));
        services.start();
        ui.setDatabase(&services.database());
        Record art{categoryTable()};
        art.setText(CategoryField::Category, "Art");
        saveCategory(services.database(), Record{categoryTable()}, art);
    }

    Database& db() { return services.database(); }
    std::string ini() const { return folder.file("TESSLY.INI"); }
    std::string setting(const char* key) const { return readIniValue(ini(), "Import", key); }

    std::vector<std::string> stored()
    {
        std::vector<std::string> out;
        FileManager& bookmarks = db().bookmarks();
        bookmarks.use();
        bookmarks.file().set(static_cast<int>(BookmarkKey::Location));
        Record r{bookmarkTable()};
        while (bookmarks.file().next(r).ok()) {
            out.push_back(r.text(BookmarkField::Location) + "|" + r.text(BookmarkField::Category));
        }
        bookmarks.close();
        return out;
    }
};

// A bookmark file as browsers export it: a folder of two, one after it.
const char* const kExport =
    "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
    "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
    "<TITLE>Bookmarks</TITLE>\n"
    "<H1>Bookmarks Menu</H1>\n"
    "<DL><p>\n"
    "    <DT><H3 ADD_DATE=\"1700000000\" LAST_MODIFIED=\"1700000001\">News</H3>\n"
    "    <DL><p>\n"
    "        <DT><A HREF=\"https://daily.example/\" ADD_DATE=\"1700000000\">Daily Paper</A>\n"
    "        <DT><A HREF=\"https://weather.example/\" ADD_DATE=\"1700000000\">The Online "
    "Weather</A>\n"
    "    </DL><p>\n"
    "    <DT><A HREF=\"https://top.example/\" ADD_DATE=\"1700000000\">Top Page</A>\n"
    "</DL>\n";

std::vector<BrowserCandidate> noBrowser()
{
    return {};
}

} // namespace

class ImportWizardTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void firstRunAndTheTypeRule()
    {
        Fixture f; // no TESSLY.INI at all
        ImportWizard wizard(f.services, {});
        wizard.show();
        QCOMPARE(wizard.windowTitle(), QStringLiteral("Import Wizard"));
        QVERIFY(wizard.typeButton(ImportType::Favorites)->isChecked());
        QCOMPARE(wizard.typeButton(ImportType::Favorites)->text(),
                 QStringLiteral("Microsoft Internet Explorer favorites"));
        QCOMPARE(wizard.button("&Finish")->toolTip(), QStringLiteral("Proceed with the import"));
        QCOMPARE(wizard.button("Cancel")->toolTip(), QStringLiteral("Cancel the import"));
        QVERIFY(!wizard.button("&Back")->isEnabled());

        click(wizard.button("&Next"));
        QCOMPARE(wizard.currentPage(), int(ImportWizard::CategoryPage));
        QVERIFY(wizard.assignmentButton(CategoryAssignment::Guess)->isChecked());
        QVERIFY(!wizard.categoryEdit()->isEnabled());
        QVERIFY(!wizard.categoryButton()->isEnabled());
        click(wizard.assignmentButton(CategoryAssignment::Selected));
        QVERIFY(wizard.categoryEdit()->isEnabled());
        QCOMPARE(wizard.categoryButton()->toolTip(), QStringLiteral("Select category"));
        click(wizard.assignmentButton(CategoryAssignment::Ask));
        QVERIFY(!wizard.categoryEdit()->isEnabled());
        QVERIFY(!wizard.categoryButton()->isEnabled());

        click(wizard.button("&Next"));
        QCOMPARE(wizard.currentPage(), int(ImportWizard::FilePage));
        QVERIFY(!wizard.fileGroup()->isVisible());
        QVERIFY(!wizard.webGroup()->isVisible());

        // Which groups the File page shows, after choosing `type` on the
        // Type page.
        const auto groupsFor = [&](ImportType type) {
            while (wizard.currentPage() != ImportWizard::TypePage) {
                click(wizard.button("&Back"));
            }
            click(wizard.typeButton(type));
            click(wizard.button("&Next"));
            click(wizard.button("&Next"));
            return QString(wizard.fileGroup()->isVisible() ? "file" : "") +
                   (wizard.webGroup()->isVisible() ? "web" : "");
        };
        QCOMPARE(groupsFor(ImportType::Url), QStringLiteral("web"));
        QCOMPARE(groupsFor(ImportType::Favorites), QString());
        QCOMPARE(groupsFor(ImportType::Netscape), QStringLiteral("file"));
        QCOMPARE(groupsFor(ImportType::Firefox), QStringLiteral("file"));
        QVERIFY(wizard.profileBox()->isVisible());
        QCOMPARE(groupsFor(ImportType::Csv), QStringLiteral("file"));
        QVERIFY(!wizard.profileBox()->isVisible());

        click(wizard.button("Cancel"));
        QCOMPARE(wizard.result(), int(QDialog::Rejected));
        // Cancel keeps the choices too.
        QCOMPARE(f.setting("Import:Type"), std::string{"CSV"});
        QCOMPARE(f.setting("Import:Category:Assignment"), std::string{"Ask"});
        QCOMPARE(f.setting("Import:FollowLinks"), std::string{"0"});
        QVERIFY(!f.services.positions().value(ImportWizard::kName, "Width").empty());
    }

    void theBrowseButtonOffersTheTypesFiles()
    {
        Fixture f;
        const std::string exported = f.home.write("bookmark.htm", kExport);
        ImportWizard wizard(f.services, {});
        wizard.show();
        click(wizard.typeButton(ImportType::Netscape));
        click(wizard.button("&Next"));
        click(wizard.button("&Next"));
        QStringList filters;
        QString title;
        ModalAnswers answers([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            if (dialog == nullptr) {
                return false;
            }
            title = dialog->windowTitle();
            filters = dialog->nameFilters();
            // The user types the file's name into the dialog and opens it.
            QTest::keyClicks(dialog->findChild<QLineEdit*>("fileNameEdit"),
                             QString::fromStdString(exported));
            click(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open));
            return true;
        });
        click(wizard.browseButton());
        QCOMPARE(title, QStringLiteral("Select file to import"));
        // "*.*" is every file, also those without a dot in the name.
        QCOMPARE(filters,
                 (QStringList{"Netscape Bookmark File (bookmarks.html *.htm*)", "All Files (*)"}));
        QCOMPARE(wizard.fileEdit()->text(), QString::fromStdString(exported));
        click(wizard.button("Cancel"));
        QCOMPARE(f.setting("Import:File"), exported);
    }

    void followLinksRoundTrips()
    {
        Fixture f;
        writeIniValue(f.ini(), "Import", "Import:FollowLinks", "1");
        writeIniValue(f.ini(), "Import", "Import:URL", "http://page.example/");
        writeIniValue(f.ini(), "Import", "Import:Type", "url");
        {
            ImportWizard wizard(f.services, {});
            QVERIFY(wizard.typeButton(ImportType::Url)->isChecked());
            QVERIFY(wizard.followLinksCheckBox()->isChecked());
            QCOMPARE(wizard.webEdit()->text(), QStringLiteral("http://page.example/"));
            wizard.show();
            click(wizard.button("Cancel"));
        }
        QCOMPARE(f.setting("Import:FollowLinks"), std::string{"1"});
        QCOMPARE(f.setting("Import:URL"), std::string{"http://page.example/"});
        {
            ImportWizard wizard(f.services, {});
            wizard.show();
            click(wizard.button("&Next"));
            click(wizard.button("&Next"));
            click(wizard.followLinksCheckBox());
            click(wizard.button("Cancel"));
        }
        QCOMPARE(f.setting("Import:FollowLinks"), std::string{"0"});
    }

    void anUnknownCategoryOpensThePicker()
    {
        Fixture f;
        ImportWizard wizard(f.services, {});
        wizard.show();
        QVERIFY(QTest::qWaitForWindowActive(&wizard));
        click(wizard.button("&Next"));
        click(wizard.assignmentButton(CategoryAssignment::Selected));
        wizard.categoryEdit()->setFocus();
        QTest::keyClicks(wizard.categoryEdit(), "Nowhere");
        QString started;
        bool pick = false;
        ModalAnswers answers([&](QWidget* modal) {
            auto* picker = qobject_cast<gui::CategoryPicker*>(modal);
            if (picker == nullptr) {
                return false;
            }
            started = picker->table()->item(picker->table()->currentRow(), 0)->text();
            if (pick) {
                picker->table()->locate("Art");
                click(buttonOf(picker, "&Select"));
            } else {
                click(buttonOf(picker, "Cancel"));
            }
            return true;
        });
        // Enter goes on, as "&Next" does: the picker opens, and Cancel stays.
        QTest::keyClick(wizard.categoryEdit(), Qt::Key_Return);
        QCOMPARE(started, QStringLiteral("Art")); // the nearest to "Nowhere"
        QCOMPARE(wizard.currentPage(), int(ImportWizard::CategoryPage));
        QCOMPARE(wizard.focusWidget(), wizard.categoryEdit());
        QCOMPARE(wizard.categoryEdit()->text(), QStringLiteral("Nowhere"));

        click(wizard.button("&Finish")); // Finish does not go on either
        QCOMPARE(wizard.currentPage(), int(ImportWizard::CategoryPage));
        QVERIFY(wizard.isVisible());

        pick = true;
        click(wizard.button("&Next"));
        QCOMPARE(wizard.categoryEdit()->text(), QStringLiteral("Art"));
        QCOMPARE(wizard.currentPage(), int(ImportWizard::FilePage));

        // A stored name, in any letter case, goes on without asking.
        click(wizard.button("&Back"));
        wizard.categoryEdit()->setText("aRT");
        started.clear();
        click(wizard.button("&Next"));
        QVERIFY(started.isEmpty());
        QCOMPARE(wizard.currentPage(), int(ImportWizard::FilePage));
        click(wizard.button("Cancel"));
        QCOMPARE(f.setting("Import:Category"), std::string{"aRT"});
        QCOMPARE(f.setting("Import:Category:Assignment"), std::string{"Selected"});
    }

    void finishImportsAndTheOpenListRefreshes()
    {
        Fixture f;
        const std::string exported = f.home.write("bookmarks.html", kExport);
        gui::BrowseWindow list(f.services, f.opener);
        list.show();
        QCOMPARE(list.model()->rowCount(), 0);

        ImportWizard wizard(f.services, {});
        wizard.show();
        click(wizard.typeButton(ImportType::Netscape));
        click(wizard.button("&Next"));
        click(wizard.button("&Next"));
        QTest::keyClicks(wizard.fileEdit(), QString::fromStdString(exported));
        {
            ModalAnswers answers;
            click(wizard.button("&Finish"));
            QCOMPARE(answers.messages, QStringList{"Complete|3 URL(s) imported."});
        }
        QCOMPARE(wizard.result(), int(QDialog::Accepted));
        QVERIFY(!wizard.isVisible());
        QCOMPARE(f.stored(), (std::vector<std::string>{"https://daily.example/|News",
                                                       "https://top.example/|New",
                                                       "https://weather.example/|News"}));
        QCOMPARE(list.model()->rowCount(), 3);
        QCOMPARE(f.setting("Import:Type"), std::string{"Netscape"});
        QCOMPARE(f.setting("Import:File"), exported);

        // A second run adds nothing and says that all was stored; the list stays.
        ImportWizard again(f.services, {});
        again.show();
        {
            ModalAnswers quiet;
            click(again.button("&Finish"));
            QCOMPARE(quiet.messages,
                     QStringList{"Complete|0 URL(s) imported.\n3 were stored already."});
            QCOMPARE(quiet.details.size(), 1);
            QVERIFY(quiet.details.front().contains(
                QStringLiteral("already stored: https://daily.example/\n")));
        }
        QCOMPARE(list.model()->rowCount(), 3);

        // A file that is gone is said, and nothing changes.
        std::filesystem::remove(exported);
        ImportWizard missing(f.services, {});
        missing.show();
        ModalAnswers told;
        click(missing.button("&Finish"));
        QCOMPARE(told.messages.size(), 1);
        QVERIFY(told.messages.front().startsWith("Import Error|Nothing could be imported from " +
                                                 QString::fromStdString(exported)));
        QCOMPARE(list.model()->rowCount(), 3);
    }

    void xbelFileImportsWithItsFolders()
    {
        Fixture f;
        const std::string file = f.home.write(
            "bookmarks.xbel",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xbel version=\"1.0\"><folder id=\"1\">"
            "<title>News</title><bookmark href=\"https://daily.example/\" id=\"2\"><title>Daily"
            "</title></bookmark></folder></xbel>");
        ImportWizard wizard(f.services, {});
        wizard.show();
        click(wizard.typeButton(ImportType::Xbel));
        click(wizard.button("&Next"));
        click(wizard.button("&Next"));
        QTest::keyClicks(wizard.fileEdit(), QString::fromStdString(file));
        {
            ModalAnswers answers;
            click(wizard.button("&Finish"));
            QCOMPARE(answers.messages, QStringList{"Complete|1 URL(s) imported."});
        }
        QCOMPARE(f.stored(), (std::vector<std::string>{"https://daily.example/|News"}));
        QCOMPARE(f.setting("Import:Type"), std::string{"XBEL"});
    }

    void aFileTypeWithoutAFileAsksForIt()
    {
        Fixture f;
        writeIniValue(f.ini(), "Import", "Import:Type", "CSV");
        ImportWizard wizard(f.services, {});
        wizard.show();
        ModalAnswers answers;
        click(wizard.button("&Finish"));
        QCOMPARE(answers.messages,
                 QStringList{"Import|Enter the path and name of the file to import."});
        QVERIFY(wizard.isVisible());
        QCOMPARE(wizard.currentPage(), int(ImportWizard::FilePage));
    }

    void cancelInTheProgressWindowKeepsWhatWasImported()
    {
        Fixture f;
        constexpr int kBookmarks = 100000;
        std::string big = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n";
        for (int i = 0; i < kBookmarks; ++i) {
            big += "<DT><A HREF=\"https://site" + std::to_string(i) + ".example/\">Site " +
                   std::to_string(i) + "</A>\n";
        }
        big += "</DL>\n";
        writeIniValue(f.ini(), "Import", "Import:Type", "Netscape");
        writeIniValue(f.ini(), "Import", "Import:File", f.home.write("big.html", big));
        ImportWizard wizard(f.services, {});
        wizard.show();
        QString caption;
        ModalAnswers answers([&](QWidget* modal) {
            auto* progress = qobject_cast<QProgressDialog*>(modal);
            if (progress == nullptr) {
                return false;
            }
            if (progress->value() < 1) {
                return false; // not under way yet
            }
            caption = progress->windowTitle();
            click(buttonOf(progress, "Cancel"));
            return true;
        });
        click(wizard.button("&Finish"));
        QCOMPARE(caption, QStringLiteral("Processing Records"));
        const std::size_t kept = f.stored().size();
        QVERIFY2(kept > 0 && kept < std::size_t{kBookmarks}, std::to_string(kept).c_str());
        QCOMPARE(answers.messages,
                 QStringList{"Complete|Import cancelled; what arrived before is kept.\n" +
                             QString::number(kept) + " URL(s) imported."});
        QCOMPARE(wizard.result(), int(QDialog::Accepted));
    }

    void askShowsTheDialogForEachBookmark()
    {
        Fixture f;
        writeIniValue(f.ini(), "Import", "Import:Type", "Netscape");
        writeIniValue(f.ini(), "Import", "Import:File", f.home.write("ask.html", kExport));
        writeIniValue(f.ini(), "Import", "Import:Category:Assignment", "Ask");
        ImportWizard wizard(f.services, {});
        wizard.show();
        QStringList asked;
        ModalAnswers answers([&](QWidget* modal) {
            if (auto* form = qobject_cast<gui::CategoryForm*>(modal)) {
                QTest::keyClicks(form->nameEdit(), "Fresh");
                auto* box = form->findChild<QDialogButtonBox*>();
                click(box->buttons().front());
                return true;
            }
            auto* ask = qobject_cast<gui::AskCategory*>(modal);
            if (ask == nullptr) {
                return false;
            }
            const QString location = ask->findChildren<QLineEdit*>().front()->text();
            asked << location + " " + ask->findChild<QLabel*>("BestGuess")->text();
            if (location == "https://daily.example/") {
                ask->table()->locate("Art");
                click(buttonOf(ask, "&Select"));
            } else if (location == "https://weather.example/") {
                click(buttonOf(ask, "&Use Best Guess"));
            } else {
                // A category made here, inside the import, is listed and taken.
                click(buttonOf(ask, "&Insert"));
                ask->table()->locate("Fresh");
                click(buttonOf(ask, "&Select"));
            }
            return true;
        });
        click(wizard.button("&Finish"));
        QCOMPARE(asked, (QStringList{"https://daily.example/ Best Guess:  News",
                                     "https://weather.example/ Best Guess:  News",
                                     "https://top.example/ Best Guess:  "}));
        QCOMPARE(answers.messages, QStringList{"Complete|3 URL(s) imported."});
        QCOMPARE(f.stored(), (std::vector<std::string>{"https://daily.example/|Art",
                                                       "https://top.example/|Fresh",
                                                       "https://weather.example/|News"}));
        QVERIFY(f.db().categoryExists("News"));
        QVERIFY(f.db().categoryExists("Fresh"));
    }

    void browserProfilesAreOffered()
    {
        Fixture f;
        std::filesystem::create_directories(f.home.path() + "/.mozilla/firefox/ab12.default");
        f.home.write(".mozilla/firefox/ab12.default/places.sqlite", "");
        std::filesystem::create_directories(f.home.path() + "/.config/chromium/Default");
        const std::string chromium = f.home.write(
            ".config/chromium/Default/Bookmarks",
            "{\"roots\": {\"bookmark_bar\": {\"type\": \"folder\", \"name\": \"Bookmarks bar\",\n"
            "                \"children\": [{\"type\": \"url\", \"name\": \"Bar site\", \"url\": "
            "\"https://bar.example/\"}]},\n"
            "              \"other\": {\"type\": \"folder\", \"name\": \"Other bookmarks\", "
            "\"children\": []}}}");
        ImportWizard wizard(f.services, {});
        wizard.show();
        click(wizard.typeButton(ImportType::Firefox));
        QCOMPARE(wizard.typeButton(ImportType::Chromium)->text(),
                 QStringLiteral("Chromium, Chrome, Edge or Brave profile"));
        QCOMPARE(wizard.profileBox()->count(), 1);
        QCOMPARE(wizard.profileBox()->itemText(0), QStringLiteral("Firefox: ab12.default"));
        click(wizard.typeButton(ImportType::Chromium));
        QCOMPARE(wizard.profileBox()->count(), 1);
        QCOMPARE(wizard.profileBox()->currentText(), QStringLiteral("Chromium: Default"));
        // A path given before is kept: the profile is chosen from the list.
        wizard.fileEdit()->setText("/somewhere/else");
        wizard.profileBox()->setCurrentIndex(-1);
        click(wizard.button("&Next"));
        click(wizard.button("&Next"));
        QVERIFY(wizard.profileBox()->isVisible());
        QTest::keyClick(wizard.profileBox(), Qt::Key_Down);
        QCOMPARE(wizard.fileEdit()->text(), QString::fromStdString(chromium));

        ModalAnswers answers;
        click(wizard.button("&Finish"));
        QCOMPARE(answers.messages, QStringList{"Complete|1 URL(s) imported."});
        QCOMPARE(f.stored(), (std::vector<std::string>{"https://bar.example/|Bookmarks bar"}));
        QCOMPARE(f.setting("Import:Type"), std::string{"Chromium"});
    }

    void fromAWebSiteStartsTheNewBookmarkWizard()
    {
        Fixture f;
        QString taken;
        ImportWizard wizard(f.services, [&] {
            gui::NewBookmarkWizard added(f.services, noBrowser);
            taken = added.locationEdit()->text();
        });
        wizard.show();
        click(wizard.typeButton(ImportType::Url));
        click(wizard.button("&Next"));
        click(wizard.button("&Next"));
        QTest::keyClicks(wizard.webEdit(), "WWW.Example.org/page");
        click(wizard.button("&Finish"));
        QCOMPARE(taken, QStringLiteral("WWW.Example.org/page"));
        QCOMPARE(wizard.result(), int(QDialog::Accepted));
        QCOMPARE(f.setting("Import:URL"), std::string{"WWW.Example.org/page"});
    }

    void helpShowsImportTxt()
    {
        Fixture f;
        ImportWizard wizard(f.services, {});
        wizard.show();
        click(wizard.button("Help"));
        gui::TextHelpWindow* help = wizard.helpWindow();
        QVERIFY(help != nullptr && help->isVisible());
        QCOMPARE(help->windowTitle(), QStringLiteral("Import Help"));
        QVERIFY(help->textView()->isReadOnly());
        QFile source(QStringLiteral(IMPORT_TXT_PATH));
        QVERIFY(source.open(QIODevice::ReadOnly | QIODevice::Text));
        QCOMPARE(help->textView()->toPlainText(), QString::fromUtf8(source.readAll()));
        click(buttonOf(help, "&Close"));
        QTRY_VERIFY(wizard.helpWindow() == nullptr || !wizard.helpWindow()->isVisible());
        click(wizard.button("Cancel"));
    }
};

QTEST_MAIN(ImportWizardTest)
#include "import_wizard_test.moc"
