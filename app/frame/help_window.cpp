#include "frame/help_window.h"

#include "framework/icons.h"

namespace tessaly::gui {

HelpWindow::HelpWindow(QWidget* parent) : QTextBrowser(parent)
{
    ensureResources();
    setObjectName(QStringLiteral("Help"));
    setWindowTitle(QStringLiteral("Tessaly 2000 Help"));
    setWindowIcon(programIcon());
    setWindowFlag(Qt::Window);
    setOpenExternalLinks(true);
    resize(640, 520);
}

void HelpWindow::showContents()
{
    setSource(QUrl(QStringLiteral("qrc:/help/index.html#contents")));
    scrollToAnchor(QStringLiteral("contents"));
    show();
    raise();
    activateWindow();
}

void HelpWindow::showIndex()
{
    setSource(QUrl(QStringLiteral("qrc:/help/index.html#index")));
    scrollToAnchor(QStringLiteral("index"));
    show();
    raise();
    activateWindow();
}

} // namespace tessaly::gui
