// Every window shows its content whole at its first opening on a screen of
// 1280x1024 at the default font (the test's offscreen screen).
#include "bookmarks/browse_window.h"
#include "bookmarks/categories.h"
#include "bookmarks/explorer_window.h"
#include "bookmarks/list_variant.h"
#include "categories/category_table.h"
#include "core/bookmark_schema.h"
#include "core/tables.h"
#include "frame/main_frame.h"
#include "framework/query_wizard.h"
#include "maintenance/repair_files_window.h"
#include "reports/report_design_dialog.h"

#include "started_services.h"

#include <QComboBox>
#include <QHeaderView>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QTableWidget>
#include <QTreeWidget>
#include <QtTest>

using namespace tessaly;

class WindowSizesTest : public QObject {
    Q_OBJECT

private:
    // What the view's rows in sight need of `column` (QTableView keeps it
    // to itself; every item view answers it).
    static int contentsWidth(const QAbstractItemView& view, int column)
    {
        return view.sizeHintForColumn(column);
    }

    // The width of the column headed `heading`.
    static int widthOf(const QTableView& view, const QString& heading)
    {
        for (int logical = 0; logical < view.model()->columnCount(); ++logical) {
            if (view.model()->headerData(logical, Qt::Horizontal).toString() == heading) {
                return view.horizontalHeader()->sectionSize(logical);
            }
        }
        return -1;
    }

    static constexpr const char* kLongName = "A category named at some length, as people do";

    struct Fixture : test::StartedServices {
        Fixture()
        {
            for (const char* name : {"News", kLongName}) {
                Record c{categoryTable()};
                c.setText(CategoryField::Category, name);
                c.setText(CategoryField::Description,
                          "What this category holds, told in a sentence or two of words");
                saveCategory(db(), Record{categoryTable()}, c);
            }
            FileManager& bookmarks = db().bookmarks();
            bookmarks.use();
            for (int i = 0; i < 30; ++i) {
                Record b{bookmarkTable()};
                b.setText(BookmarkField::Location, "https://www.an-address-of-some-length-" +
                                                       std::to_string(i) + ".example.org/path/");
                b.setText(BookmarkField::Description,
                          "A description of bookmark " + std::to_string(i) + " as imported");
                b.setText(BookmarkField::Category, i % 2 == 0 ? kLongName : "News");
                bookmarks.insert(b);
            }
            bookmarks.close();
        }
    };

    // Each shown column as wide as its heading and as its rows in sight
    // need, or the share of the list a long text may take.
    static void verifyColumnsFit(QTableView& view)
    {
        const QHeaderView* header = view.horizontalHeader();
        const int most = static_cast<int>(view.viewport()->width() * 0.45);
        for (int logical = 0; logical < header->count(); ++logical) {
            if (header->isSectionHidden(logical)) {
                continue;
            }
            const QString name = view.model()->headerData(logical, Qt::Horizontal).toString();
            QVERIFY2(header->sectionSize(logical) >= header->sectionSizeHint(logical),
                     qPrintable(name));
            QVERIFY2(header->sectionSize(logical) >= std::min(contentsWidth(view, logical), most),
                     qPrintable(name));
        }
    }

private Q_SLOTS:
    void theFrameFirstTakesAShareOfItsScreen()
    {
        Fixture f;
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(screen.size(), QSize(1280, 1024));
        {
            gui::MainFrame frame{f.services};
            frame.setShowSplash(false);
            QVERIFY(frame.initialise());
            QVERIFY2(frame.width() >= screen.width() * 3 / 4 && frame.width() <= screen.width(),
                     qPrintable(QString::number(frame.width())));
            QVERIFY(frame.height() >= screen.height() * 3 / 4 && frame.height() <= screen.height());
            frame.resize(900, 650);
            frame.close();
        }
        gui::MainFrame again{f.services};
        QVERIFY(again.initialise());
        QCOMPARE(again.size(), QSize(900, 650)); // the size left wins
    }

    void theQueryWizardShowsEachChoiceWhole()
    {
        test::TempFolder folder;
        gui::QueryWizard wizard(bookmarkQueryFieldList(), "URL", folder.file("QUERIES.INI"), "");
        wizard.addCondition({"URL:OriginalFilename", QueryOperator::Contains, "a value"});
        wizard.addCondition({"URL:Location", QueryOperator::Contains, "b", true});
        wizard.show();
        QVERIFY(QTest::qWaitForWindowExposed(&wizard));
        auto* table = wizard.findChild<QTableWidget*>();
        QVERIFY(table != nullptr);
        for (int column : {0, 1, 3}) {
            // The box as wide as its longest choice ("Location (URL)" was cut).
            auto* box = qobject_cast<QComboBox*>(table->cellWidget(0, column));
            QVERIFY(box != nullptr);
            QVERIFY2(table->columnWidth(column) >= box->sizeHint().width(),
                     qPrintable(QString::number(column)));
        }
        // The join is no wider than its words; the value has room.
        QVERIFY(table->columnWidth(3) < table->columnWidth(0));
        QVERIFY(table->columnWidth(2) >= table->fontMetrics().horizontalAdvance("a value") * 3);
        QVERIFY(table->viewport()->width() >=
                table->horizontalHeader()->length() - table->horizontalHeader()->offset());
    }

