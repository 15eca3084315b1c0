#include "core/services.h"
#include "display_check.h"
#include "frame/exit_signals.h"
#include "frame/main_frame.h"
#include "frame/program_arguments.h"
#include "frame/single_instance.h"
#include "framework/icons.h"
#include "framework/lock_wait_cursor.h"
#include "framework/qt_ui_port.h"
#include "framework/version.h"
#include "platform/data_folder.h"

#include <QApplication>
#include <QDir>
#include <QTimer>

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    // Help and version need no display; Qt's own options are not known yet,
    // so only those two are looked at before Qt has taken its options out.
    if (const auto early = tessaly::gui::parseProgramArguments({argv + 1, argv + argc});
        early.help || early.version) {
        const std::string text = early.help ? tessaly::gui::programHelp()
                                            : std::string{tessaly::kProductName} + ' ' +
                                                  std::string{tessaly::kProductVersion} + '\n';
        std::fputs(text.c_str(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (const std::string message = tessaly::gui::missingDisplayMessage(); !message.empty()) {
        std::fprintf(stderr, "%s\n", message.c_str());
        return 2;
    }
    QApplication application(argc, argv);
    // The window class and the Wayland application id are the desktop
    // entry's name: the desktop then shows the entry's icon on the task bar
    // and counts the windows as the menu entry's.
    QApplication::setApplicationName(QStringLiteral(TESSALY_DESKTOP_ID));
    QApplication::setDesktopFileName(QStringLiteral(TESSALY_DESKTOP_ID));
    QApplication::setApplicationVersion(QString::fromUtf8(tessaly::kProductVersion));
    QApplication::setWindowIcon(tessaly::gui::programIcon());
    // The frame hides into the tray; closing it, not hiding it, ends the run.
    QApplication::setQuitOnLastWindowClosed(true);

    // Read once Qt has taken its options out, and before the data folder
    // is made or entered: a mistyped option must leave no folder behind.
    const tessaly::gui::ProgramArguments given =
        tessaly::gui::parseProgramArguments({argv + 1, argv + argc});
    if (!given.error.empty()) {
        std::fprintf(stderr, "tessaly: %s\n", given.error.c_str());
        return 2;
    }
    const auto folder = tessaly::enterDataFolder(
        given.dataFolder.empty() ? tessaly::chooseDataFolder({}) : given.dataFolder);
    if (!folder.error.empty()) {
        std::fprintf(stderr, "tessaly: %s\n", folder.error.c_str());
        return 1;
    }
    QStringList addresses;
    for (const std::string& address : given.addresses) {
        addresses << QString::fromLocal8Bit(address);
    }
    // The data folder is the working folder now, also when it was given relative.
    tessaly::gui::SingleInstance instance{
        tessaly::gui::SingleInstance::socketPathFor(QDir::currentPath())};
    switch (instance.start(addresses)) {
    case tessaly::gui::SingleInstance::Start::HandedOver:
        return 0;
    case tessaly::gui::SingleInstance::Start::NoAnswer:
        std::fprintf(stderr, "tessaly: the program running on %s did not answer\n",
                     folder.path.c_str());
        return 1;
    case tessaly::gui::SingleInstance::Start::First:
        break;
    }

    // Start-up services first: a database that cannot be opened is reported
    // and ends the program before any window shows.
    tessaly::gui::showBusyCursorWhileLocked();
    tessaly::gui::QtUiPort ui;
    tessaly::Services services{ui};
    services.start();
    ui.setDatabase(&services.database());

    int code = 0;
    {
        // The frame and its windows go before the services they use.
        tessaly::gui::MainFrame frame{services};
        ui.setDialogParent(&frame);
        // A logout or a kill asks the program to end: it ends as File > Exit.
        const tessaly::gui::ExitSignals exitSignals{[&frame, &ui] {
            ui.endAll();
            frame.endOnRequest();
        }};
        if (frame.initialise()) {
            frame.show();
            instance.setReceiver(
                [&frame](const QStringList& handed) { frame.openAddresses(handed); });
            if (!addresses.isEmpty()) {
                QTimer::singleShot(0, &frame,
                                   [&frame, addresses] { frame.openAddresses(addresses); });
            }
            code = QApplication::exec();
        }
        instance.setReceiver({});
        // Otherwise a refused or cancelled password: no splash, no list.
        ui.setDialogParent(nullptr);
    }
    ui.setDatabase(nullptr);
    services.shutdown();
    return code;
}
