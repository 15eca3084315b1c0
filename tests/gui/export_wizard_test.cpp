#include "categories/category_dialogs.h"
#include "core/services.h"
#include "core/tables.h"
#include "export/export_wizard.h"
#include "framework/ini_file.h"
#include "framework/qt_ui_port.h"
#include "framework/text_help_window.h"
#include "platform/data_folder.h"
#include "platform/launcher.h"

#include "modal_answers.h"
#include "temp_folder.h"

#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QtTest>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <unistd.h>

using namespace tessaly;
using gui::ExportWizard;
using test::buttonOf;
using test::click;
using test::ModalAnswers;

namespace {

// Notes what it was asked to open; opens nothing.
struct RecordingOpener final : Opener {
    int open(const std::string& target, const std::string& parameters) override
    {
        const std::lock_guard lock(mutex);
        opened.push_back(target + "|" + parameters);
        return kOpenedOk;
    }
    bool start(const std::string&) override { return true; }
    std::vector<std::string> taken()
    {
        const std::lock_guard lock(mutex);
        return opened;
    }
    std::mutex mutex;
    std::vector<std::string> opened;
};

// The program's services over the Qt UI port with two bookmarks stored.
struct Fixture {
    test::TempFolder folder;
    test::TempFolder prefix;
    test::TempFolder out;
    gui::QtUiPort ui;
    Services services{ui, folder.path(), prefix.path()};
    RecordingOpener opener;

    Fixture()
    {
        ExportWizard::preformattedChoice() = false;
        services.start();
        ui.setDatabase(&services.database());
        add("http://art.example/", "Art", "Gallery \"North\", rooms", 3);
        add("http://news.example/", "News", "Daily", 0);
    }

    void add(const char* location, const char* category, const char* description, int rating)
    {
        Record r{bookmarkTable()};
        r.setText(BookmarkField::Location, location);
        r.setText(BookmarkField::Category, category);
        r.setText(BookmarkField::Description, description);
        r.setNumber(BookmarkField::Rating, rating);
        QCOMPARE(services.database().addBookmarkWithCategory(r), 0);
    }

    std::string ini() const { return folder.file("TESSLY.INI"); }
    std::string setting(const std::string& key) const { return readIniValue(ini(), "Export", key); }
};

std::string contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Goes forward to the "File" page by "&Next", as a user does.
void toFilePage(ExportWizard& wizard)
{
    while (wizard.currentPage() != ExportWizard::FilePage) {
        click(wizard.button("&Next"));
    }
}

} // namespace

class ExportWizardTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void firstRunAndTheTypeRule()
    {
        Fixture f; // no TESSLY.INI at all
        ExportWizard wizard(f.services, f.opener, false);
        wizard.show();
        QCOMPARE(wizard.windowTitle(), QStringLiteral("Export Wizard"));
        QVERIFY(wizard.typeButton("Table")->isChecked());
        QCOMPARE(wizard.typeButton("Frame")->text(), QStringLiteral("&HTML - Frame"));
        QCOMPARE(wizard.button("&Back")->toolTip(), QStringLiteral("Return to previous screen"));
        QCOMPARE(wizard.button("&Next")->toolTip(), QStringLiteral("Continue to next screen"));
        QCOMPARE(wizard.button("&Finish")->toolTip(), QStringLiteral("Proceed with the export"));
        QCOMPARE(wizard.button("Cancel")->toolTip(), QStringLiteral("Cancel the export"));
        QVERIFY(wizard.preformattedCheckBox()->toolTip().startsWith(
            "Check this to use pre-formatted (external) HTML\nguidelines"));
        QCOMPARE(wizard.fileFilter(),
                 QStringLiteral("HTML Files|*.html|HTM Files|*.htm|All Files|*.*"));

        // Pre-formatted HTML belongs to the HTML types; with it on, the
        // "Fields" page is passed over and the meta texts may be typed.
        QVERIFY(wizard.preformattedCheckBox()->isEnabled());
        QVERIFY(!wizard.metaKeywordsEdit()->isEnabled());
        click(wizard.preformattedCheckBox());
        QVERIFY(wizard.metaKeywordsEdit()->isEnabled());
        QVERIFY(wizard.metaDescriptionEdit()->isEnabled());
        click(wizard.button("&Next"));
        QCOMPARE(wizard.currentPage(), int(ExportWizard::OrderPage));
        QVERIFY(wizard.orderButton("Location")->isChecked());
        click(wizard.button("&Next"));
        QVERIFY(wizard.assignmentButton("All")->isChecked());
        QVERIFY(!wizard.categoryEdit()->isEnabled());
        click(wizard.assignmentButton("Selected"));
        QVERIFY(wizard.categoryEdit()->isEnabled());
        QVERIFY(wizard.categoryButton()->isEnabled());
        QCOMPARE(wizard.categoryButton()->toolTip(), QStringLiteral("Select category"));
        click(wizard.assignmentButton("Query"));
        QVERIFY(!wizard.categoryEdit()->isEnabled());
        click(wizard.button("&Next"));
        QCOMPARE(wizard.currentPage(), int(ExportWizard::FilePage));
        click(wizard.button("&Back"));
        QCOMPARE(wizard.currentPage(), int(ExportWizard::CategoryPage));

        // "CSV" has no pre-formatted form: the box is disabled, "Fields" is
        // back and so is the CSV filter.
        click(wizard.button("&Back"));
        click(wizard.button("&Back"));
        click(wizard.typeButton("CSV"));
        QVERIFY(!wizard.preformattedCheckBox()->isEnabled());
        QVERIFY(!wizard.metaKeywordsEdit()->isEnabled());
        QVERIFY(!wizard.choices().preformatted);
        QCOMPARE(wizard.fileFilter(),
                 QStringLiteral("Comma-separated value files|*.csv|All Files|*.*"));
        click(wizard.button("&Next"));
        click(wizard.button("&Next"));
        click(wizard.button("&Next"));
        QCOMPARE(wizard.currentPage(), int(ExportWizard::FieldsPage));
        click(wizard.ratingCheckBox());
        click(wizard.otherFieldsCheckBox());

        click(wizard.button("Cancel"));
        QCOMPARE(wizard.result(), int(QDialog::Rejected));
        // Cancel keeps the choices too, in the order they have always had.
        QCOMPARE(f.setting("Export:Type"), std::string{"CSV"});
        QCOMPARE(f.setting("Export:Category:Assignment"), std::string{"Query"});
        QCOMPARE(f.setting("Export::Rating"), std::string{"1"});
        QCOMPARE(f.setting("Export::OtherFields"), std::string{"1"});
        QCOMPARE(f.setting("Export::SiteInfo"), std::string{"0"});
        const std::string written = contents(f.ini());
        std::size_t at = 0;
        for (const char* key :
             {"Export:File:Preformatted=", "Export:File=", "Export:File:CSV=", "Export:Type=",
              "Export:Category:Assignment=", "Export:Category=", "Export:Order=",
              "Export:PageTitle=", "Export:Meta:Keywords=", "Export:Meta:Description=",
              "Export::Rating=", "Export::Keyword=", "Export::SiteInfo=", "Export::OtherFields="}) {
            const std::size_t found = written.find(key, at);
            QVERIFY2(found != std::string::npos, key);
            at = found;
        }
        QVERIFY(!f.services.positions().value(ExportWizard::kName, "Width").empty());

        // The pre-formatted choice lasts while the program runs; it is
        // never stored.
        QVERIFY(ExportWizard::preformattedChoice());
        QCOMPARE(f.setting("Use pre-formatted HTML"), std::string{});
        ExportWizard again(f.services, f.opener, false);
        QVERIFY(again.preformattedCheckBox()->isChecked());
        QVERIFY(!again.preformattedCheckBox()->isEnabled()); // CSV again
        QVERIFY(again.ratingCheckBox()->isChecked());
        QVERIFY(again.assignmentButton("Query")->isChecked());
    }

    void eachTypeGetsBackItsOwnFile()
    {
        Fixture f;
        writeIniValue(f.ini(), "Export", "Export:File:Table", "/tmp/links.htm");
        writeIniValue(f.ini(), "Export", "Export:File:CSV", "/tmp/links.csv");
        writeIniValue(f.ini(), "Export", "Export:File", "/tmp/links.htm");
        ExportWizard wizard(f.services, f.opener, false);
        wizard.show();
        click(wizard.typeButton("CSV"));
        QCOMPARE(wizard.fileEdit()->text(), QStringLiteral("/tmp/links.csv"));
        click(wizard.typeButton("ASCII")); // none kept: a name of its own beside
        QCOMPARE(wizard.fileEdit()->text(), QStringLiteral("/tmp/bookmarks.txt"));
        QCOMPARE(wizard.fileFilter(), QStringLiteral("Text files|*.txt|All Files|*.*"));
        click(wizard.typeButton("Table"));
        QCOMPARE(wizard.fileEdit()->text(), QStringLiteral("/tmp/links.htm"));
        click(wizard.typeButton("CSV"));
        click(wizard.button("Cancel"));
        QCOMPARE(f.setting("Export:File:CSV"), std::string{"/tmp/links.csv"});
        QCOMPARE(f.setting("Export:File:Table"), std::string{"/tmp/links.htm"});
        QCOMPARE(f.setting("Export:File"), std::string{"/tmp/links.csv"});
    }

    void finishWritesTheFileAndOpensItOnYes()
    {
        Fixture f;
        ExportWizard wizard(f.services, f.opener, false);
        wizard.show();
        click(wizard.typeButton("CSV"));
        click(wizard.button("&Next"));
        click(wizard.orderButton("CatDesc"));
        click(wizard.button("&Next"));
        click(wizard.button("&Next"));
        click(wizard.ratingCheckBox());
        click(wizard.button("&Next"));
        const std::string file = f.out.file("links.csv");
        QTest::keyClicks(wizard.fileEdit(), QString::fromStdString(file));
        QString asked;
        bool yesFirst = false;
        ModalAnswers answers([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (box == nullptr || box->windowTitle() != QStringLiteral("Export Complete")) {
                return false;
            }
            asked = box->text();
            yesFirst = box->defaultButton() == box->button(QMessageBox::Yes);
            click(box->button(QMessageBox::Yes));
            return true;
        });
        click(wizard.button("&Finish"));
        QCOMPARE(asked, "Would you like to launch " + QString::fromStdString(file) + " now?");
        QVERIFY(yesFirst);
        QCOMPARE(wizard.result(), int(QDialog::Accepted));
        QCOMPARE(answers.messages, QStringList{});
        // A description's quotes are doubled so that the file reads back.
        QCOMPARE(contents(file), std::string{"\"Art\",\"http://art.example/\",\"Gallery "
                                             "\"\"North\"\", rooms\",3\r\n"
                                             "\"News\",\"http://news.example/\",\"Daily\",0\r\n"});
        QTRY_COMPARE(f.opener.taken(), std::vector<std::string>{file + "|"});
        QCOMPARE(f.setting("Export:File:CSV"), file);
        QCOMPARE(f.setting("Export:Order"), std::string{"CatDesc"});
    }

    void xbelWritesOneFolderPerCategory()
    {
        Fixture f;
        ExportWizard wizard(f.services, f.opener, false);
        wizard.show();
        click(wizard.typeButton("XBEL"));
        QCOMPARE(wizard.fileFilter(), QStringLiteral("XBEL Bookmark Files|*.xbel|All Files|*.*"));
        toFilePage(wizard);
        const std::string file = f.out.file("bookmarks.xbel");
        wizard.fileEdit()->clear();
        QTest::keyClicks(wizard.fileEdit(), QString::fromStdString(file));
        ModalAnswers answers([](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (box == nullptr) {
                return false;
            }
            click(box->button(QMessageBox::No));
            return true;
        });
        click(wizard.button("&Finish"));
        QCOMPARE(wizard.result(), int(QDialog::Accepted));
        const std::string written = contents(file);
        QVERIFY(written.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"));
        QVERIFY(written.find("<folder id=\"1\"><title>Art</title>\n  <bookmark "
                             "href=\"http://art.example/\" id=\"2\"><title>Gallery \"North\", "
                             "rooms</title></bookmark>\n</folder>") != std::string::npos);
        QVERIFY(written.find("highestId :4:") != std::string::npos);
        QCOMPARE(f.setting("Export:Type"), std::string{"XBEL"});
    }

    void finishAsksBeforeReplacingAFileAndRefusesTheProgramsOwn()
    {
        Fixture f;
        const std::string simple = f.out.write("simple.htm", "the Simple export\n");
        writeIniValue(f.ini(), "Export", "Export:Type", "Simple");
        writeIniValue(f.ini(), "Export", "Export:File:Simple", simple);
        writeIniValue(f.ini(), "Export", "Export:File", simple);
        ExportWizard wizard(f.services, f.opener, false);
        wizard.show();
        // No type takes over the file another type wrote.
        click(wizard.typeButton("Table"));
        QCOMPARE(wizard.fileEdit()->text(), QString::fromStdString(f.out.file("table.htm")));
        click(wizard.typeButton("CSV"));
        QCOMPARE(wizard.fileEdit()->text(), QString::fromStdString(f.out.file("bookmarks.csv")));
        click(wizard.typeButton("Simple"));
        QCOMPARE(wizard.fileEdit()->text(), QString::fromStdString(simple));
        toFilePage(wizard);
        {
            ModalAnswers answers; // the default button: No
            click(wizard.button("&Finish"));
            QCOMPARE(answers.messages, QStringList{"Export|" + QString::fromStdString(simple) +
                                                   " already exists. Do you want to replace it?"});
        }
        QVERIFY(wizard.isVisible());
        QCOMPARE(contents(simple), std::string{"the Simple export\n"});

        // The program's own files are refused without a question.
        char* before = ::getcwd(nullptr, 0);
        QVERIFY(enterDataFolder(f.folder.path()).error.empty());
        const std::string database = contents(f.folder.file("URLDATA.tps"));
        wizard.fileEdit()->clear();
        QTest::keyClicks(wizard.fileEdit(), QString::fromStdString(f.folder.file("urldata.TPS")));
        {
            ModalAnswers answers;
            click(wizard.button("&Finish"));
            QCOMPARE(answers.messages.size(), 1);
            QVERIFY2(answers.messages.front().contains("the program's own files"),
                     qPrintable(answers.messages.front()));
        }
        QCOMPARE(contents(f.folder.file("URLDATA.tps")), database);
        QVERIFY(::chdir(before) == 0);
        std::free(before);

        wizard.fileEdit()->clear();
        QTest::keyClicks(wizard.fileEdit(), QString::fromStdString(simple));
        ModalAnswers answers([](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (box == nullptr) {
                return false;
            }
            const bool replace = box->text().contains("already exists");
            click(box->button(replace ? QMessageBox::Yes : QMessageBox::No));
            return true;
        });
        click(wizard.button("&Finish"));
        QCOMPARE(wizard.result(), int(QDialog::Accepted));
        QVERIFY(contents(simple).find("http://news.example/") != std::string::npos);
    }

    void aFileThatCannotBeWrittenKeepsTheWizardOpen()
    {
        Fixture f;
        // A folder that is a file: no user, root included, can write there.
        const std::string notFolder = f.out.file("notes");
        {
            std::ofstream(notFolder) << "the user's notes\n";
        }
        const std::string file = notFolder + "/links.htm";
        ExportWizard wizard(f.services, f.opener, false);
        wizard.show();
        toFilePage(wizard);
        QTest::keyClicks(wizard.fileEdit(), QString::fromStdString(file));
        ModalAnswers answers;
        click(wizard.button("&Finish"));
        QCOMPARE(answers.messages.size(), 1);
        QVERIFY2(answers.messages.front().startsWith("Export|"),
                 qPrintable(answers.messages.front()));
        QVERIFY(answers.messages.front().contains(QString::fromStdString(file)));
        QVERIFY(wizard.isVisible());
        QCOMPARE(contents(notFolder), std::string{"the user's notes\n"});
        QCOMPARE(f.opener.taken(), std::vector<std::string>{});
        click(wizard.button("Cancel"));
    }

    void aFileIsAskedForAndNoIsNotOpened()
    {
        Fixture f;
        ExportWizard wizard(f.services, f.opener, false);
        wizard.show();
        {
            ModalAnswers answers;
            click(wizard.button("&Finish"));
            QCOMPARE(answers.messages,
                     QStringList{"Export|Enter the path and name of the file to create and "
                                 "export to."});
        }
        QCOMPARE(wizard.currentPage(), int(ExportWizard::FilePage));
        const std::string file = f.out.file("links.htm");
        QTest::keyClicks(wizard.fileEdit(), QString::fromStdString(file));
        ModalAnswers answers(test::pressInMessageBox(QMessageBox::No));
        click(wizard.button("&Finish"));
        QCOMPARE(wizard.result(), int(QDialog::Accepted));
        QVERIFY(contents(file).find("http://news.example/") != std::string::npos);
        QTest::qWait(50);
        QCOMPARE(f.opener.taken(), std::vector<std::string>{});
    }

    void anUnknownCategoryOpensThePickerAndOnlyItsBookmarksGo()
    {
        Fixture f;
        ExportWizard wizard(f.services, f.opener, false);
        wizard.show();
        click(wizard.typeButton("ASCII"));
        click(wizard.button("&Next"));
        click(wizard.button("&Next"));
        click(wizard.assignmentButton("Selected"));
        QTest::keyClicks(wizard.categoryEdit(), "Nws");
        {
            // Cancelling the picker returns to the entry.
            ModalAnswers answers([](QWidget* modal) {
                auto* picker = qobject_cast<gui::CategoryPicker*>(modal);
                if (picker == nullptr) {
                    return false;
                }
                click(buttonOf(picker, "Cancel"));
                return true;
            });
            click(wizard.button("&Next"));
        }
        QCOMPARE(wizard.currentPage(), int(ExportWizard::CategoryPage));
        QCOMPARE(wizard.categoryEdit()->text(), QStringLiteral("Nws"));
        wizard.categoryEdit()->selectAll();
        QTest::keyClicks(wizard.categoryEdit(), "news");
        click(wizard.button("&Next"));
        QCOMPARE(wizard.currentPage(), int(ExportWizard::FieldsPage));
        click(wizard.button("&Next"));
        const std::string file = f.out.file("news.txt");
        QTest::keyClicks(wizard.fileEdit(), QString::fromStdString(file));
        ModalAnswers no(test::pressInMessageBox(QMessageBox::No));
        click(wizard.button("&Finish"));
        // Only the category's bookmark, at positions 1, 52 and 308.
        const std::string line = contents(file);
        QCOMPARE(line.substr(0, 5), std::string{"News "});
        QCOMPARE(line.substr(51, 21), std::string{"http://news.example/ "});
        QCOMPARE(line.substr(307), std::string{"Daily\n"});
    }

    void helpShowsExportTxt()
    {
        Fixture f;
        ExportWizard wizard(f.services, f.opener, false);
        wizard.show();
        click(wizard.button("Help"));
        gui::TextHelpWindow* help = wizard.helpWindow();
        QVERIFY(help != nullptr && help->isVisible());
        QCOMPARE(help->windowTitle(), QStringLiteral("Export Help"));
        QVERIFY(help->textView()->isReadOnly());
        QFile source(QStringLiteral(EXPORT_TXT_PATH));
        QVERIFY(source.open(QIODevice::ReadOnly | QIODevice::Text));
        QCOMPARE(help->textView()->toPlainText(), QString::fromUtf8(source.readAll()));
        click(buttonOf(help, "&Close"));
        QTRY_VERIFY(wizard.helpWindow() == nullptr || !wizard.helpWindow()->isVisible());
        click(wizard.button("Cancel"));
    }
};

QTEST_MAIN(ExportWizardTest)
#include "export_wizard_test.moc"