    void theFramesListsFitTheirContentAtTheFirstOpeningOnly()
    {
        Fixture f;
        gui::MainFrame frame{f.services};
        frame.setShowSplash(false);
        QVERIFY(frame.initialise());
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        // The one-category list: its columns as their rows need.
        gui::BrowseWindow* list = frame.openList(gui::categoryListVariant("News"));
        QVERIFY(list != nullptr);
        QTRY_VERIFY2(widthOf(*list->table(), "Location") > 300,
                     qPrintable(QString::number(widthOf(*list->table(), "Location"))));
        verifyColumnsFit(*list->table());
        QVERIFY(list->width() >= frame.mdiArea()->viewport()->width() / 2);
        // The bookmark list too; the widths the user left it with are those
        // of its next opening.
        list = frame.openList(gui::bookmarkListVariant());
        QTRY_VERIFY(widthOf(*list->table(), "Location") > 300);
        verifyColumnsFit(*list->table());
        list->table()->horizontalHeader()->resizeSection(2, 123);
        for (QMdiSubWindow* window : frame.mdiArea()->subWindowList()) {
            window->close();
        }
        QTRY_VERIFY(frame.mdiArea()->subWindowList().isEmpty());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        list = frame.openList(gui::bookmarkListVariant());
        QVERIFY(list != nullptr);
        QTest::qWait(100);
        QCOMPARE(list->table()->horizontalHeader()->sectionSize(2), 123);

        // Browse Categories: both headings and the descriptions whole.
        frame.openCategoryList();
        auto* table = frame.mdiArea()->findChild<gui::CategoryTable*>();
        QVERIFY(table != nullptr);
        QTRY_VERIFY(table->isVisible());
        const QHeaderView* header = table->horizontalHeader();
        QVERIFY(header->sectionSize(1) >= header->sectionSizeHint(1)); // "Description"
        QVERIFY2(header->sectionSize(1) >= contentsWidth(*table, 1),   // its sentences
                 qPrintable(QStringLiteral("%1 < %2, table %3 hint %4")
                                .arg(header->sectionSize(1))
                                .arg(contentsWidth(*table, 1))
                                .arg(table->width())
                                .arg(table->sizeHint().width())));
    }

    void theExplorerShowsWholeCategoryNamesAndRows()
    {
        Fixture f;
        gui::ExplorerWindow explorer(f.services, f.opener);
        explorer.resize(1000, 700);
        explorer.show();
        QVERIFY(QTest::qWaitForWindowExposed(&explorer));
        gui::CategoryTable* categories = explorer.categories();
        QVERIFY(categories->viewport()->width() >= contentsWidth(*categories, 0));
        QVERIFY(categories->columnWidth(0) >= contentsWidth(*categories, 0));
        QTRY_VERIFY2(
            widthOf(*explorer.bookmarks()->table(), "Location") > 240,
            qPrintable(QString::number(widthOf(*explorer.bookmarks()->table(), "Location"))));
        verifyColumnsFit(*explorer.bookmarks()->table());
    }

    void repairAndReportWizardShowEveryRowWhole()
    {
        test::TempFolder folder;
        test::ScriptedUi ui;
        gui::RepairFilesWindow repair{ui, folder.path(), {}};
        repair.show();
        QVERIFY(QTest::qWaitForWindowExposed(&repair));
        auto* files = repair.findChild<QTreeWidget*>();
        QVERIFY(files != nullptr);
        for (int row = 0; row < files->topLevelItemCount(); ++row) {
            const QString file = files->topLevelItem(row)->text(1); // "File"
            QVERIFY2(files->columnWidth(1) > files->fontMetrics().horizontalAdvance(file),
                     qPrintable(file));
        }
        const int rows = files->topLevelItemCount();
        const QRect last = files->visualItemRect(files->topLevelItem(rows - 1));
        QVERIFY(files->viewport()->rect().contains(last));               // every file in sight
        QVERIFY(last.height() >= files->fontMetrics().height() * 5 / 4); // room around the text

        gui::ReportDesignDialog design;
        design.show();
        QVERIFY(QTest::qWaitForWindowExposed(&design));
        auto* columns = design.findChild<QListWidget*>(QStringLiteral("ColumnList"));
        QVERIFY(columns != nullptr);
        const QRect lastColumn = columns->visualItemRect(columns->item(columns->count() - 1));
        QVERIFY2(columns->viewport()->rect().contains(lastColumn),
                 "every column to print is in sight");
    }
};

QTEST_MAIN(WindowSizesTest)
#include "window_sizes_test.moc"
