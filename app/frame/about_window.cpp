#include "frame/about_window.h"

#include "framework/dialog_units.h"
#include "framework/icons.h"
#include "framework/picture.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace tessaly::gui {

namespace {

constexpr int kBuild = 154;
constexpr int kBuildDay = 72894; // 26 July 2000

} // namespace

AboutWindow::AboutWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("About"));
    setWindowTitle(QStringLiteral("About"));
    setWindowIcon(programIcon());
    setMinimumSize(fromDialogUnits(this, 281, 158));
    auto* layout = new QGridLayout(this);
    auto* logo = new QLabel(this);
    logo->setPixmap(programIcon().pixmap(64, 64));
    layout->addWidget(logo, 0, 0, 3, 1, Qt::AlignTop);
    auto* product = new QLabel(QStringLiteral("<b>Tessaly 2000</b> version 2.4"), this);
    product->setObjectName(QStringLiteral("ProductLine"));
    layout->addWidget(product, 0, 1, 1, 2);
    layout->addWidget(new QLabel(QStringLiteral("Build"), this), 1, 1);
    auto* build = new QLabel(QString::number(kBuild), this);
    build->setObjectName(QStringLiteral("BuildNumber"));
    layout->addWidget(build, 1, 2);
    const std::string date = format(kBuildDay, "@d17");
    auto* built = new QLabel(QString::fromStdString(date), this);
    built->setObjectName(QStringLiteral("BuildDate"));
    layout->addWidget(built, 2, 2);
    auto* close = new QPushButton(QStringLiteral("Cl&ose"), this);
    auto* help = new QPushButton(QStringLiteral("&Help"), this);
    close->setDefault(true);
    layout->addWidget(close, 3, 1);
    layout->addWidget(help, 3, 2);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(help, &QPushButton::clicked, this, &AboutWindow::helpRequested);
}

} // namespace tessaly::gui
