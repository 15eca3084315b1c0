#include "bookmarks/browse_window.h"
#include "bookmarks/categories.h"
#include "bookmarks/new_bookmark_wizard.h"
#include "core/services.h"
#include "core/tables.h"
#include "frame/main_frame.h"
#include "frame/program_arguments.h"
#include "frame/single_instance.h"

#include "modal_answers.h"
#include "scripted_ui.h"
#include "temp_folder.h"

#include <QLineEdit>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTableView>
#include <QtTest>

#include <cstring>
#include <string_view>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace tessaly;
using gui::ProgramArguments;
using gui::SingleInstance;

namespace {

QString socketIn(const test::TempFolder& folder)
{
    return QString::fromStdString(folder.path()) + "/instance.socket";
}

// A socket file that nothing listens on any more, as a killed program
// leaves it.
void leaveDeadSocket(const QString& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = path.toLocal8Bit();
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()) + 1);
    QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
}

} // namespace

class SingleInstanceTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void argumentsOfTheProgram()
    {
        using Addresses = std::vector<std::string>;
        ProgramArguments a = gui::parseProgramArguments(
            {"--data", "/tmp/d", "https://example.org/", "--", "--odd", "-"});
        QVERIFY(a.error.empty());
        QCOMPARE(a.addresses, (Addresses{"https://example.org/", "--odd", "-"}));
        QCOMPARE(a.dataFolder, std::string{"/tmp/d"});
        // After "--" even --data is an address.
        a = gui::parseProgramArguments({"--", "--data=/y"});
        QCOMPARE(a.addresses, Addresses{"--data=/y"});
        QVERIFY(a.dataFolder.empty());

        a = gui::parseProgramArguments({"--add-new-url", "--data=/x", "a"});
        QVERIFY(a.error.empty());
        QCOMPARE(a.addresses, (Addresses{"", "a"})); // the wizard on a browser's address
        QCOMPARE(a.dataFolder, std::string{"/x"});

        // Help is found behind an option only Qt knows, which stays an error
        // once Qt has had its turn.
        a = gui::parseProgramArguments({"-platform", "offscreen", "--help"});
        QVERIFY(a.help);
        QCOMPARE(a.error, std::string{"unknown option -platform; see tessaly --help"});

        for (const auto& wrong : std::vector<std::vector<std::string>>{
                 {"--data"}, {"--data="}, {"--data", ""}, {"--data", "a", "--data", "b"}}) {
            QVERIFY(!gui::parseProgramArguments(wrong).error.empty());
        }
        QVERIFY(gui::parseProgramArguments({"--", "--help"}).error.empty());
        QVERIFY(!gui::parseProgramArguments({"--", "--help"}).help);
    }

    void aSecondStartHandsItsAddressesOver()
    {
        test::TempFolder folder;
        SingleInstance first{socketIn(folder)};
        QCOMPARE(first.start({}), SingleInstance::Start::First);
        QVERIFY(first.listening());
        std::vector<QStringList> received;

        // What comes before the frame is ready waits for it, in its order.
        const QStringList odd{"https://example.org/a b?x=1&y=%41", "Grüße\nzwei", "", "-"};
        for (const QStringList& sent : {odd, QStringList{}, QStringList{"ftp://two.example/"}}) {
            QProcess second;
            // Another process, so that this one's event loop answers it.
            second.start(QCoreApplication::applicationFilePath(),
                         QStringList{"secondStart", "--", socketIn(folder)} + sent);
            QTRY_COMPARE(second.state(), QProcess::NotRunning);
            QCOMPARE(second.exitCode(), 0);
        }
        QTest::qWait(20);
        QVERIFY(received.empty());
        first.setReceiver([&](const QStringList& addresses) { received.push_back(addresses); });
        QTRY_COMPARE(received.size(), std::size_t{3});
        QCOMPARE(received[0], odd);
        QCOMPARE(received[1], QStringList{});
        QCOMPARE(received[2], QStringList{"ftp://two.example/"});
    }

    void aSocketLeftByAKilledProgramIsTakenOver()
    {
        test::TempFolder folder;
        leaveDeadSocket(socketIn(folder));
        SingleInstance instance{socketIn(folder)};
        QCOMPARE(instance.start({"a"}), SingleInstance::Start::First);
        QVERIFY(instance.listening());
    }

    void aProgramThatDoesNotAnswerIsReported()
    {
        test::TempFolder folder;
        QLocalServer silent;
        QVERIFY(silent.listen(socketIn(folder)));
        SingleInstance second{socketIn(folder)};
        QCOMPARE(second.start({"a"}, std::chrono::milliseconds(300)),
                 SingleInstance::Start::NoAnswer);
        QVERIFY(!second.listening());
    }

    void aMalformedRequestIsDropped()
    {
        test::TempFolder folder;
        SingleInstance first{socketIn(folder)};
        QCOMPARE(first.start({}), SingleInstance::Start::First);
        int calls = 0;
        first.setReceiver([&](const QStringList&) { ++calls; });
        for (const QByteArray& wrong :
             {QByteArray("GET / HTTP/1.0\n"), QByteArray("TESSALY-OPEN -1\n"),
              QByteArray("TESSALY-OPEN 99999999\n")}) {
            QLocalSocket socket;
            socket.connectToServer(socketIn(folder));
            QVERIFY(socket.waitForConnected(1000));
            socket.write(wrong);
            socket.flush();
            QTRY_COMPARE(socket.state(), QLocalSocket::UnconnectedState);
            QCOMPARE(socket.readAll(), QByteArray{});
        }
        // One that sends half a request and stops is dropped in its turn.
        QLocalSocket stalled;
        stalled.connectToServer(socketIn(folder));
        QVERIFY(stalled.waitForConnected(1000));
        stalled.write("TESSALY-OPEN 2\nhttp%3A%2F%2Fa\n");
        stalled.flush();
        QTRY_COMPARE_WITH_TIMEOUT(stalled.state(), QLocalSocket::UnconnectedState, 10000);
        QTest::qWait(20);
        QCOMPARE(calls, 0);
    }

    void eachAddressOpensTheWizardInTurn()
    {
        test::TempFolder data;
        test::TempFolder prefix;
        test::ScriptedUi ui;
        Services services{ui, data.path(), prefix.path()};
        services.start();
        Record category{categoryTable()};
        category.setText(CategoryField::Category, "News");
        saveCategory(services.database(), Record{categoryTable()}, category);
        gui::MainFrame frame{services};
        frame.setShowSplash(false);
        bool looked = false;
        frame.setCandidateSource([&] {
            looked = true;
            return std::vector<BrowserCandidate>{};
        });
        QVERIFY(frame.initialise());
        frame.show();
        frame.openBookmarkList();
        auto* list = frame.findChild<gui::BrowseWindow*>();
        QVERIFY(list != nullptr);
        QCOMPARE(list->table()->model()->rowCount(), 0);

        QStringList shown;
        bool handedMore = false;
        test::ModalAnswers answers{[&](QWidget* window) {
            auto* wizard = qobject_cast<gui::NewBookmarkWizard*>(window);
            if (wizard == nullptr) {
                return false;
            }
            shown << wizard->locationEdit()->text();
            if (!handedMore) {
                // A second start while the first wizard is open: its address waits.
                handedMore = true;
                frame.openAddresses({"http://127.0.0.1:9/third"});
            }
            // The last one is kept.
            if (shown.size() == 3) {
                wizard->finish();
            }
            if (wizard->isVisible()) {
                wizard->reject();
            }
            return true;
        }};
        frame.openAddresses({" http://127.0.0.1:9/first ", "https://127.0.0.1:9/second"});
        QTRY_COMPARE(shown.size(), 3);
        QCOMPARE(shown, (QStringList{"http://127.0.0.1:9/first", "https://127.0.0.1:9/second",
                                     "http://127.0.0.1:9/third"}));
        // A handed address is taken as it is, without looking at the browsers.
        QVERIFY(!looked);
        // The open list shows the bookmark added.
        QTRY_COMPARE(list->table()->model()->rowCount(), 1);
        QVERIFY2(ui.shown.empty(), ui.shown.empty() ? "" : ui.shown.front().text.c_str());
    }
};

int main(int argc, char** argv)
{
    // The second start of aSecondStartHandsItsAddressesOver.
    if (argc >= 4 && std::string_view{argv[1]} == "secondStart") {
        QCoreApplication application(argc, argv);
        QStringList addresses = QCoreApplication::arguments().mid(4);
        SingleInstance second{QCoreApplication::arguments().at(3)};
        return second.start(addresses) == SingleInstance::Start::HandedOver ? 0 : 1;
    }
    QApplication application(argc, argv);
    SingleInstanceTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "single_instance_test.moc"
