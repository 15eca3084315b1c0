#include "core/services.h"
#include "display_check.h"
#include "frame/exit_signals.h"
#include "frame/main_frame.h"
#include "framework/icons.h"
#include "framework/qt_ui_port.h"
#include "platform/data_folder.h"

#include <QApplication>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (const std::string message = tessaly::gui::missingDisplayMessage(); !message.empty()) {
        std::fprintf(stderr, "%s\n", message.c_str());
        return 2;
    }
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const auto folder = tessaly::enterDataFolder(tessaly::chooseDataFolder(arguments));
    if (!folder.error.empty()) {
        std::fprintf(stderr, "tessaly: %s\n", folder.error.c_str());
        return 1;
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessaly 2000"));
    QApplication::setApplicationVersion(QStringLiteral("2.4"));
    QApplication::setWindowIcon(tessaly::gui::programIcon());
    // The frame hides into the tray; closing it, not hiding it, ends the run.
    QApplication::setQuitOnLastWindowClosed(true);

    // Start-up services first: a database that cannot be opened is reported
    // and ends the program before any window shows.
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
        const tessaly::gui::ExitSignals exitSignals{[&frame] {
            frame.close();
        }};
        if (frame.initialise()) {
            frame.show();
            code = QApplication::exec();
        }
        // Otherwise a refused or cancelled password: no splash, no list.
        ui.setDialogParent(nullptr);
    }
    ui.setDatabase(nullptr);
    services.shutdown();
    return code;
}
