#include "core/bookmark_schema.h"
#include "framework/query_wizard.h"

#include "temp_folder.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

using namespace tessaly;

class QueryWizardTest : public QObject {
    Q_OBJECT

private:
    QString lastWarning_;

    void answerNextWarning()
    {
        auto* poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [this, poll] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) {
                return;
            }
            poll->stop();
            poll->deleteLater();
            lastWarning_ = box->windowTitle() + ": " + box->text();
            box->accept();
        });
        poll->start(10);
    }

private Q_SLOTS:
    void conditionsBecomeAFilter()
    {
        test::TempFolder folder;
        gui::QueryWizard wizard(bookmarkQueryFieldList(), "URL", folder.file("QUERIES.INI"), "");
        QCOMPARE(wizard.windowTitle(), QStringLiteral("Query Wizard"));
        QCOMPARE(wizard.initialisationError(), 0);
        QCOMPARE(wizard.presetBox()->itemText(0), QStringLiteral("All Records"));
        QCOMPARE(wizard.presetBox()->itemText(1), QStringLiteral("Custom Query..."));
        wizard.addCondition({"URL:Category", QueryOperator::Contains, "news"});
        wizard.addCondition({"URL:Rating", QueryOperator::GreaterOrEqual, "5", true});
        wizard.accept();
        QCOMPARE(wizard.result(), int(QDialog::Accepted));
        QCOMPARE(wizard.filter(),
                 std::string{"INSTRING('NEWS', UPPER(URL:Category), 1, 1) > 0 OR URL:Rating >= 5"});
    }

    void typingACustomQueryChoosesIt()
    {
        test::TempFolder folder;
        gui::QueryWizard wizard(bookmarkQueryFieldList(), "URL", folder.file("QUERIES.INI"), "");
        wizard.show();
        QVERIFY(QTest::qWaitForWindowExposed(&wizard));
        QCOMPARE(wizard.presetBox()->currentIndex(), 0); // "All Records"
        wizard.customEdit()->setFocus();
        QTest::keyClicks(wizard.customEdit(), "URL:Rating > 3");
        QCOMPARE(wizard.presetBox()->currentText(), QStringLiteral("Custom Query..."));
        QTest::keyClick(wizard.customEdit(), Qt::Key_Return);
        QCOMPARE(wizard.result(), int(QDialog::Accepted));
        QCOMPARE(wizard.filter(), std::string{"URL:Rating > 3"});
    }

    void aMalformedCustomQueryIsRefused()
    {
        test::TempFolder folder;
        gui::QueryWizard wizard(bookmarkQueryFieldList(), "URL", folder.file("QUERIES.INI"), "");
        wizard.presetBox()->setCurrentIndex(1);
        wizard.customEdit()->setText("URL:Rating >");
        answerNextWarning();
        wizard.accept();
        QVERIFY(lastWarning_.startsWith("Invalid Query: Invalid filter:"));
        QVERIFY(wizard.result() != QDialog::Accepted);
        wizard.customEdit()->setText("URL:Rating > 3");
        wizard.accept();
        QCOMPARE(wizard.filter(), std::string{"URL:Rating > 3"});
    }

    void allRecordsIsTheEmptyFilterAndAnEmptyFieldListFailsToStart()
    {
        test::TempFolder folder;
        gui::QueryWizard wizard(bookmarkQueryFieldList(), "URL", folder.file("Q.INI"),
                                "URL:Rating > 1");
        wizard.presetBox()->setCurrentIndex(0);
        wizard.accept();
        QCOMPARE(wizard.filter(), std::string{});
        QCOMPARE(gui::QueryWizardCheck::initialise(""), 1);
        QCOMPARE(gui::QueryWizardCheck::initialise(bookmarkQueryFieldList()), 0);
    }
};

QTEST_MAIN(QueryWizardTest)
#include "query_wizard_test.moc"
