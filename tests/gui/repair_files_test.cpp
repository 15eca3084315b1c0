// "Repair Files" driven by clicks: the list, the tags, the actions on real
// files behind the progress window, Cancel, and the frame's menu item.
#include "core/tables.h"
#include "damaged_file.h"
#include "frame/main_frame.h"
#include "maintenance/repair_files_window.h"
#include "maintenance/repair_progress_dialog.h"
#include "started_services.h"

#include <QApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

using namespace tessaly;
using tessaly::gui::RepairFilesWindow;
using tessaly::test::ScriptedUi;
using tessaly::test::StartedServices;
using tessaly::test::TempFolder;

namespace {

void store(const std::string& folder, int bookmarks)
{
    ScriptedUi quiet;
    MessageManager messages{quiet};
    Database db{messages, folder};
    db.bookmarks().use();
    db.keywords().use();
    db.categories().use();
    db.engine().begin();
    for (int i = 0; i < 5; ++i) {
        Record category{categoryTable()};
        category.setText(CategoryField::Category, "Category " + std::to_string(i));
        db.categories().insert(category);
    }
    for (int i = 0; i < bookmarks; ++i) {
        Record r{bookmarkTable()};
        const std::string location = "http://site" + std::to_string(i) + ".example/";
        r.setText(BookmarkField::Location, location);
        r.setText(BookmarkField::Description, "Site " + std::to_string(i));
        db.bookmarks().insert(r);
        Record keyword{keywordTable()};
        keyword.setText(KeywordField::Location, location);
        keyword.setText(KeywordField::Keyword, "k");
        db.keywords().insert(keyword);
    }
    db.engine().commit();
    db.closeAll();
}

int row(const RepairFilesWindow& window, const std::string& label)
{
    for (std::size_t i = 0; i < window.entries().size(); ++i) {
        if (window.entries()[i].label == label) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

QString cell(const RepairFilesWindow& window, const std::string& label, int column)
{
    return window.fileList()->topLevelItem(row(window, label))->text(column);
}

void clickCell(RepairFilesWindow& window, const std::string& label, int column)
{
    QTreeWidget* list = window.fileList();
    const QRect rect = list->visualRect(list->model()->index(row(window, label), column));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
}

} // namespace

class RepairFilesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void listsTheNineFilesInDescriptionOrder()
    {
        TempFolder folder;
        ScriptedUi ui;
        RepairFilesWindow window{ui, folder.path(), {}};
        window.show();
        QCOMPARE(window.fileList()->topLevelItemCount(), 9);
        QStringList files;
        for (int i = 0; i < 9; ++i) {
            files << window.fileList()->topLevelItem(i)->text(RepairFilesWindow::FileColumn);
        }
        QCOMPARE(files, (QStringList{"ASCII file for import and export (ASCIIfile)",
                                     "ASCII file for import and export (Output)", "CatHTML",
                                     "Categories", "DOS File for Import", "ImportTESSLY", "TESSLY",
                                     "URLDetails", "URLKeywords"}));
        // Every entry shows whole at the default size.
        QTreeWidget* list = window.fileList();
        for (const QString& file : files) {
            QVERIFY2(list->fontMetrics().horizontalAdvance(file) <
                         list->columnWidth(RepairFilesWindow::FileColumn),
                     qPrintable(file));
        }
        QVERIFY(list->header()->sectionViewportPosition(RepairFilesWindow::FileColumn) +
                    list->columnWidth(RepairFilesWindow::FileColumn) <=
                list->viewport()->width());
        QCOMPARE(window.fileList()->headerItem()->text(RepairFilesWindow::FileColumn), "File");
        QCOMPARE(window.button("&Build")->toolTip(),
                 "Build the key files for the tagged data files");
        QCOMPARE(window.button("Relea&se")->toolTip(),
                 "Release any held records in the tagged files");
        QCOMPARE(window.button("Cl&ose")->toolTip(), "Close this window");
        QCOMPARE(cell(window, "TESSLY", RepairFilesWindow::RecordsColumn), "?");
    }

    void infoWithNothingTaggedFillsTheHighlightedRowOnly()
    {
        TempFolder folder;
        store(folder.path(), 7);
        ScriptedUi ui;
        RepairFilesWindow window{ui, folder.path(), {}};
        window.show();
        clickCell(window, "TESSLY", RepairFilesWindow::FileColumn);
        QTest::mouseClick(window.button("&Info"), Qt::LeftButton);
        QCOMPARE(cell(window, "TESSLY", RepairFilesWindow::RecordsColumn), "7");
        QVERIFY(cell(window, "TESSLY", RepairFilesWindow::InformationColumn)
                    .endsWith("/URLDATA.tps\\!Locations"));
        QCOMPARE(cell(window, "Categories", RepairFilesWindow::RecordsColumn), "?");
        // A click beside the tick only highlights.
        QVERIFY(!window.entries()[static_cast<std::size_t>(row(window, "TESSLY"))].tagged);
    }

    void ticksTagAndTagAllAndUntagAllSetEveryTick()
    {
        TempFolder folder;
        store(folder.path(), 3);
        ScriptedUi ui;
        RepairFilesWindow window{ui, folder.path(), {}};
        window.show();
        clickCell(window, "Categories", RepairFilesWindow::TickColumn);
        clickCell(window, "URLKeywords", RepairFilesWindow::TickColumn);
        QVERIFY(!window.fileList()
                     ->topLevelItem(row(window, "Categories"))
                     ->icon(RepairFilesWindow::TickColumn)
                     .isNull());
        QTest::mouseClick(window.button("&Info"), Qt::LeftButton);
        QCOMPARE(cell(window, "Categories", RepairFilesWindow::RecordsColumn), "5");
        QCOMPARE(cell(window, "URLKeywords", RepairFilesWindow::RecordsColumn), "3");
        QCOMPARE(cell(window, "TESSLY", RepairFilesWindow::RecordsColumn), "?");

        QTest::mouseClick(window.button("&Tag All"), Qt::LeftButton);
        for (int i = 0; i < 9; ++i) {
            QVERIFY(
                !window.fileList()->topLevelItem(i)->icon(RepairFilesWindow::TickColumn).isNull());
        }
        QTest::mouseClick(window.button("&Untag All"), Qt::LeftButton);
        for (int i = 0; i < 9; ++i) {
            QVERIFY(
                window.fileList()->topLevelItem(i)->icon(RepairFilesWindow::TickColumn).isNull());
        }
    }

    void repairRecoversADamagedFileAndShowsWhatItKept()
    {
        TempFolder folder;
        store(folder.path(), 40);
        test::damageRootPage(folder.file("URLDATA.tps"), "URLKeywords");
        ScriptedUi ui;
        ui.answers = {ButtonYes, ButtonOk};
        RepairFilesWindow window{ui, folder.path(), {}};
        std::vector<std::string> replaced;
        window.setReplacedHandler([&](const std::vector<std::string>& files) { replaced = files; });
        window.show();
        clickCell(window, "TESSLY", RepairFilesWindow::FileColumn);
        QTest::mouseClick(window.button("&Repair"), Qt::LeftButton);
        QCOMPARE(ui.shown.size(), std::size_t{2});
        QCOMPARE(ui.shown[0].title, "Warning");
        QCOMPARE(ui.shown[1].title, "Repair");
        QCOMPARE(cell(window, "TESSLY", RepairFilesWindow::RecordsColumn), "40");
        QVERIFY(cell(window, "TESSLY", RepairFilesWindow::InformationColumn)
                    .startsWith("Repaired: 40 rows recovered; damaged file kept as "
                                "URLDATA.damaged-"));
        QCOMPARE(replaced.size(), std::size_t{1});
    }

    void repairOfAFileWhoseFirstPageIsLostKeepsEveryRow()
    {
        TempFolder folder;
        store(folder.path(), 40);
        test::overwritePage(folder.file("URLDATA.tps"), 1);
        ScriptedUi ui;
        ui.answers = {ButtonYes, ButtonOk};
        RepairFilesWindow window{ui, folder.path(), {}};
        window.show();
        clickCell(window, "TESSLY", RepairFilesWindow::TickColumn);
        clickCell(window, "URLKeywords", RepairFilesWindow::TickColumn);
        QTest::mouseClick(window.button("&Repair"), Qt::LeftButton);
        QCOMPARE(ui.shown.size(), std::size_t{2});
        QVERIFY2(ui.shown[1].text.find("Locations: 40 found, 40 kept. URLKeywords: 40 found, 40 "
                                       "kept.") != std::string::npos,
                 ui.shown[1].text.c_str());
        QCOMPARE(cell(window, "TESSLY", RepairFilesWindow::RecordsColumn), "40");
        QCOMPARE(cell(window, "URLKeywords", RepairFilesWindow::RecordsColumn), "40");
        QCOMPARE(cell(window, "URLKeywords", RepairFilesWindow::InformationColumn),
                 cell(window, "TESSLY", RepairFilesWindow::InformationColumn));
    }

    void cancelStopsTheLongBuildAndTheNextTaggedFileIsBuilt()
    {
        TempFolder folder;
        store(folder.path(), 20000);
        ScriptedUi ui;
        RepairFilesWindow window{ui, folder.path(), {}};
        window.show();
        clickCell(window, "Categories", RepairFilesWindow::TickColumn);
        clickCell(window, "TESSLY", RepairFilesWindow::TickColumn);
        QStringList actions;
        QString filesLeftAtCancel;
        QTimer watch;
        watch.setInterval(1);
        connect(&watch, &QTimer::timeout, this, [&] {
            auto* progress = window.progressDialog();
            if (progress == nullptr) {
                return;
            }
            if (actions.isEmpty() || actions.back() != progress->action()) {
                actions << progress->action();
            }
            if (progress->currentFile() == "TESSLY" && progress->action().startsWith("Key : ") &&
                filesLeftAtCancel.isEmpty()) {
                filesLeftAtCancel = progress->filesLeft();
                QTest::mouseClick(progress->cancelButton(), Qt::LeftButton);
            }
        });
        watch.start();
        QTest::mouseClick(window.button("&Build"), Qt::LeftButton);
        watch.stop();
        QCOMPARE(filesLeftAtCancel, "1");
        QVERIFY2(!actions.contains("Key : URL:K_KEYWORD"), qPrintable(actions.join(", ")));
        QCOMPARE(cell(window, "TESSLY", RepairFilesWindow::RecordsColumn), "?");
        QCOMPARE(cell(window, "Categories", RepairFilesWindow::RecordsColumn), "5");
        QVERIFY(ui.shown.empty());
    }

    void theFrameMenuWarnsThenOpensTheWindow()
    {
        StartedServices f;
        gui::MainFrame frame{f.services};
        frame.setShowSplash(false);
        QVERIFY(frame.initialise());
        QAction* repair = frame.action("RepairDatabases");
        QVERIFY(repair->isEnabled());
        bool opened = false;
        QTimer::singleShot(0, this, [&] {
            auto* window = qobject_cast<RepairFilesWindow*>(QApplication::activeModalWidget());
            opened = window != nullptr;
            if (window != nullptr) {
                QTest::mouseClick(window->button("Cl&ose"), Qt::LeftButton);
            }
        });
        repair->trigger();
        QVERIFY(opened);
        QVERIFY(!f.ui.shown.empty());
        QCOMPARE(f.ui.shown.back().title, "Warning");
        QCOMPARE(f.ui.shown.back().text,
                 "You should ensure that all windows within this application are closed before "
                 "repairing the databases.");
    }
};

QTEST_MAIN(RepairFilesTest)
#include "repair_files_test.moc"
