#include "frame/main_frame.h"

#include "framework/version.h"

#include <QMdiArea>

namespace tessaly::gui {

MainFrame::MainFrame(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Main"));
    setWindowTitle(
        QString::fromUtf8(kProductName.data(), static_cast<qsizetype>(kProductName.size())));
    auto* mdiArea = new QMdiArea(this);
    setCentralWidget(mdiArea);
    resize(800, 560);
}

} // namespace tessaly::gui
