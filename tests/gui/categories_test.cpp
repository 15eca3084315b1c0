#include "bookmarks/browse_window.h"
#include "bookmarks/categories.h"
#include "categories/ask_category.h"
#include "categories/category_dialogs.h"
#include "categories/category_list_window.h"
#include "categories/category_table.h"
#include "core/services.h"
#include "core/tables.h"
#include "framework/window_register.h"
#include "platform/launcher.h"

#include "started_services.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

using namespace tessaly;

namespace {

struct Fixture : test::StartedServices {
    Fixture()
    {
        for (const char* name : {"News", "_before all", "Art"}) {
            Record c{categoryTable()};
            c.setText(CategoryField::Category, name);
            saveCategory(db(), Record{categoryTable()}, c);
        }
        db().bookmarks().use();
        for (int i = 0; i < 4; ++i) {
            Record b{bookmarkTable()};
            b.setText(BookmarkField::Location, "http://n" + std::to_string(i) + "/");
            b.setText(BookmarkField::Description, "N " + std::to_string(i));
            b.setText(BookmarkField::Category, i < 3 ? "News" : "Art");
            db().bookmarks().insert(b);
        }
        db().bookmarks().close();
    }

    Record stored(const std::string& name)
    {
        for (const Record& r : listCategories(db(), true)) {
            if (r.text(CategoryField::Category) == name) {
                return r;
            }
        }
        return Record{categoryTable()};
    }
};

void clickAccept(QDialog& dialog)
{
    auto* box = dialog.findChild<QDialogButtonBox*>();
    for (QAbstractButton* button : box->buttons()) {
        if (box->buttonRole(button) == QDialogButtonBox::AcceptRole) {
            QTest::mouseClick(button, Qt::LeftButton);
            return;
        }
    }
}

} // namespace

class CategoriesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void listShowsEveryCategoryAndTheTip()
    {
        Fixture f;
        gui::CategoryListWindow list(f.db(), [](const gui::ListVariant&) {});
        QCOMPARE(list.windowTitle(), QStringLiteral("Browse Categories"));
        QCOMPARE(list.table()->rowCount(), 3); // reserved ones shown here
        QCOMPARE(list.table()->item(2, 0)->text(), QStringLiteral("_before all"));
        QStringList lines;
        for (QLabel* label : list.findChild<QGroupBox*>()->findChildren<QLabel*>()) {
            lines << label->text();
        }
        QCOMPARE(lines.size(), 8);
        QCOMPARE(lines[5], QStringLiteral("\"_Before All\", you can position HTML code"));
        QCOMPARE(lines[7], QStringLiteral("backgrounds, sounds, frames, etc.)"));

        // At its smallest every line keeps its full height, descenders too.
        list.resize(list.minimumSize());
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        for (QLabel* label : list.findChild<QGroupBox*>()->findChildren<QLabel*>()) {
            QVERIFY2(label->height() >= label->fontMetrics().height(), qPrintable(label->text()));
        }
        for (QPushButton* button : list.findChildren<QPushButton*>()) {
            QVERIFY2(button->height() >= button->minimumSizeHint().height(),
                     qPrintable(button->text()));
        }
    }

    void formChecksSavesAndAsksBeforeLosingChanges()
    {
        Fixture f;
        gui::CategoryForm form(f.db(), Record{categoryTable()});
        QCOMPARE(form.windowTitle(), QStringLiteral("New Category"));
        form.accept();
        QCOMPARE(f.ui.last().title, std::string{"Missing Information"});
        QCOMPARE(f.ui.last().text, std::string{"Category must be entered."});
        QVERIFY(form.result() != QDialog::Accepted);
        form.nameEdit()->setText("news");
        form.accept();
        QCOMPARE(f.ui.last().title, std::string{"Duplicate Key Error"});
        form.nameEdit()->setText("Sport");
        form.descriptionEdit()->setPlainText("Games and races");
        form.accept();
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(f.stored("Sport").text(CategoryField::Description),
                 std::string{"Games and races"});

        gui::CategoryForm edit(f.db(), f.stored("News"));
        QCOMPARE(edit.windowTitle(), QStringLiteral("Edit Category"));
        QCOMPARE(edit.locationsTable()->rowCount(), 3);
        edit.nameEdit()->setText("Changed");
        QSignalSpy finished(&edit, &QDialog::finished);
        f.ui.answers = {ButtonNo};
        edit.reject();
        QCOMPARE(f.ui.last().title, std::string{"Changes will be lost!"});
        QCOMPARE(finished.count(), 0); // No keeps the form
        f.ui.answers = {ButtonYes};
        edit.reject();
        QCOMPARE(finished.count(), 1);
        QVERIFY(f.stored("Changed").position == 0); // nothing saved
    }

    void renameAndDeleteShowInOpenLists()
    {
        Fixture f;
        test::NoOpener opener;
        gui::BrowseWindow bookmarks(f.services, opener);
        QCOMPARE(bookmarks.windowTitle(), QStringLiteral("Browse Locations (4)"));
        gui::CategoryForm rename(f.db(), f.stored("News"));
        rename.nameEdit()->setText("Headlines");
        rename.accept();
        int headlines = 0;
        for (int row = 0; row < bookmarks.model()->rowCount(); ++row) {
            headlines +=
                bookmarks.model()->bookmark(row).text(BookmarkField::Category) == "Headlines";
        }
        QCOMPARE(headlines, 3); // reloaded on the refresh notice

        gui::CategoryListWindow list(f.db(), [](const gui::ListVariant&) {});
        list.show();
        list.table()->locate("Headlines");
        auto* remove = list.findChild<QPushButton*>("Delete");
        QTest::mouseClick(remove, Qt::LeftButton); // the default answer keeps all
        QCOMPARE(f.ui.last().title, std::string{"Confirm Delete"});
        QCOMPARE(f.ui.last().text,
                 std::string{"Delete the category \"Headlines\" and the 3 bookmarks in it?\n\n"
                             "Their keywords and details are deleted with them."});
        QCOMPARE(f.ui.last().defaultButton, ButtonNo);
        QCOMPARE(bookmarks.windowTitle(), QStringLiteral("Browse Locations (4)"));
        f.ui.answers = {ButtonYes};
        QTest::mouseClick(remove, Qt::LeftButton);
        QCOMPARE(bookmarks.windowTitle(), QStringLiteral("Browse Locations (1)"));
        QCOMPARE(list.table()->rowCount(), 2);

        // An empty category gets the standard question.
        list.table()->locate("_before all");
        f.ui.answers = {ButtonYes};
        QTest::mouseClick(remove, Qt::LeftButton);
        QCOMPARE(f.ui.last().text,
                 std::string{"Are you sure you want to delete the highlighted record?"});
        QCOMPARE(list.table()->rowCount(), 1);
    }

    void theLocationsTabEditsTheCategorysBookmarks()
    {
        Fixture f;
        gui::CategoryForm form(f.db(), f.stored("News"));
        QVERIFY(!form.findChild<QPushButton*>("LocationNew")->isEnabled()); // no opener yet
        std::vector<std::string> opened;
        form.setBookmarkFormOpener([&](const Record& bookmark) {
            opened.push_back(bookmark.text(BookmarkField::Category) + "|" +
                             bookmark.text(BookmarkField::Location));
        });
        form.findChild<QPushButton*>("LocationNew")->click();
        form.locationsTable()->selectRow(1);
        form.findChild<QPushButton*>("LocationEdit")->click();
        QCOMPARE(opened, (std::vector<std::string>{"News|", "News|http://n1/"}));
        form.locationsTable()->selectRow(0);
        f.ui.answers = {ButtonYes};
        form.findChild<QPushButton*>("LocationDelete")->click();
        QCOMPARE(form.locationsTable()->rowCount(), 2);
    }

    void aRenamedCategoryKeepsTheHighlight()
    {
        Fixture f;
        gui::CategoryListWindow list(f.db(), [](const gui::ListVariant&) {});
        list.show();
        list.table()->locate("Art");
        auto* poll = new QTimer(&list);
        connect(poll, &QTimer::timeout, &list, [poll] {
            if (auto* form = qobject_cast<gui::CategoryForm*>(QApplication::activeModalWidget())) {
                poll->stop();
                form->nameEdit()->selectAll();
                QTest::keyClicks(form->nameEdit(), "Zoology");
                clickAccept(*form);
            }
        });
        poll->start(10);
        QTest::mouseClick(list.findChild<QPushButton*>("Edit"), Qt::LeftButton);
        QCOMPARE(list.table()->current()->text(CategoryField::Category), std::string{"Zoology"});
    }

    void thePickerMakesAFirstCategory()
    {
        test::StartedServices f; // an empty database
        gui::CategoryPicker picker(f.db(), "");
        QCOMPARE(picker.table()->rowCount(), 0);
        auto* poll = new QTimer(&picker);
        connect(poll, &QTimer::timeout, &picker, [poll] {
            if (auto* form = qobject_cast<gui::CategoryForm*>(QApplication::activeModalWidget())) {
                poll->stop();
                QCOMPARE(form->windowTitle(), QStringLiteral("New Category"));
                QTest::keyClicks(form->nameEdit(), "Reading");
                clickAccept(*form);
            }
        });
        poll->start(10);
        picker.show();
        QTest::mouseClick(picker.findChild<QPushButton*>("New"), Qt::LeftButton);
        QCOMPARE(picker.result(), int(QDialog::Accepted));
        QCOMPARE(picker.chosen(), std::optional<std::string>{"Reading"});
        QVERIFY(f.db().categoryExists("Reading"));
    }

    void htmlFormStartsBeforeCategory()
    {
        Fixture f;
        Record row{catHtmlTable()};
        row.setText(CatHtmlField::Category, "News");
        gui::CategoryHtmlForm form(f.db(), row);
        QCOMPARE(form.windowTitle(), QStringLiteral("New HTML"));
        QCOMPARE(form.types()->checkedId(), 1); // "Before Category"
        QCOMPARE(form.types()->button(4)->text(), QStringLiteral("&After Category"));
        form.htmlEdit()->setPlainText("<h1>News</h1>");
        form.types()->button(2)->setChecked(true);
        form.accept();
        const auto rows = categoryHtml(f.db(), "News");
        QCOMPARE(rows.size(), std::size_t{1});
        QCOMPARE(rows[0].text(CatHtmlField::TypeOfHTML), std::string{"Before Category Title"});
    }

    void pickerStartsAtTheNearestName()
    {
        Fixture f;
        gui::CategoryPicker picker(f.db(), "Mag");
        QCOMPARE(picker.windowTitle(), QStringLiteral("Select Category"));
        QCOMPARE(picker.table()->rowCount(), 3);
        QCOMPARE(picker.table()->item(picker.table()->currentRow(), 0)->text(),
                 QStringLiteral("News"));
        picker.accept();
        QCOMPARE(picker.chosen(), std::optional<std::string>{"News"});
        gui::CategoryPicker cancelled(f.db(), "Art");
        cancelled.reject();
        QVERIFY(!cancelled.chosen());
    }

    void askCategoryLeavesOutTheReservedAndGuessesBlank()
    {
        Fixture f;
        gui::AskCategory ask(f.db(), "http://x/", "Some page", "Linux   ");
        QCOMPARE(ask.windowTitle(), QStringLiteral("Category Assignment"));
        QCOMPARE(ask.table()->rowCount(), 2); // no "_before all"
        QCOMPARE(ask.findChild<QLabel*>("BestGuess")->text(), QStringLiteral("Best Guess:  Linux"));
        ask.table()->locate("news");
        ask.select();
        QCOMPARE(ask.category(), std::string{"News"});
        gui::AskCategory guess(f.db(), "http://x/", "Some page", "Linux");
        guess.useBestGuess();
        QCOMPARE(guess.category(), std::string{});
        QCOMPARE(guess.result(), int(QDialog::Accepted));

        gui::CategoryForm noMdi(f.db(), Record{categoryTable()}, false);
        QCOMPARE(noMdi.windowTitle(), QStringLiteral("Category Will Be Added"));
        QVERIFY(noMdi.htmlTable() == nullptr);
    }

    void locationsOpenTheCategorysList()
    {
        Fixture f;
        QString opened;
        gui::CategoryListWindow list(f.db(), [&](const gui::ListVariant& v) {
            opened = v.name + ":" + QString::fromStdString(v.category);
        });
        list.table()->locate("Art");
        list.showLocations();
        QCOMPARE(opened, QStringLiteral("BrowseURL:K_Category:Art"));
    }
};

QTEST_MAIN(CategoriesTest)
#include "categories_test.moc"
