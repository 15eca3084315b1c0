#include "bookmarks/categories.h"
#include "bookmarks/new_bookmark_wizard.h"
#include "bookmarks/x11_window_titles.h"
#include "core/services.h"
#include "core/tables.h"

#include "scripted_ui.h"
#include "temp_folder.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

using namespace tessaly;
using gui::NewBookmarkWizard;

namespace {

struct Fixture {
    test::TempFolder folder;
    test::TempFolder prefix;
    test::ScriptedUi ui;
    Services services{ui, folder.path(), prefix.path()};

    Fixture()
    {
        services.start();
        for (const char* name : {"News", "Art"}) {
            Record c{categoryTable()};
            c.setText(CategoryField::Category, name);
            saveCategory(services.database(), Record{categoryTable()}, c);
        }
    }
};

std::vector<BrowserCandidate> none()
{
    return {};
}

} // namespace

class NewBookmarkWizardTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void noBrowserWindowStartsOnGeneralEmpty()
    {
        Fixture f;
        NewBookmarkWizard wizard(f.services, none);
        QCOMPARE(wizard.windowTitle(), QStringLiteral("New Location"));
        QVERIFY(!wizard.showsBrowserPage());
        QVERIFY(wizard.locationEdit()->text().isEmpty());
        QCOMPARE(wizard.categoryBox()->currentText(), QStringLiteral("Art")); // the first name
    }

    void oneCandidateIsTakenAtOnce()
    {
        Fixture f;
        NewBookmarkWizard wizard(f.services, [] {
            return std::vector<BrowserCandidate>{{"Weather - Firefox", "https://weather.example/"}};
        });
        QVERIFY(!wizard.showsBrowserPage());
        QCOMPARE(wizard.locationEdit()->text(), QStringLiteral("https://weather.example/"));
        QCOMPARE(wizard.descriptionEdit()->text(), QStringLiteral("Weather - Firefox"));
        QCOMPARE(wizard.keywordEdit()->text(), QStringLiteral("https")); // the scheme
    }

    void twoCandidatesStartOnTheBrowserPage()
    {
        Fixture f;
        NewBookmarkWizard wizard(f.services, [] {
            return std::vector<BrowserCandidate>{{"One", "http://one.example/"},
                                                 {"Two", "ftp://two.example/"}};
        });
        QVERIFY(wizard.showsBrowserPage());
        QCOMPARE(wizard.currentPage(), 0);
        wizard.candidateTable()->selectRow(1);
        wizard.next();
        QCOMPARE(wizard.locationEdit()->text(), QStringLiteral("ftp://two.example/"));
        QCOMPARE(wizard.keywordEdit()->text(), QStringLiteral("ftp"));
        wizard.finish();
        QCOMPARE(wizard.result(), int(QDialog::Accepted));
        Record stored{bookmarkTable()};
        stored.setText(BookmarkField::Location, "ftp://two.example/");
        f.services.database().bookmarks().use();
        QCOMPARE(f.services.database().bookmarks().tryFetch(0, stored), kLevelDone);
        QCOMPARE(stored.text(BookmarkField::Description), std::string{"Two"});
        QCOMPARE(stored.text(BookmarkField::Category), std::string{"Art"});
    }

    void aPendingAddressIsTakenWithoutLooking()
    {
        Fixture f;
        f.services.pendingAddress() = "www.example.org/page";
        bool looked = false;
        NewBookmarkWizard wizard(f.services, [&] {
            looked = true;
            return std::vector<BrowserCandidate>{};
        });
        QVERIFY(!looked);
        QCOMPARE(wizard.locationEdit()->text(), QStringLiteral("www.example.org/page"));
        wizard.locationAccepted();
        QCOMPARE(wizard.keywordEdit()->text(), QStringLiteral("?"));
    }

    void aLocationTypedInPassingKeepsItsRows()
    {
        Fixture f;
        Database& db = f.services.database();
        Record b{bookmarkTable()};
        b.setText(BookmarkField::Location, "http://b/");
        b.setText(BookmarkField::Category, "News");
        db.bookmarks().use();
        db.bookmarks().insert(b);
        db.bookmarks().close();
        db.keywords().use();
        Record k{keywordTable()};
        k.setText(KeywordField::Location, "http://b/");
        k.setText(KeywordField::Keyword, "bees");
        db.keywords().insert(k);
        db.keywords().close();

        NewBookmarkWizard wizard(f.services, none);
        wizard.show();
        QVERIFY(QTest::qWaitForWindowActive(&wizard));
        wizard.locationEdit()->setFocus();
        QTest::keyClicks(wizard.locationEdit(), "http://b/");
        QTest::keyClick(wizard.locationEdit(), Qt::Key_Tab);
        wizard.locationEdit()->selectAll();
        QTest::keyClicks(wizard.locationEdit(), "http://c/");
        for (QPushButton* button : wizard.findChildren<QPushButton*>()) {
            if (button->text() == QStringLiteral("&Finish")) {
                QTest::mouseClick(button, Qt::LeftButton);
            }
        }
        QCOMPARE(wizard.result(), int(QDialog::Accepted));
        db.keywords().use();
        Record row{keywordTable()};
        db.keywords().file().set(0);
        std::vector<std::string> rows;
        while (db.keywords().file().next(row).ok()) {
            rows.push_back(row.text(KeywordField::Location) + "|" +
                           row.text(KeywordField::Keyword));
        }
        db.keywords().close();
        QCOMPARE(rows, (std::vector<std::string>{"http://b/|bees"}));
    }

    void keywordsFromSchemesAndDescriptions()
    {
        Fixture f;
        NewBookmarkWizard wizard(f.services, none);
        wizard.locationEdit()->setText("mailto:me@example.org");
        wizard.locationAccepted();
        QCOMPARE(wizard.keywordEdit()->text(), QStringLiteral("mailto:"));
        wizard.keywordEdit()->clear();
        wizard.descriptionEdit()->setText("The Online Weather");
        wizard.descriptionAccepted();
        QCOMPARE(wizard.keywordEdit()->text(), QStringLiteral("Weather"));
    }

    void windowTitlesGiveTheirAddress()
    {
        QCOMPARE(gui::addressInTitle("lynx http://example.org/ - terminal"),
                 std::string{"http://example.org/"});
        QCOMPARE(gui::addressInTitle("www.example.org"), std::string{"www.example.org"});
        QCOMPARE(gui::addressInTitle("Text Editor"), std::string{});
    }
};

QTEST_MAIN(NewBookmarkWizardTest)
#include "new_bookmark_wizard_test.moc"
