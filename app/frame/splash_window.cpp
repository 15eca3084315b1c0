#include "frame/splash_window.h"

#include "framework/dialog_units.h"
#include "framework/icons.h"
#include "framework/version.h"

#include <QCloseEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace tessaly::gui {

SplashWindow::SplashWindow(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("Splash"));
    setAttribute(Qt::WA_DeleteOnClose);
    setMinimumSize(fromDialogUnits(this, 265, 123));
    auto* layout = new QVBoxLayout(this);
    auto* logo = new QLabel(this);
    logo->setPixmap(programIcon().pixmap(96, 96));
    logo->setAlignment(Qt::AlignCenter);
    auto* name = new QLabel(QStringLiteral("<b>Tessaly 2000</b>"), this);
    name->setAlignment(Qt::AlignCenter);
    QFont big = name->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    name->setFont(big);
    const QString version =
        QString::fromUtf8(kProductVersion.data(), static_cast<qsizetype>(kProductVersion.size()));
    auto* line = new QLabel(QStringLiteral("Version ") + version.trimmed(), this);
    line->setObjectName(QStringLiteral("VersionLine"));
    line->setAlignment(Qt::AlignCenter);
    layout->addWidget(logo);
    layout->addWidget(name);
    layout->addWidget(line);
    setStyleSheet(QStringLiteral("SplashWindow { background: white; border: 1px solid #2b6cb0; }"));
    timer_.setSingleShot(true);
    timer_.setInterval(2000);
    connect(&timer_, &QTimer::timeout, this, &QWidget::close);
    timer_.start();
}

void SplashWindow::mousePressEvent(QMouseEvent* /*event*/)
{
    close();
}

void SplashWindow::mouseDoubleClickEvent(QMouseEvent* /*event*/)
{
    close();
}

void SplashWindow::focusOutEvent(QFocusEvent* /*event*/)
{
    close();
}

void SplashWindow::closeEvent(QCloseEvent* event)
{
    if (!closing_) {
        closing_ = true;
        timer_.stop();
        Q_EMIT closed();
    }
    event->accept();
}

} // namespace tessaly::gui
