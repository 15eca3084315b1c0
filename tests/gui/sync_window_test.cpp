// The "Synchronise" window driven through real events against a real
// Apache WebDAV folder.
#include "sync/sync_scheduler.h"
#include "sync/sync_window.h"

#include "apache_dav_server.h"
#include "started_services.h"
#include "stored_bookmark.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

#include <fstream>

using namespace tessaly;

namespace {

// A secret store that is there or not, kept in memory.
struct MemorySecrets final : SecretStore {
    bool running = true;
    std::map<std::string, std::string> kept;
    bool available() override { return running; }
    std::optional<std::string> lookup(const std::string& url, const std::string& user) override
    {
        const auto found = kept.find(url + "|" + user);
        return running && found != kept.end() ? std::optional{found->second} : std::nullopt;
    }
    bool store(const std::string& url, const std::string& user,
               const std::string& password) override
    {
        if (running) {
            kept[url + "|" + user] = password;
        }
        return running;
    }
};

void type(QLineEdit* edit, const QString& text)
{
    edit->clear();
    QTest::keyClicks(edit, text);
}

} // namespace

class SyncWindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void synchronisesAndKeepsThePasswordOnlyInTheSecretStore()
    {
        test::TempFolder served;
        test::ApacheDavServer apache{served.path()};
        if (!apache.running()) {
            QSKIP(apache.skipReason().c_str());
        }
        test::StartedServices started;
        MemorySecrets secrets;
        gui::SyncScheduler scheduler{started.services, secrets};
        gui::SyncWindow window{scheduler};
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.fileEdit()->text(), QStringLiteral("bookmarks.xbel"));

        type(window.serverEdit(), QString::fromStdString(apache.folderUrl()));
        type(window.userEdit(), QStringLiteral("sync"));
        QTest::mouseClick(window.testButton(), Qt::LeftButton);
        QCOMPARE(window.statusLabel()->text(), QStringLiteral("Type the password."));

        type(window.passwordEdit(), QStringLiteral("wrong"));
        QTest::mouseClick(window.testButton(), Qt::LeftButton);
        QCOMPARE(window.statusLabel()->text(),
                 QStringLiteral("The server refused the user name or password (401)"));
        QVERIFY(secrets.kept.empty());

        type(window.passwordEdit(), QStringLiteral("secret"));
        QTest::mouseClick(window.testButton(), Qt::LeftButton);
        QCOMPARE(window.statusLabel()->text(),
                 QStringLiteral("Connected: bookmarks.xbel is not on the server yet; the first "
                                "sync makes it"));
        QCOMPARE(secrets.kept.size(), std::size_t{1});

        QTest::mouseClick(window.syncButton(), Qt::LeftButton);
        QCOMPARE(window.statusLabel()->text(), QStringLiteral("Synchronised."));
        QVERIFY(window.accountText()->toPlainText().contains(
            QStringLiteral("File: 0 added, 0 changed, 0 deleted.")));
        QVERIFY(apache.exists("bookmarks.xbel"));

        window.intervalSpinBox()->setFocus();
        QTest::keyClick(window.intervalSpinBox(), Qt::Key_Up);
        QCOMPARE(scheduler.settings().intervalMinutes, 1);
        QVERIFY(scheduler.timer().isActive());

        // Remembered: the address and user in TESSLY.INI, the password not.
        std::ifstream ini{started.services.folderPath("TESSLY.INI")};
        const std::string kept{std::istreambuf_iterator<char>{ini}, {}};
        QVERIFY(kept.find(apache.folderUrl()) != std::string::npos);
        QVERIFY(kept.find("secret") == std::string::npos);
        gui::SyncWindow again{scheduler};
        QCOMPARE(again.serverEdit()->text(), QString::fromStdString(apache.folderUrl()));
        QCOMPARE(again.passwordEdit()->text(), QStringLiteral("secret"));
        QVERIFY(again.accountText()->toPlainText().contains(QStringLiteral("Conflicts: 0.")));
    }

    void withoutSecretStoreThePasswordIsAskedEachTime()
    {
        test::StartedServices started;
        MemorySecrets secrets;
        secrets.running = false;
        gui::SyncScheduler scheduler{started.services, secrets};
        std::string error;
        QVERIFY(scheduler.saveSettings({"http://127.0.0.1:1/dav/", "sync", "bookmarks.xbel", 0},
                                       error));
        gui::SyncWindow window{scheduler};
        QVERIFY(window.passwordEdit()->text().isEmpty());
        bool said = false;
        for (const QLabel* label : window.findChildren<QLabel*>()) {
            said = said || label->text().startsWith(QStringLiteral("No secret store is running"));
        }
        QVERIFY(said);
    }
};

QTEST_MAIN(SyncWindowTest)
#include "sync_window_test.moc"
