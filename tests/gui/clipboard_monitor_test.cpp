#include "core/services.h"
#include "core/sqlite.h"
#include "core/tables.h"
#include "import/clipboard_monitor.h"
#include "import/import_old_dialog.h"

#include "started_services.h"
#include "stored_bookmark.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QtTest>

using namespace tessaly;

namespace {

void copy(const QString& text, const QString& html = {}, bool secret = false)
{
    auto* data = new QMimeData;
    data->setText(text);
    if (!html.isEmpty()) {
        data->setHtml(html);
    }
    if (secret) {
        data->setData(QStringLiteral("x-kde-passwordManagerHint"), "secret");
    }
    QApplication::clipboard()->setMimeData(data);
    QApplication::processEvents();
}

std::string location(Database& db, std::string_view address)
{
    return test::storedBookmark(db, address).position != 0 ? std::string{address} : std::string{};
}

} // namespace

class ClipboardMonitorTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theHtmlOfACopyIsReadAndSecretsAreNot()
    {
        QMimeData link;
        link.setText(QStringLiteral("The Paper"));
        link.setHtml(QStringLiteral("<a href=\"http://paper.example/\">The Paper</a>"));
        QCOMPARE(gui::capturedText(&link), link.html());
        QMimeData plain;
        plain.setText(QStringLiteral("see www.example.com"));
        QCOMPARE(gui::capturedText(&plain), plain.text());
        plain.setData(QStringLiteral("x-kde-passwordManagerHint"), "secret");
        QVERIFY(gui::capturedText(&plain).isEmpty());
        QVERIFY(gui::capturedText(nullptr).isEmpty());
    }

    void copiedAddressesBecomeBookmarksOnceEach()
    {
        test::StartedServices s;
        copy(QStringLiteral("already here: http://before.example/ x"));
        gui::ClipboardMonitor monitor{s.services};
        monitor.show();
        monitor.start();
        // The question about what was there before, answered with its default: No.
        QCOMPARE(QString::fromStdString(s.ui.last().title),
                 QStringLiteral("Clipboard Contains Data"));
        QCOMPARE(QString::fromStdString(s.ui.last().text),
                 QStringLiteral("Ignore current clipboard contents?"));
        QCOMPARE(location(s.db(), "http://before.example/"), std::string{"http://before.example/"});

        copy(QStringLiteral("The Paper"),
             QStringLiteral("<h3>Daily</h3><a href=\"http://paper.example/\">The Paper</a>"));
        QTRY_COMPARE(monitor.added(), 2);
        QCOMPARE(
            test::storedBookmark(s.db(), "http://paper.example/").text(BookmarkField::Category),
            std::string{"Daily"});
        QCOMPARE(monitor.findChild<QLabel*>(QStringLiteral("status"))->text(),
                 QStringLiteral("Added 2:  http://paper.example/"));

        copy(QStringLiteral("HTTP://PAPER.EXAMPLE/ again"));
        copy(QStringLiteral("password http://secret.example/ x"), {}, true);
        QTest::qWait(600);
        QCOMPARE(monitor.added(), 2);
        QVERIFY(location(s.db(), "http://secret.example/").empty());

        QTest::mouseClick(monitor.findChild<QPushButton*>(QStringLiteral("exit")), Qt::LeftButton);
        QVERIFY(!monitor.isVisible());
        copy(QStringLiteral("after http://after.example/ x"));
        QTest::qWait(400);
        QVERIFY(location(s.db(), "http://after.example/").empty());
    }

    void theOldDatabaseIsTakenOnlyByItsName()
    {
        test::StartedServices s;
        const std::string old = s.folder.path() + "/old_url_l.tps";
        {
            sql::Connection db;
            QVERIFY(db.open(old, true, false).ok());
            QVERIFY(db.execute("CREATE TABLE ImportTESSLY(Location TEXT, Description TEXT, "
                               "Category TEXT, Rating INTEGER, Keyword TEXT, SiteInfo TEXT);"
                               "INSERT INTO ImportTESSLY VALUES('http://old.example/', 'Old', "
                               "'Archive', 3, 'Kw', '')")
                        .ok());
        }
        gui::ImportOldDialog dialog{s.services};
        dialog.show();
        QCOMPARE(dialog.fileEntry()->text(), QStringLiteral("URL_L.TPS"));
        QPushButton* ok = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        dialog.fileEntry()->setText(QStringLiteral("/somewhere/URL_X.TPS"));
        QTest::mouseClick(ok, Qt::LeftButton);
        QCOMPARE(QString::fromStdString(s.ui.last().title), QStringLiteral("Cannot Import"));
        QCOMPARE(QString::fromStdString(s.ui.last().text),
                 QStringLiteral("You can only import from databases created by Tessaly version "
                                "1.5 and above."));
        QVERIFY(dialog.isVisible());

        dialog.fileEntry()->setText(QString::fromStdString(old));
        QTest::mouseClick(ok, Qt::LeftButton);
        QVERIFY(dialog.isVisible()); // the dialog stays for another run
        const Record stored = test::storedBookmark(s.db(), "http://old.example/");
        QCOMPARE(stored.text(BookmarkField::Category), std::string{"Archive"});
        QCOMPARE(stored.number(BookmarkField::Rating), std::int64_t{3});
    }
};

QTEST_MAIN(ClipboardMonitorTest)
#include "clipboard_monitor_test.moc"
