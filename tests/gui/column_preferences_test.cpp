#include "categories/category_table.h"
#include "columns/column_graph_window.h"
#include "columns/header_preferences.h"
#include "columns/value_distribution.h"
#include "core/position_store.h"
#include "core/tables.h"
#include "framework/qt_ui_port.h"
#include "platform/data_folder.h"

#include "environment_variable.h"
#include "modal_answers.h"
#include "temp_folder.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QtTest>

#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace tessaly;
using gui::ColumnStyle;
using gui::Grouping;
using gui::HeaderPreferences;

namespace {

// A list of three columns: a name, a date and a rating; column 1 (the date)
// cannot be sorted, as a long list's unindexed columns cannot.
struct ListFixture {
    test::TempFolder folder;
    PositionStore positions;
    gui::QtUiPort ui;
    QStandardItemModel model{0, 3};
    QTableView view;
    std::vector<std::pair<int, Qt::SortOrder>> sorts;
    int resets = 0;
    std::unique_ptr<HeaderPreferences> preferences;

    // `positionsFile`: the POSITION.INI of an earlier run; a new one when empty.
    explicit ListFixture(const std::string& positionsFile = {})
        : positions(positionsFile.empty() ? folder.file("POSITION.INI") : positionsFile)
    {
        model.setHorizontalHeaderLabels({"Description", "Last Visit", "Rating"});
        const std::vector<std::tuple<QString, QDate, int>> rows = {
            {"Gallery <b>North</b>", QDate(2026, 11, 2), 3}, // a Monday
            {"Daily & nightly news", QDate(2026, 11, 9), 5}, // a Monday
            {"Weather", QDate(2026, 12, 5), 3},              // a Saturday
            {"Unvisited", QDate(), 0},
        };
        for (const auto& [name, date, rating] : rows) {
            auto* dateItem = new QStandardItem(date.isValid() ? date.toString(Qt::ISODate) : "");
            dateItem->setData(date, gui::kGraphValueRole);
            auto* ratingItem = new QStandardItem(QString::number(rating));
            ratingItem->setData(rating, gui::kGraphValueRole);
            model.appendRow({new QStandardItem(name), dateItem, ratingItem});
        }
        view.setModel(&model);
        view.resize(500, 200);
        preferences = attach();
        view.show();
    }

    std::unique_ptr<HeaderPreferences> attach()
    {
        HeaderPreferences::Hooks hooks;
        hooks.sortable = [](int logical) {
            return logical != 1;
        };
        hooks.sort = [this](int logical, Qt::SortOrder order) {
            sorts.emplace_back(logical, order);
            return true;
        };
        hooks.resetColumns = [this] {
            ++resets;
        };
        return std::make_unique<HeaderPreferences>(view, positions, "BrowseTESSLY", ui, hooks);
    }

    // A click in the middle of a heading, as the user makes it.
    void clickHeading(int logical)
    {
        QHeaderView* header = view.horizontalHeader();
        const QPoint at(header->sectionViewportPosition(logical) + header->sectionSize(logical) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    }
};

std::string contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

QAction* actionNamed(QMenu* menu, const QString& prefix)
{
    for (QAction* a : menu->actions()) {
        if (a->text().startsWith(prefix)) {
            return a;
        }
    }
    return nullptr;
}

// Answers a file dialog as a user does: enters `name` and presses Enter;
// a question whether to replace a file is answered Yes.
std::function<bool(QWidget*)> typeInFileDialog(const QString& name)
{
    return [name](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal);
            box != nullptr && box->text().contains("already exists")) {
            QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
            return true;
        }
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (dialog == nullptr) {
            return false;
        }
        auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
        if (edit == nullptr) {
            return false;
        }
        // Set rather than typed: the completer's list of an existing name
        // would take the Return for itself.
        edit->setText(name);
        QTest::keyClick(edit, Qt::Key_Return);
        return true;
    };
}

