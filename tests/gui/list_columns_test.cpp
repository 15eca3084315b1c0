#include "bookmarks/browse_window.h"
#include "bookmarks/categories.h"
#include "bookmarks/list_variant.h"
#include "categories/category_table.h"
#include "columns/header_preferences.h"
#include "core/services.h"
#include "core/tables.h"
#include "reports/report_printing.h"

#include "pdf_text.h"
#include "scripted_ui.h"
#include "started_services.h"
#include "temp_folder.h"

#include <QHeaderView>
#include <QMenu>
#include <QPrinter>
#include <QTabBar>
#include <QTableView>
#include <QtTest>

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>

using namespace tessaly;
using gui::BookmarkListModel;
using gui::BrowseWindow;

namespace {

// Bookmarks whose fields do not follow one another: descriptions, ratings
// and keywords repeat in other cycles than the locations, and the last
// visit is blank for every fifth.
void addBookmarks(Database& database, int count)
{
    FileManager& bookmarks = database.bookmarks();
    bookmarks.use();
    bookmarks.file().stream();
    for (int i = 0; i < count; ++i) {
        Record r{bookmarkTable()};
        r.setText(BookmarkField::Location, "http://site" + std::to_string(1000 + i) + ".example/");
        r.setText(BookmarkField::Description,
                  (i % 2 == 0 ? "site " : "Site ") + std::to_string((i * 37) % 101));
        r.setText(BookmarkField::Category, i % 3 == 0 ? "News" : (i % 3 == 1 ? "misc" : "Art"));
        r.setText(BookmarkField::Keyword, "K" + std::to_string((i * 7) % 11));
        r.setNumber(BookmarkField::Rating, (i * 3) % 10);
        r.setNumber(BookmarkField::LastVisit, i % 5 == 0 ? 0 : 80000 + (i * 13) % 97);
        bookmarks.file().add(r);
    }
    bookmarks.file().flush();
    bookmarks.close();
}

// The locations of the file in a key's order, read straight from the file:
// what the list must show when a heading sorts by that key.
std::vector<std::string> inKeyOrder(Database& database, BookmarkKey key)
{
    std::vector<std::string> out;
    FileManager& bookmarks = database.bookmarks();
    bookmarks.use();
    bookmarks.file().set(static_cast<int>(key));
    Record r{bookmarkTable()};
    while (bookmarks.file().next(r).ok()) {
        out.push_back(r.text(BookmarkField::Location));
    }
    bookmarks.close();
    return out;
}

std::vector<std::string> shownLocations(BrowseWindow& list)
{
    std::vector<std::string> out;
    const auto* model = list.table()->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        out.push_back(
            model->index(row, BookmarkListModel::Location).data().toString().toStdString());
    }
    return out;
}

void clickHeading(BrowseWindow& list, int logical)
{
    QHeaderView* header = list.table()->horizontalHeader();
    header->setSectionHidden(logical, false);
    list.table()->scrollTo(list.table()->model()->index(0, logical));
    QTest::mouseClick(
        header->viewport(), Qt::LeftButton, {},
        QPoint(header->sectionViewportPosition(logical) + header->sectionSize(logical) / 2,
               header->height() / 2));
}

// Hides every column of the list but `shown`.
void showOnly(BrowseWindow& list, const std::vector<int>& shown)
{
    QHeaderView* header = list.table()->horizontalHeader();
    for (int logical = 0; logical < header->count(); ++logical) {
        header->setSectionHidden(logical,
                                 std::find(shown.begin(), shown.end(), logical) == shown.end());
    }
}

// "Print List..." from the heading of `column`, printed (no preview) to
// `name` in `folder`; the text of the PDF.
std::string printList(BrowseWindow& list, test::ScriptedUi& ui, const test::TempFolder& folder,
                      int column, const std::string& name)
{
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(folder.file(name + ".pdf")));
    gui::setReportPrinter(&printer);
    ui.answers = {ButtonNo}; // print, no preview; the list's filter needs no question
    QMenu* menu = list.headerPreferences()->menuFor(column);
    for (QAction* action : menu->actions()) {
        if (action->text() == QStringLiteral("Pri&nt List...")) {
            action->trigger();
        }
    }
    gui::setReportPrinter(nullptr);
    return test::pdfText(folder.file(name + ".pdf"), folder.file(name + ".txt"));
}

std::string contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

class ListColumnsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aPagedListSortsByEveryColumnBothWays()
    {
        test::StartedServices s;
        addBookmarks(s.db(), 301);
        BrowseWindow list(s.services, s.opener);
        list.resize(1400, 600);
        list.show();
        const std::vector<std::pair<int, BookmarkKey>> keyed = {
            {BookmarkListModel::Description, BookmarkKey::Description},
            {BookmarkListModel::Location, BookmarkKey::Location},
            {BookmarkListModel::Category, BookmarkKey::Category},
            {BookmarkListModel::Rating, BookmarkKey::Rating},
            {BookmarkListModel::Keyword, BookmarkKey::Keyword},
        };
        QHeaderView* header = list.table()->horizontalHeader();
        // The list opens in the first tab's order, its heading's arrow up.
        QCOMPARE(header->sortIndicatorSection(), int(BookmarkListModel::Description));
        QVERIFY(shownLocations(list) == inKeyOrder(s.db(), BookmarkKey::Description));
        for (const auto& [column, key] : keyed) {
            std::vector<std::string> expected = inKeyOrder(s.db(), key);
            for (int click = 0; click < 2; ++click) {
                clickHeading(list, column);
                QCOMPARE(header->sortIndicatorSection(), column);
                const bool down = header->sortIndicatorOrder() == Qt::DescendingOrder;
                std::vector<std::string> wanted = expected;
                if (down) {
                    std::reverse(wanted.begin(), wanted.end());
                }
                QCOMPARE(shownLocations(list).size(), std::size_t{301});
                QVERIFY2(shownLocations(list) == wanted, qPrintable(QString::number(column)));
            }
        }
        // The other columns have no key: the list sorts by their values
        // through a sorted position list and stays paged, and the
        // heading's menu offers the sort.
        for (const int column :
             {int(BookmarkListModel::LastVisit), int(BookmarkListModel::Comments),
              int(BookmarkListModel::SiteInfo)}) {
            clickHeading(list, column);
            QCOMPARE(header->sortIndicatorSection(), column);
            QCOMPARE(shownLocations(list).size(), std::size_t{301});
            QVERIFY(list.paging());
            QVERIFY(list.rows().sortField().has_value());
            QMenu* menu = list.headerPreferences()->menuFor(column);
            QVERIFY(menu->actions().front()->isEnabled());
        }
        QCOMPARE(header->sortIndicatorSection(), int(BookmarkListModel::SiteInfo));

        // A tab puts its own order back and its heading shows it.
        QTest::mouseClick(list.tabs(), Qt::LeftButton, {}, list.tabs()->tabRect(1).center());
        QVERIFY(shownLocations(list) == inKeyOrder(s.db(), BookmarkKey::Location));
        QCOMPARE(header->sortIndicatorSection(), int(BookmarkListModel::Location));
    }

    void aShortListSortsByAnyColumnWithBlanksLast()
    {
        test::StartedServices s;
        addBookmarks(s.db(), 40);
        BrowseWindow list(s.services, s.opener);
        list.resize(1400, 600);
        list.show();
        const auto visits = [&] {
            std::vector<qlonglong> out;
            const auto* model = list.table()->model();
            for (int row = 0; row < model->rowCount(); ++row) {
                const QDate date = model->index(row, BookmarkListModel::LastVisit)
                                       .data(gui::kGraphValueRole)
                                       .toDate();
                out.push_back(date.isValid() ? date.toJulianDay() : -1);
            }
            return out;
        };
        clickHeading(list, BookmarkListModel::LastVisit);
        std::vector<qlonglong> shown = visits();
        QCOMPARE(shown.size(), std::size_t{40});
        QVERIFY(std::is_sorted(shown.begin(), shown.begin() + 32));
        QVERIFY(std::all_of(shown.begin() + 32, shown.end(), [](qlonglong d) { return d == -1; }));
        clickHeading(list, BookmarkListModel::LastVisit);
        shown = visits();
        QVERIFY(std::is_sorted(shown.begin(), shown.begin() + 32, std::greater<>()));
        QCOMPARE(shown.back(), qlonglong{-1});
    }

    void theChoicesSurviveARestart()
    {
        test::TempFolder folder;
        test::TempFolder prefix;
        std::vector<std::string> sorted;
        {
            test::ScriptedUi ui;
            Services services{ui, folder.path(), prefix.path()};
            services.start();
            addBookmarks(services.database(), 30);
            test::NoOpener opener;
            BrowseWindow list(services, opener);
            list.resize(1400, 600);
            list.show();
            clickHeading(list, BookmarkListModel::Rating);
            clickHeading(list, BookmarkListModel::Rating);
            gui::ColumnStyle style;
            style.text = QColor(Qt::darkBlue);
            list.headerPreferences()->setStyle(BookmarkListModel::Category, style);
            QHeaderView* header = list.table()->horizontalHeader();
            header->setSectionHidden(BookmarkListModel::Comments, true);
            header->moveSection(header->visualIndex(BookmarkListModel::Rating), 1);
            sorted = shownLocations(list);
            list.close();
        } // the program ends: POSITION.INI is written
        test::ScriptedUi ui;
        Services services{ui, folder.path(), prefix.path()};
        services.start();
        QCOMPARE(services.positions().value("BrowseTESSLY>Header", "Sort"),
                 std::to_string(int(BookmarkListModel::Rating)) + ":D");
        test::NoOpener opener;
        BrowseWindow list(services, opener);
        list.show();
        QVERIFY(shownLocations(list) == sorted);
        QHeaderView* header = list.table()->horizontalHeader();
        QCOMPARE(header->sortIndicatorSection(), int(BookmarkListModel::Rating));
        QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
        QVERIFY(header->isSectionHidden(BookmarkListModel::Comments));
        QCOMPARE(header->visualIndex(BookmarkListModel::Rating), 1);
        const gui::ColumnStyle* style =
            list.headerPreferences()->style(BookmarkListModel::Category);
        QVERIFY(style != nullptr && style->text == QColor(Qt::darkBlue));
    }

    void theListPrintsAndExportsAsShown()
    {
        test::StartedServices s;
        addBookmarks(s.db(), 12);
        BrowseWindow list(s.services, s.opener);
        list.resize(1400, 600);
        list.show();
        showOnly(list, {BookmarkListModel::Location, BookmarkListModel::Rating});
        QHeaderView* header = list.table()->horizontalHeader();
        header->moveSection(header->visualIndex(BookmarkListModel::Rating), 0);
        clickHeading(list, BookmarkListModel::Rating); // highest first
        clickHeading(list, BookmarkListModel::Rating); // lowest first

        const std::string text = s.folder.file("list.txt");
        QVERIFY(list.headerPreferences()->exportList(QString::fromStdString(text), false));
        const std::string exported = contents(text);
        QVERIFY2(exported.starts_with("Rating Location\n------ "), exported.c_str());
        // Lowest rating first, as the list shows them.
        QVERIFY(exported.find("http://site1000.example/") <
                exported.find("http://site1003.example/"));
        QVERIFY(exported.find("9      http://site1003.example/\n") != std::string::npos);

        const std::string pdf = printList(list, s.ui, s.folder, BookmarkListModel::Rating, "list");
        QCOMPARE(s.ui.shown.size(), std::size_t{1});
        QVERIFY2(pdf.find("Browse Locations") != std::string::npos, pdf.c_str());
        const std::size_t rating = pdf.find("Rating");
        const std::size_t location = pdf.find("Location", rating);
        QVERIFY(rating != std::string::npos && location != std::string::npos);
        QVERIFY(pdf.find("Description") == std::string::npos); // hidden in the list
        // Lowest rating first, as the list shows them.
        QVERIFY(pdf.find("site1000.example") < pdf.find("site1003.example"));
        QVERIFY(pdf.find("Records Printed: 12") != std::string::npos);
    }

    void aListSortedWithBlanksLastPrintsInTheScreensOrderAndHeadings()
    {
        test::StartedServices s;
        addBookmarks(s.db(), 40);
        BrowseWindow list(s.services, s.opener);
        list.resize(1400, 600);
        list.show();
        showOnly(list, {BookmarkListModel::Location, BookmarkListModel::LastVisit,
                        BookmarkListModel::Rating, BookmarkListModel::Keyword});
        clickHeading(list, BookmarkListModel::LastVisit); // blanks last, ties as they stand
        const std::vector<std::string> screen = shownLocations(list);
        const std::string pdf =
            printList(list, s.ui, s.folder, BookmarkListModel::LastVisit, "visits");
        std::vector<std::string> printed;
        for (std::size_t at = 0; (at = pdf.find("http://site", at)) != std::string::npos; ++at) {
            printed.push_back(pdf.substr(at, pdf.find('/', at + 7) + 1 - at));
        }
        QVERIFY2(printed == screen, pdf.c_str());
        for (const char* heading : {"Location", "Last Visit", "Rating", "Keyword"}) {
            QVERIFY2(pdf.find(heading) != std::string::npos, heading);
        }
    }

    void theCategoryListPrintsTheColumnsItShows()
    {
        test::StartedServices s;
        for (const auto& [name, description] : std::vector<std::pair<const char*, const char*>>{
                 {"Art", "Galleries and museums"}, {"News", "Papers of the day"}}) {
            Record category{categoryTable()};
            category.setText(CategoryField::Category, name);
            category.setText(CategoryField::Description, description);
            QCOMPARE(saveCategory(s.db(), Record{categoryTable()}, category), 0);
        }
        gui::CategoryTable table;
        table.setCategories(listCategories(s.db(), false));
        gui::HeaderPreferences& preferences = table.enableColumnPreferences(
            s.services.positions(), s.ui, "BrowseCategories", {},
            [&] { gui::printCategoryList(s.db(), s.ui, *table.horizontalHeader(), &table); });
        table.show();
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        gui::setReportPrinter(&printer);
        for (const bool nameOnly : {false, true}) {
            table.setColumnHidden(1, nameOnly);
            const std::string pdf = s.folder.file(nameOnly ? "names.pdf" : "both.pdf");
            printer.setOutputFileName(QString::fromStdString(pdf));
            s.ui.answers = {ButtonNo}; // print, no preview
            for (QAction* action : preferences.menuFor(0)->actions()) {
                if (action->text() == QStringLiteral("Pri&nt List...")) {
                    action->trigger();
                }
            }
            const std::string text = test::pdfText(pdf, pdf + ".txt");
            QVERIFY2(text.find("Art") < text.find("News"), text.c_str());
            QCOMPARE(text.find("Papers of the day") != std::string::npos, !nameOnly);
        }
        gui::setReportPrinter(nullptr);
    }
};

QTEST_MAIN(ListColumnsTest)
#include "list_columns_test.moc"
