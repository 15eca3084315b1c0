#include "bookmarks/browse_window.h"
#include "core/database.h"
#include "core/services.h"
#include "core/tables.h"
#include "frame/main_frame.h"
#include "framework/ini_file.h"
#include "framework/qt_ui_port.h"
#include "pdf_text.h"
#include "platform/data_folder.h"
#include "started_services.h"
#include "temp_folder.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QTimer>
#include <QToolBar>
#include <QtTest>

#include <deque>
#include <functional>
#include <unistd.h>

using namespace tessaly;
using tessaly::gui::MainFrame;

namespace {

// The program's services over the Qt UI port, in a data folder that is the
// working folder, as the program runs them.
struct Fixture {
    test::TempFolder folder;
    test::TempFolder prefix;
    gui::QtUiPort ui;
    Services services{ui, folder.path(), prefix.path()};
    char* before = ::getcwd(nullptr, 0);

    Fixture()
    {
        QVERIFY(::chdir(folder.path().c_str()) == 0);
        services.start();
    }
    ~Fixture()
    {
        QVERIFY(::chdir(before) == 0);
        std::free(before);
    }
    Fixture(const Fixture&) = delete;
    Fixture& operator=(const Fixture&) = delete;

    void add(const std::string& location, const std::string& description, int rating)
    {
        Record r{bookmarkTable()};
        r.setText(BookmarkField::Location, location);
        r.setText(BookmarkField::Description, description);
        r.setText(BookmarkField::Category, "Home");
        r.setNumber(BookmarkField::Rating, rating);
        r.setText(BookmarkField::Password, "hunter2");
        QCOMPARE(services.database().addBookmarkWithCategory(r), 0);
    }

    // Many bookmarks in one transaction.
    void addMany(int count)
    {
        add("https://first.example/", "First", 1);
        FileManager& bookmarks = services.database().bookmarks();
        QCOMPARE(bookmarks.use(), kLevelDone);
        QVERIFY(bookmarks.file().stream().ok());
        for (int i = 0; i < count; ++i) {
            Record r{bookmarkTable()};
            r.setText(BookmarkField::Location, "https://many" + std::to_string(i) + ".example/");
            r.setText(BookmarkField::Category, "Home");
            QCOMPARE(bookmarks.insert(r), kLevelDone);
        }
        QCOMPARE(bookmarks.endGroup(), kLevelDone);
        bookmarks.close();
    }
};

// Answers the modal windows in turn, each with the next step; a message box
// is noted as "title|text" before its step presses a button.
class ModalSteps final : public QObject {
public:
    using Step = std::function<void(QWidget*)>;

    explicit ModalSteps(std::deque<Step> steps) : steps_(std::move(steps))
    {
        connect(&timer_, &QTimer::timeout, this, &ModalSteps::poll);
        timer_.start(5);
    }

    static Step press(QMessageBox::StandardButton button)
    {
        return [button](QWidget* window) {
            auto* box = qobject_cast<QMessageBox*>(window);
            QVERIFY2(box != nullptr, qPrintable(window->windowTitle()));
            QTest::mouseClick(box->button(button), Qt::LeftButton);
        };
    }

    QStringList seen;
    bool done() const { return steps_.empty(); }

private:
    void poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        // The progress window is modal too; it is left to run.
        if (modal == nullptr || modal->property("answered").toBool() || steps_.empty() ||
            modal->objectName() == QStringLiteral("ReportProgress")) {
            return;
        }
        modal->setProperty("answered", true);
        Step step = std::move(steps_.front());
        steps_.pop_front();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen << box->windowTitle() + "|" + box->text();
        } else {
            seen << modal->windowTitle();
        }
        QTimer::singleShot(0, this, [window = QPointer<QWidget>(modal), step] {
            if (window != nullptr) {
                step(window);
            }
        });
    }

    std::deque<Step> steps_;
    QTimer timer_;
};

// Clicks an item of the frame's "&Reports" menu, as the mouse would.
void clickReportItem(MainFrame& frame, const QString& name)
{
    QMenu* reports = nullptr;
    for (QAction* a : frame.menuBar()->actions()) {
        if (a->text() == QStringLiteral("&Reports")) {
            reports = a->menu();
        }
    }
    QVERIFY(reports != nullptr);
    reports->popup(QPoint(0, 0));
    QVERIFY(QTest::qWaitForWindowExposed(reports));
    QTest::mouseClick(reports, Qt::LeftButton, {},
                      reports->actionGeometry(frame.action(name)).center());
}

} // namespace

class ReportWindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void menuItemAsksThenPrintsOnThePrintSetupPrinter()
    {
        Fixture f;
        f.add("https://b.example/", "Second", 2);
        f.add("https://a.example/", "First", 5);
        f.add("https://z.example/" + std::string(237, 'L'), "Long", 1);
        MainFrame frame{f.services};
        frame.printer().setOutputFileName(QString::fromStdString(f.folder.file("out.pdf")));
        ModalSteps steps{{ModalSteps::press(QMessageBox::No), ModalSteps::press(QMessageBox::No)}};
        clickReportItem(frame, "ReportLocation");
        QTRY_VERIFY(steps.done());
        QCOMPARE(steps.seen, (QStringList{"Query Wizard|Would you like to apply a query to this "
                                          "report?",
                                          "Preview|Do you wish to PREVIEW this Report?"}));
        const std::string text = test::pdfText(f.folder.file("out.pdf"), f.folder.file("out.txt"));
        QVERIFY2(text.find("URLs by Location") != std::string::npos, text.c_str());
        QVERIFY(text.find("https://a.example/") < text.find("https://b.example/"));
        QVERIFY(text.find("Records Printed: 3") != std::string::npos);
        QVERIFY(text.find("Page 1 of 1") != std::string::npos);
        // The printer's type is fitted to the layout: a long location wraps
        // within its column, clear of the next.
        const QStringList lines = QString::fromStdString(text).split('\n');
        qsizetype description = -1;
        int wrapped = 0;
        for (const QString& line : lines) {
            if (line.startsWith("Location")) {
                description = line.indexOf("Description");
            }
            if (line.contains("LLLL")) {
                ++wrapped;
                QVERIFY(description > 0);
                qsizetype end = line.indexOf("LLLL");
                while (end < line.size() && line[end] == 'L') {
                    ++end;
                }
                QVERIFY2(end < description, qPrintable(line));
            }
        }
        QVERIFY(wrapped >= 6);
    }

    void printingToOneOfTheProgramsFilesIsRefused()
    {
        Fixture f;
        f.add("https://a.example/", "First", 5);
        QVERIFY(enterDataFolder(".").error.empty());
        const std::string database = f.folder.read("URLDATA.tps");
        MainFrame frame{f.services};
        frame.printer().setOutputFileName(QString::fromStdString(f.folder.file("URLDATA.tps")));
        ModalSteps steps{{ModalSteps::press(QMessageBox::No), ModalSteps::press(QMessageBox::No),
                          ModalSteps::press(QMessageBox::Ok)}};
        clickReportItem(frame, "ReportLocation");
        QTRY_VERIFY(steps.done());
        QVERIFY2(steps.seen.last().startsWith("URLs by Location|The report cannot be printed to " +
                                              QString::fromStdString(f.folder.file("URLDATA.tps"))),
                 qPrintable(steps.seen.last()));
        QVERIFY(steps.seen.last().contains("the program's own files"));
        QVERIFY(f.folder.read("URLDATA.tps") == database);
    }

    void previewShowsThePagesAndAnEmptyFileHasNothingToPreview()
    {
        Fixture f;
        MainFrame frame{f.services};
        ModalSteps empty{{ModalSteps::press(QMessageBox::No), ModalSteps::press(QMessageBox::Yes),
                          ModalSteps::press(QMessageBox::Ok)}};
        clickReportItem(frame, "ReportRating");
        QTRY_VERIFY(empty.done());
        QCOMPARE(empty.seen.last(), QStringLiteral("NOTE...|Nothing to Preview."));

        for (int i = 0; i < 120; ++i) {
            f.add("https://site" + std::to_string(100 + i) + ".example/", "Site", i % 10);
        }
        int pages = 0;
        ModalSteps steps{{ModalSteps::press(QMessageBox::No), ModalSteps::press(QMessageBox::Yes),
                          [&pages](QWidget* window) {
                              auto* dialog = qobject_cast<QPrintPreviewDialog*>(window);
                              QVERIFY(dialog != nullptr);
                              auto* view = dialog->findChild<QPrintPreviewWidget*>();
                              QTRY_VERIFY(view->pageCount() > 0);
                              pages = view->pageCount();
                              // The preview saves the pages as PDF too.
                              auto* bar = dialog->findChild<QToolBar*>();
                              auto* save = bar->findChild<QAction*>("SaveAsPdf");
                              QVERIFY(save != nullptr);
                              QTest::mouseClick(bar->widgetForAction(save), Qt::LeftButton);
                              dialog->reject();
                          },
                          [&f](QWidget* window) {
                              auto* files = qobject_cast<QFileDialog*>(window);
                              QVERIFY(files != nullptr);
                              auto* name = files->findChild<QLineEdit*>("fileNameEdit");
                              name->clear();
                              QTest::keyClicks(name,
                                               QString::fromStdString(f.folder.file("saved.pdf")));
                              QTest::keyClick(name, Qt::Key_Return);
                          }}};
        clickReportItem(frame, "ReportRating");
        QTRY_VERIFY(steps.done());
        QCOMPARE(steps.seen[2], QStringLiteral("URLs by Rating"));
        QVERIFY2(pages >= 2, qPrintable(QString::number(pages)));
        const std::string saved =
            test::pdfText(f.folder.file("saved.pdf"), f.folder.file("saved.txt"));
        QVERIFY2(saved.find("Page " + std::to_string(pages) + " of " + std::to_string(pages)) !=
                     std::string::npos,
                 saved.c_str());
    }

    void escapeInTheProgressWindowAsksThenPreviewsWhatWasRead()
    {
        Fixture f;
        f.addMany(20000);
        MainFrame frame{f.services};
        // Escape as soon as the progress window shows.
        QTimer escape;
        QString progressTitle;
        QStringList progressTexts;
        connect(&escape, &QTimer::timeout, &escape, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal != nullptr && modal->objectName() == QStringLiteral("ReportProgress")) {
                escape.stop();
                progressTitle = modal->windowTitle();
                progressTexts << modal->findChild<QLabel*>("PercentLabel")->text()
                              << modal->findChild<QLabel*>("RecordsLabel")->text();
                QTest::keyClick(modal, Qt::Key_Escape);
            }
        });
        escape.start(1);
        int pages = 0;
        ModalSteps steps{{ModalSteps::press(QMessageBox::No), ModalSteps::press(QMessageBox::Yes),
                          ModalSteps::press(QMessageBox::Yes), ModalSteps::press(QMessageBox::Yes),
                          [&pages](QWidget* window) {
                              auto* view = window->findChild<QPrintPreviewWidget*>();
                              QVERIFY(view != nullptr);
                              QTRY_VERIFY(view->pageCount() > 0);
                              pages = view->pageCount();
                              qobject_cast<QDialog*>(window)->reject();
                          }}};
        clickReportItem(frame, "ReportCategory");
        QTRY_VERIFY_WITH_TIMEOUT(steps.done(), 20000);
        QCOMPARE(progressTitle, QStringLiteral("Generating Report"));
        QVERIFY2(progressTexts[0].endsWith("% Completed"), qPrintable(progressTexts[0]));
        QVERIFY2(progressTexts[1].endsWith(" Records Read"), qPrintable(progressTexts[1]));
        QCOMPARE(steps.seen[2], QStringLiteral("Question|Are you sure you want to CANCEL this "
                                               "Report?"));
        QCOMPARE(steps.seen[3], QStringLiteral("Question|Report Cancellation Requested!\n\n"
                                               "Preview Report generated so far?"));
        QVERIFY(pages > 0);
        QVERIFY2(pages < 300, qPrintable(QString::number(pages))); // not the whole file
    }

    void toolBarDesignsAReportAndKeepsTheColumns()
    {
        Fixture f;
        f.add("https://a.example/", "First", 5);
        MainFrame frame{f.services};
        auto* bar = frame.findChild<QToolBar*>("ToolBar");
        QAction* button = bar->findChild<QAction*>("ToolReportWizard");
        QVERIFY(button != nullptr && button->isEnabled());
        QString previewTitle;
        bool noteShown = false;
        ModalSteps steps{
            {[&noteShown](QWidget* window) {
                 auto* list = window->findChild<QListWidget*>("ColumnList");
                 QVERIFY(list != nullptr);
                 QListWidgetItem* password = list->findItems("Password", Qt::MatchExactly).front();
                 // Clicked, then ticked with the space bar.
                 list->scrollToItem(password);
                 QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                                   list->visualItemRect(password).center());
                 QTest::keyClick(list, Qt::Key_Space);
                 QCOMPARE(password->checkState(), Qt::Checked);
                 noteShown = window->findChild<QLabel*>("PasswordNote")->isVisible();
                 auto* order = window->findChild<QComboBox*>("OrderComboBox");
                 order->setCurrentIndex(order->findText("Rating"));
                 auto* buttons = window->findChild<QDialogButtonBox*>();
                 QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
             },
             ModalSteps::press(QMessageBox::No), ModalSteps::press(QMessageBox::Yes),
             [&previewTitle](QWidget* window) {
                 previewTitle = window->windowTitle();
                 qobject_cast<QDialog*>(window)->reject();
             }}};
        QTest::mouseClick(bar->widgetForAction(button), Qt::LeftButton);
        QTRY_VERIFY(steps.done());
        QVERIFY(noteShown);
        QCOMPARE(steps.seen[1], QStringLiteral("Query Wizard|Would you like to apply a query to "
                                               "this report (answer No to print all records)?"));
        QCOMPARE(previewTitle,
                 QStringLiteral("Internet Locations (URLs) - passwords will be printed"));
        QCOMPARE(readIniValue("CPCSRPTS.INI", "Internet Locations (URLs)", "Columns"),
                 std::string{"Location,Description,Category,Rating,Password"});
        QCOMPARE(readIniValue("CPCSRPTS.INI", "Internet Locations (URLs)", "Order"),
                 std::string{"Rating"});

        // The dialog's Cancel prints nothing.
        QStringList checked;
        ModalSteps again{{[&checked](QWidget* window) {
            auto* list = window->findChild<QListWidget*>("ColumnList");
            for (int i = 0; i < list->count(); ++i) {
                if (list->item(i)->checkState() == Qt::Checked) {
                    checked << list->item(i)->text();
                }
            }
            QTest::mouseClick(
                window->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel),
                Qt::LeftButton);
        }}};
        QTest::mouseClick(bar->widgetForAction(button), Qt::LeftButton);
        QTRY_VERIFY(again.done());
        QTest::qWait(50);
        QCOMPARE(checked,
                 (QStringList{"Location", "Description", "Category", "Rating", "Password"}));
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
    }

    void listPrintRunsTheDesignedReportOnTheFramePrinter()
    {
        Fixture f;
        f.add("https://a.example/", "First", 5);
        MainFrame frame{f.services};
        frame.printer().setOutputFileName(QString::fromStdString(f.folder.file("list.pdf")));
        test::NoOpener opener;
        gui::BrowseWindow list(f.services, opener);
        list.show();
        auto* print = list.findChild<QPushButton*>("Print");
        QVERIFY(print != nullptr && print->isEnabled());
        QCOMPARE(print->toolTip(), QStringLiteral("Print location information"));
        ModalSteps steps{{[](QWidget* window) {
                              QTest::mouseClick(window->findChild<QDialogButtonBox*>()->button(
                                                    QDialogButtonBox::Ok),
                                                Qt::LeftButton);
                          },
                          ModalSteps::press(QMessageBox::No), ModalSteps::press(QMessageBox::No)}};
        QTest::mouseClick(print, Qt::LeftButton);
        QTRY_VERIFY(steps.done());
        QCOMPARE(steps.seen.first(), QStringLiteral("Internet Locations (URLs)"));
        const std::string text =
            test::pdfText(f.folder.file("list.pdf"), f.folder.file("list.txt"));
        QVERIFY2(text.find("Internet Locations (URLs)") != std::string::npos, text.c_str());
        QVERIFY(text.find("https://a.example/") != std::string::npos);
    }
};

QTEST_MAIN(ReportWindowTest)
#include "report_window_test.moc"