// Saves the graph of column 2 through its window's button.
void saveGraphAs(ListFixture& f, const QString& name, QStringList& messages)
{
    const auto typeName = typeInFileDialog(name);
    test::ModalAnswers answers([&](QWidget* modal) {
        if (auto* window = qobject_cast<gui::ColumnGraphWindow*>(modal)) {
            QTest::mouseClick(test::buttonOf(window, "&Save as PNG..."), Qt::LeftButton);
            window->accept();
            return true;
        }
        return typeName(modal);
    });
    actionNamed(f.preferences->menuFor(2), "Gra&ph Rating")->trigger();
    messages = answers.messages;
}

} // namespace

class ColumnPreferencesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aClickSortsASecondReversesAndAnUnsortableColumnStaysPut()
    {
        ListFixture f;
        f.clickHeading(2);
        f.clickHeading(2);
        f.clickHeading(1); // no index behind it
        f.clickHeading(0);
        QCOMPARE(f.sorts,
                 (std::vector<std::pair<int, Qt::SortOrder>>{
                     {2, Qt::AscendingOrder}, {2, Qt::DescendingOrder}, {0, Qt::AscendingOrder}}));
        QHeaderView* header = f.view.horizontalHeader();
        QVERIFY(header->isSortIndicatorShown());
        QCOMPARE(header->sortIndicatorSection(), 0);
        QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);

        // Alt+R reverses, from the keyboard.
        f.view.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f.view));
        f.view.setFocus();
        QTest::keyClick(&f.view, Qt::Key_R, Qt::AltModifier);
        QCOMPARE(f.sorts.back(), (std::pair<int, Qt::SortOrder>{0, Qt::DescendingOrder}));

        // The unsortable column's menu says why it cannot sort.
        QMenu* menu = f.preferences->menuFor(1);
        QVERIFY(!actionNamed(menu, "Sort &Ascending")->isEnabled());
        QVERIFY(actionNamed(menu, "(This list cannot be sorted by Last Visit)") != nullptr);
    }

    void choicesAreKeptUnderTheHeaderSectionAndSurviveARestart()
    {
        test::TempFolder folder;
        {
            ListFixture f;
            f.clickHeading(2);
            ColumnStyle style;
            style.text = QColor(Qt::darkRed);
            style.background = QColor(Qt::yellow);
            QFont bold = f.view.font();
            bold.setBold(true);
            style.font = bold;
            f.preferences->setStyle(0, style);
            QTest::keyClick(&f.view, Qt::Key_F11, Qt::AltModifier); // best fit, no harm
            f.view.setShowGrid(false);
            QMenu* menu = f.preferences->menuFor(0);
            actionNamed(menu, "&Grid Lines")->trigger();
            QVERIFY(f.view.showGrid());
            QCOMPARE(f.positions.value("BrowseTESSLY>Header", "Sort"), std::string{"2:A"});
            QVERIFY(f.positions.value("BrowseTESSLY>Header", "Style0")
                        .starts_with("text=#800000;"
                                     "back=#ffff00;"
                                     "font="));
            QCOMPARE(f.positions.value("XplorePreferences", "GridLines"), std::string{"1"});
            QVERIFY(f.positions.close());
            std::filesystem::copy_file(f.folder.file("POSITION.INI"), folder.file("POSITION.INI"));
        }
        // The next start: a store read from the file, a new list.
        ListFixture again{folder.file("POSITION.INI")};
        again.view.setShowGrid(false);
        again.preferences->restore();
        QCOMPARE(again.sorts,
                 (std::vector<std::pair<int, Qt::SortOrder>>{{2, Qt::AscendingOrder}}));
        const ColumnStyle* style = again.preferences->style(0);
        QVERIFY(style != nullptr);
        QCOMPARE(style->text, QColor(Qt::darkRed));
        QCOMPARE(style->background, QColor(Qt::yellow));
        QVERIFY(style->font && style->font->bold());
        QVERIFY(again.view.showGrid());
        QCOMPARE(again.view.horizontalHeader()->sortIndicatorSection(), 2);

        // Reset takes the styles away and asks the list for its columns.
        again.view.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&again.view));
        QTest::keyClick(&again.view, Qt::Key_F12, Qt::AltModifier);
        QCOMPARE(again.resets, 1);
        QVERIFY(again.preferences->style(0) == nullptr);
        QCOMPARE(again.positions.value("BrowseTESSLY>Header", "Style0"), std::string{});
    }

    void columnsHideFromTheMenuButTheLastOneStays()
    {
        ListFixture f;
        QHeaderView* header = f.view.horizontalHeader();
        // The way a user opens it: a right click on the heading, then a
        // click on the item in the menu that pops up.
        const QPoint onHeading(header->sectionViewportPosition(1) + 10, header->height() / 2);
        QContextMenuEvent rightClick(QContextMenuEvent::Mouse, onHeading,
                                     header->viewport()->mapToGlobal(onHeading));
        QApplication::sendEvent(header->viewport(), &rightClick);
        QTRY_VERIFY(QApplication::activePopupWidget() != nullptr);
        auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(popup != nullptr);
        QAction* hide = actionNamed(popup, "&Hide Last Visit");
        QVERIFY(hide != nullptr);
        QTest::mouseClick(popup, Qt::LeftButton, {}, popup->actionGeometry(hide).center());
        QTRY_VERIFY(header->isSectionHidden(1));
        actionNamed(f.preferences->menuFor(2), "&Hide Rating")->trigger();
        QVERIFY(header->isSectionHidden(2));
        QMenu* menu = f.preferences->menuFor(0);
        QVERIFY(!actionNamed(menu, "&Hide Description")->isEnabled());
        // The Columns submenu shows them back.
        QMenu* columns = actionNamed(menu, "&Columns")->menu();
        actionNamed(columns, "Rating")->trigger();
        QVERIFY(!header->isSectionHidden(2));
    }

    void theCategoryListSortsByEitherColumnAndKeepsItsHighlight()
    {
        test::TempFolder folder;
        PositionStore positions{folder.file("POSITION.INI")};
        gui::QtUiPort ui;
        gui::CategoryTable table;
        std::vector<Record> categories;
        std::int64_t position = 0;
        for (const auto& [name, description] : std::vector<std::pair<const char*, const char*>>{
                 {"art", "Zebra pictures"}, {"Books", "apples"}, {"cars", "Motors"}}) {
            Record r{categoryTable()};
            r.setText(CategoryField::Category, name);
            r.setText(CategoryField::Description, description);
            r.position = ++position;
            categories.push_back(r);
        }
        table.setCategories(categories);
        table.enableColumnPreferences(positions, ui, "BrowseCategories");
        table.resize(400, 200);
        table.show();
        table.selectRow(1); // Books
        const auto names = [&] {
            QStringList out;
            for (int row = 0; row < table.rowCount(); ++row) {
                out << table.item(row, 0)->text();
            }
            return out;
        };
        QHeaderView* header = table.horizontalHeader();
        const auto click = [&](int logical) {
            QTest::mouseClick(
                header->viewport(), Qt::LeftButton, {},
                QPoint(header->sectionViewportPosition(logical) + 10, header->height() / 2));
        };
        click(1);
        QCOMPARE(names(), (QStringList{"Books", "cars", "art"}));
        QCOMPARE(table.current()->text(CategoryField::Category), std::string{"Books"});
        click(1);
        QCOMPARE(names(), (QStringList{"art", "cars", "Books"}));
        QCOMPARE(table.current()->text(CategoryField::Category), std::string{"Books"});
        // A refresh keeps the order chosen.
        table.setCategories(categories);
        QCOMPARE(names(), (QStringList{"art", "cars", "Books"}));
        QCOMPARE(positions.value("BrowseCategories>Header", "Sort"), std::string{"1:D"});
    }

    void bestFitShowsTheWholeText()
    {
        ListFixture f;
        QHeaderView* header = f.view.horizontalHeader();
        header->resizeSection(0, 12);
        f.preferences->bestFit(0);
        const int needed = f.view.fontMetrics().horizontalAdvance("Daily & nightly news");
        QVERIFY2(header->sectionSize(0) >= needed,
                 qPrintable(QString::number(header->sectionSize(0))));
    }

    void theListExportsAsShownAndAFailureKeepsTheOldFile()
    {
        ListFixture f;
        QHeaderView* header = f.view.horizontalHeader();
        header->moveSection(2, 0); // Rating first
        header->setSectionHidden(1, true);
        const std::string text = f.folder.file("list.txt");
        QVERIFY(f.preferences->exportList(QString::fromStdString(text), false));
        QCOMPARE(contents(text), std::string{"Rating Description\n"
                                             "------ --------------------\n"
                                             "3      Gallery <b>North</b>\n"
                                             "5      Daily & nightly news\n"
                                             "3      Weather\n"
                                             "0      Unvisited\n"});
        const std::string page = f.folder.file("list.html");
        QVERIFY(f.preferences->exportList(QString::fromStdString(page), true));
        const std::string html = contents(page);
        QVERIFY(html.find("<tr><th>Rating</th><th>Description</th></tr>") != std::string::npos);
        QVERIFY(html.find("<td>Gallery &lt;b&gt;North&lt;/b&gt;</td>") != std::string::npos);
        QVERIFY(html.find("<b>") == std::string::npos);

        // Into a "folder" that is a file: said, and nothing else changes.
        test::ModalAnswers answers;
        QVERIFY(!f.preferences->exportList(QString::fromStdString(text + "/list.txt"), false));
        QCOMPARE(answers.messages.size(), 1);
        QVERIFY(answers.messages.front().startsWith("List Not Exported|"));
        QVERIFY(contents(text).starts_with("Rating Description\n"));
    }

    void valuesAreCountedByValueMonthAndWeekday()
    {
        const std::vector<QVariant> dates = {QDate(2026, 11, 2), QDate(2026, 11, 9),
                                             QDate(2026, 12, 5), QDate(), QDate(2025, 1, 1)};
        QCOMPARE(gui::kindOf(dates), gui::ValueKind::Date);
        QCOMPARE(gui::groupingsFor(gui::kindOf(dates)),
                 (std::vector<Grouping>{Grouping::Value, Grouping::Month, Grouping::Weekday}));
        const auto labelsAndCounts = [](const gui::Distribution& d) {
            QStringList out;
            for (const gui::ValueShare& share : d.shares) {
                out << QStringLiteral("%1=%2 %3")
                           .arg(share.label)
                           .arg(share.count)
                           .arg(share.percent, 0, 'f', 0);
            }
            return out;
        };
        const QLocale locale = QLocale::system();
        QCOMPARE(labelsAndCounts(gui::distribute(dates, Grouping::Month)),
                 (QStringList{locale.monthName(1, QLocale::ShortFormat) + " 2025=1 20",
                              locale.monthName(11, QLocale::ShortFormat) + " 2026=2 40",
                              locale.monthName(12, QLocale::ShortFormat) + " 2026=1 20",
                              "(blank)=1 20"}));
        QCOMPARE(labelsAndCounts(gui::distribute(dates, Grouping::Weekday)),
                 (QStringList{locale.dayName(1) + "=2 40", locale.dayName(3) + "=1 20",
                              locale.dayName(6) + "=1 20", "(blank)=1 20"}));

        // Ratings in their order; text by frequency, letter case aside.
        QCOMPARE(labelsAndCounts(gui::distribute({5, 3, 3, 10}, Grouping::Value)),
                 (QStringList{"3=2 50", "5=1 25", "10=1 25"}));
        QCOMPARE(labelsAndCounts(gui::distribute({"Passed", "Failed", "passed", "", "Unknown"},
                                                 Grouping::Value)),
                 (QStringList{"Passed=2 40", "Failed=1 20", "Unknown=1 20", "(blank)=1 20"}));

        // Many different values: the rarest are counted together.
        std::vector<QVariant> many;
        for (int i = 0; i < 100; ++i) {
            many.push_back(QStringLiteral("http://site%1/").arg(i));
        }
        many.push_back("http://site7/");
        const gui::Distribution capped = gui::distribute(many, Grouping::Value, 5);
        QCOMPARE(capped.shares.size(), std::size_t{6});
        QCOMPARE(capped.shares.front().label, QStringLiteral("http://site7/"));
        QCOMPARE(capped.shares.back().label, QStringLiteral("(others)"));
        QCOMPARE(capped.shares.back().count, qint64{95});
    }

    void theGraphWindowGroupsAndSavesAPicture()
    {
        ListFixture f;
        QMenu* menu = f.preferences->menuFor(1);
        QString title;
        QStringList groupings;
        test::ModalAnswers answers([&](QWidget* modal) {
            auto* window = qobject_cast<gui::ColumnGraphWindow*>(modal);
            if (window == nullptr) {
                return false;
            }
            title = window->windowTitle();
            for (int i = 0; i < window->groupingBox()->count(); ++i) {
                groupings << window->groupingBox()->itemText(i);
            }
            window->groupingBox()->setCurrentIndex(1); // by month
            const QString png = QString::fromStdString(f.folder.file("graph.png"));
            window->savePng(png);
            window->accept();
            return true;
        });
        actionNamed(menu, "Gra&ph Last Visit")->trigger();
        QCOMPARE(title, QStringLiteral("Graph of Last Visit"));
        QCOMPARE(groupings, (QStringList{"Value", "Month", "Weekday"}));
        const QImage picture(QString::fromStdString(f.folder.file("graph.png")));
        QVERIFY(!picture.isNull());
        QVERIFY(picture.width() > 100 && picture.height() > 30);
    }

    void theProgramsFilesAreNeitherAListNorAPicture()
    {
        ListFixture f;
        char* before = ::getcwd(nullptr, 0);
        QVERIFY(::chdir(f.folder.path().c_str()) == 0);
        const test::EnvironmentVariable home{"HOME", f.folder.path().c_str()};
        // Started with a data folder named relative to where it was started.
        QVERIFY(enterDataFolder("data").error.empty());
        const std::string database = f.folder.write("data/URLDATA.tps", "the bookmarks");
        const QString spelt = QString::fromStdString(f.folder.file("data/../data/URLDATA.tps"));
        {
            test::ModalAnswers answers(typeInFileDialog(spelt));
            actionNamed(f.preferences->menuFor(0), "E&xport List")->trigger();
            QCOMPARE(answers.messages.size(), 1);
            QVERIFY2(answers.messages.front().startsWith("List Not Exported|") &&
                         answers.messages.front().contains("the program's own files"),
                     qPrintable(answers.messages.front()));
        }
        QStringList messages;
        saveGraphAs(f, spelt, messages);
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages.front().startsWith("Graph Not Saved|") &&
                     messages.front().contains("the program's own files"),
                 qPrintable(messages.front()));
        QCOMPARE(contents(database), std::string{"the bookmarks"});

        // The dialog starts in the home folder and gives the name its
        // extension; a second save starts where the first one went.
        saveGraphAs(f, "ratings", messages);
        QCOMPARE(messages, QStringList{});
        QVERIFY(!QImage(QString::fromStdString(f.folder.file("ratings.png"))).isNull());
        QVERIFY(QDir().mkpath(QString::fromStdString(f.folder.file("pictures"))));
        saveGraphAs(f, QString::fromStdString(f.folder.file("pictures/second")), messages);
        saveGraphAs(f, "third", messages);
        QVERIFY(QFileInfo::exists(QString::fromStdString(f.folder.file("pictures/third.png"))));
        QVERIFY(::chdir(before) == 0);
        std::free(before);
    }
};

QTEST_MAIN(ColumnPreferencesTest)
#include "column_preferences_test.moc"
