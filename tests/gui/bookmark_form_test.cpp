#include "bookmarks/bookmark_form_window.h"
#include "bookmarks/categories.h"
#include "core/services.h"
#include "core/tables.h"
#include "framework/dates.h"
#include "framework/lock_wait_cursor.h"
#include "framework/picture.h"

#include "scripted_ui.h"
#include "stored_bookmark.h"
#include "temp_folder.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QtTest>

#include <chrono>
#include <sqlite3.h>
#include <thread>

using namespace tessaly;
using gui::BookmarkFormWindow;

namespace {

struct Fixture {
    test::TempFolder folder;
    test::TempFolder prefix;
    test::ScriptedUi ui;
    Services services{ui, folder.path(), prefix.path()};
    Database& db() { return services.database(); }

    Fixture()
    {
        services.start();
        for (const char* name : {"News", "_After All", "Weather"}) {
            Record c{categoryTable()};
            c.setText(CategoryField::Category, name);
            saveCategory(db(), Record{categoryTable()}, c);
        }
    }

    Record stored(const std::string& location) { return test::storedBookmark(db(), location); }

    std::vector<std::string> keywords()
    {
        std::vector<std::string> out;
        db().keywords().use();
        Record r{keywordTable()};
        db().keywords().file().set(0);
        while (db().keywords().file().next(r).ok()) {
            out.push_back(r.text(KeywordField::Location) + "|" + r.text(KeywordField::Keyword));
        }
        db().keywords().close();
        return out;
    }
};

QPushButton* okButton(QWidget& form)
{
    for (QPushButton* button : form.findChildren<QPushButton*>()) {
        if (button->text() == QStringLiteral("&OK")) {
            return button;
        }
    }
    return nullptr;
}

} // namespace

class BookmarkFormTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void newBookmarkWithAGuessedKeyword()
    {
        Fixture f;
        Record fresh{bookmarkTable()};
        BookmarkFormWindow form(f.services, fresh);
        QCOMPARE(form.windowTitle(), QStringLiteral("New Location"));
        QStringList offered;
        for (int i = 0; i < form.categoryBox()->count(); ++i) {
            offered << form.categoryBox()->itemText(i);
        }
        QCOMPARE(offered, (QStringList{"News", "Weather"})); // no reserved names
        form.locationEdit()->setText("http://weather.example/");
        form.descriptionEdit()->setText("The Online Weather");
        form.descriptionAccepted();
        QCOMPARE(form.keywordEdit()->text(), QStringLiteral("Weather"));
        form.categoryBox()->setCurrentText("weather");
        QVERIFY(form.categoryAccepted()); // letter case does not matter
        form.ratingBox()->setValue(8);
        form.keywordTable()->insertRow(0);
        form.keywordTable()->setItem(0, 0, new QTableWidgetItem("forecast"));
        form.setDatePicker([](const QString& caption, std::int32_t) {
            return caption == "Select last visit date" ? dates::dayNumber(2026, 12, 1) : 0;
        });
        form.pickDate(form.lastVisitEdit(), "Select last visit date");
        form.accept();
        QCOMPARE(form.result(), int(QDialog::Accepted));
        const Record r = f.stored("http://weather.example/");
        QCOMPARE(r.text(BookmarkField::Category), std::string{"weather"}); // kept as typed
        QCOMPARE(r.number(BookmarkField::Rating), 8);
        QCOMPARE(r.number(BookmarkField::LastVisit), dates::dayNumber(2026, 12, 1));
        QCOMPARE(f.keywords(), (std::vector<std::string>{"http://weather.example/|forecast"}));
    }

    void okWaitsWithABusyCursorForAnotherProgramsGroup()
    {
        Fixture f;
        gui::showBusyCursorWhileLocked();
        // Another program in the middle of a group of its batch, which it
        // commits two seconds later.
        sqlite3* batch = nullptr;
        QCOMPARE(sqlite3_open(f.folder.file("URLDATA.tps").c_str(), &batch), SQLITE_OK);
        QCOMPARE(sqlite3_exec(batch, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        std::thread commits{[batch] {
            std::this_thread::sleep_for(std::chrono::seconds(2));
            sqlite3_exec(batch, "COMMIT", nullptr, nullptr, nullptr);
        }};
        Record fresh{bookmarkTable()};
        BookmarkFormWindow form(f.services, fresh);
        form.locationEdit()->setText("http://waited.example/");
        form.categoryBox()->setCurrentText("News");
        form.accept();
        const QCursor* during = QGuiApplication::overrideCursor();
        const bool busy = during != nullptr && during->shape() == Qt::WaitCursor;
        commits.join();
        sqlite3_close(batch);
        QVERIFY2(f.ui.shown.empty(), f.ui.shown.empty() ? "" : f.ui.last().text.c_str());
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(f.stored("http://waited.example/").text(BookmarkField::Location),
                 std::string{"http://waited.example/"});
        QVERIFY(busy);
        QCoreApplication::processEvents();
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }

    void anExistingKeywordStaysAndAnUnknownCategoryStops()
    {
        Fixture f;
        BookmarkFormWindow form(f.services, Record{bookmarkTable()});
        form.keywordEdit()->setText("Mine");
        form.descriptionEdit()->setText("The Online Weather");
        form.descriptionAccepted();
        QCOMPARE(form.keywordEdit()->text(), QStringLiteral("Mine"));
        form.categoryBox()->setCurrentText("Nowhere");
        QVERIFY(!form.categoryAccepted());
        QCOMPARE(f.ui.last().title, std::string{"Field contents error"});
        QCOMPARE(f.ui.last().text, std::string{"The value of Category must be found in the "
                                               "Categories file.\nChoose one with Browse, or "
                                               "make a new one there."});
        form.locationEdit()->setText("http://x/");
        form.accept();
        QVERIFY(form.result() != QDialog::Accepted);
        QCOMPARE(f.stored("http://x/").position, std::int64_t{0});
    }

    void aLongAddressIsSavedWholeAndALongerOneRefused()
    {
        Fixture f;
        const std::string search = "https://search.example/?q=" + std::string(2004, 'q');
        BookmarkFormWindow form(f.services, Record{bookmarkTable()});
        form.locationEdit()->setText(QString::fromStdString(search));
        form.categoryBox()->setCurrentText("News");
        form.keywordTable()->insertRow(0);
        form.keywordTable()->setItem(0, 0, new QTableWidgetItem("find"));
        form.accept();
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(f.stored(search).text(BookmarkField::Location), search);
        QCOMPARE(f.keywords(), (std::vector<std::string>{search + "|find"}));

        // Pasted longer than an address is kept: said, and nothing stored.
        const std::string huge = "https://huge.example/" + std::string(70000, 'h');
        BookmarkFormWindow longer(f.services, Record{bookmarkTable()});
        longer.locationEdit()->setText(QString::fromStdString(huge));
        longer.categoryBox()->setCurrentText("News");
        longer.accept();
        QVERIFY(longer.result() != QDialog::Accepted);
        QCOMPARE(f.ui.last().title, std::string{"Address Too Long"});
        QCOMPARE(f.ui.last().text, std::string{"This address has more than 65,536 characters and "
                                               "cannot be stored whole. It was not stored."});
        QCOMPARE(f.stored(huge.substr(0, 65536)).position, std::int64_t{0});
    }

    void anotherBookmarksRowsStayWithIt()
    {
        Fixture f;
        for (const char* location : {"http://a/", "http://b/"}) {
            BookmarkFormWindow form(f.services, Record{bookmarkTable()});
            form.locationEdit()->setText(location);
            form.categoryBox()->setCurrentText("News");
            form.keywordTable()->insertRow(0);
            form.keywordTable()->setItem(0, 0, new QTableWidgetItem(&location[7]));
            form.accept();
        }
        BookmarkFormWindow edit(f.services, f.stored("http://a/"));
        QCOMPARE(edit.windowTitle(), QStringLiteral("Edit Location"));
        QCOMPARE(edit.keywordTable()->rowCount(), 1);
        edit.show();
        QVERIFY(QTest::qWaitForWindowActive(&edit));
        // B's location typed in passing: OK is refused, then C is typed.
        QLineEdit* location = edit.locationEdit();
        location->setFocus();
        location->selectAll();
        QTest::keyClicks(location, "http://b/");
        QTest::keyClick(location, Qt::Key_Tab);
        QTest::mouseClick(okButton(edit), Qt::LeftButton);
        QCOMPARE(f.ui.last().title, std::string{"Duplicate Key Error"});
        // The standard message, then which bookmark holds the address.
        QCOMPARE(QString::fromStdString(f.ui.last().text),
                 QStringLiteral("Adding this TESSLY record creates a duplicate entry for the key: "
                                "Site Location\nThe address is stored already in the category "
                                "\"News\"."));
        QVERIFY(edit.isVisible());
        location->selectAll();
        QTest::keyClicks(location, "http://c/");
        QTest::mouseClick(okButton(edit), Qt::LeftButton);
        QCOMPARE(edit.result(), int(QDialog::Accepted));
        QCOMPARE(f.keywords(), (std::vector<std::string>{"http://b/|b/", "http://c/|a/"}));
        QCOMPARE(f.stored("http://a/").position, std::int64_t{0});
    }

    void keysReachTheFieldsAndTheTabs()
    {
        Fixture f;
        BookmarkFormWindow form(f.services, Record{bookmarkTable()});
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        // What is typed at once goes into the first field.
        QTest::keyClicks(QApplication::focusWidget(), "http://typed/");
        QCOMPARE(form.locationEdit()->text(), QStringLiteral("http://typed/"));
        auto* tabs = form.findChild<QTabWidget*>();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(tabs->tabText(tabs->currentIndex()), QStringLiteral("Site Info"));
        QVERIFY(tabs->currentWidget()->isAncestorOf(QApplication::focusWidget()));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab,
                        Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(tabs->currentIndex(), 0);
        QCOMPARE(QApplication::focusWidget(), form.locationEdit());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab,
                        Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(tabs->tabText(tabs->currentIndex()), QStringLiteral("Custom"));
    }

    void tabFromTheLocationGoesToTheDescriptionNotToAnalyze()
    {
        Fixture f;
        BookmarkFormWindow form(f.services, Record{bookmarkTable()});
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTest::keyClicks(QApplication::focusWidget(), "http://typed/");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), form.descriptionEdit());
        // A blank typed there is a blank in the description.
        QTest::keyClicks(QApplication::focusWidget(), " x");
        QCOMPARE(form.descriptionEdit()->text(), QStringLiteral(" x"));
        // Tab goes on past the multi-line Comments to the fields after it
        // and stores no tab there.
        form.keywordEdit()->setFocus();
        QTest::keyClick(form.keywordEdit(), Qt::Key_Tab);
        auto* comments = qobject_cast<QPlainTextEdit*>(QApplication::focusWidget());
        QVERIFY(comments != nullptr);
        QTest::keyClicks(comments, "note");
        QTest::keyClick(comments, Qt::Key_Tab);
        QCOMPARE(comments->toPlainText(), QStringLiteral("note"));
        QVERIFY(qobject_cast<QLineEdit*>(QApplication::focusWidget()) != nullptr);
    }

    void cancellingChangesAsksFirst()
    {
        Fixture f;
        BookmarkFormWindow form(f.services, Record{bookmarkTable()});
        QSignalSpy finished(&form, &QDialog::finished);
        form.reject();
        QCOMPARE(finished.count(), 1); // nothing changed: no question
        BookmarkFormWindow changed(f.services, Record{bookmarkTable()});
        QSignalSpy changedFinished(&changed, &QDialog::finished);
        changed.locationEdit()->setText("http://typed/");
        f.ui.answers = {ButtonNo};
        changed.reject();
        QCOMPARE(f.ui.last().title, std::string{"Changes will be lost!"});
        QCOMPARE(changedFinished.count(), 0);
    }
};

QTEST_MAIN(BookmarkFormTest)
#include "bookmark_form_test.moc"
