#include "settings/themes_dialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QStyle>
#include <QStyleFactory>
#include <QVBoxLayout>

namespace tessaly::gui {

namespace {

// The style the program started with, before any theme replaced it: what
// "desktop default" goes back to without a restart.
QString startingStyle()
{
    static const QString name = QApplication::style()->name();
    return name;
}

} // namespace

QString ThemesDialog::desktopDefault()
{
    return QStringLiteral("Desktop default");
}

void applyTheme(const std::string& theme)
{
    startingStyle();
    const QString wanted = QString::fromStdString(theme).trimmed();
    if (wanted.isEmpty() && QApplication::style()->name() == startingStyle()) {
        return; // the desktop's own style is in force: nothing to rebuild at start
    }
    const QString name = wanted.isEmpty() ? startingStyle() : wanted;
    if (QStyleFactory::keys().contains(name, Qt::CaseInsensitive)) {
        QApplication::setStyle(name);
    }
}

ThemesDialog::ThemesDialog(Settings& settings, SettingsStore& store, QWidget* parent)
    : QDialog(parent), settings_(settings), store_(store)
{
    setObjectName(QStringLiteral("Themes"));
    setWindowTitle(QStringLiteral("Themes"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Select an active theme:"), this));
    styles_ = new QListWidget(this);
    styles_->addItem(desktopDefault());
    styles_->addItems(QStyleFactory::keys());
    const QString current = QString::fromStdString(settings_.theme).trimmed();
    const auto found = current.isEmpty() ? QList<QListWidgetItem*>{styles_->item(0)}
                                         : styles_->findItems(current, Qt::MatchFixedString);
    styles_->setCurrentItem(found.isEmpty() ? styles_->item(0) : found.front());
    connect(styles_, &QListWidget::itemDoubleClicked, this, &ThemesDialog::accept);
    layout->addWidget(styles_);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &ThemesDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void ThemesDialog::accept()
{
    const QListWidgetItem* chosen = styles_->currentItem();
    const std::string theme =
        chosen == nullptr || chosen->text() == desktopDefault() ? "" : chosen->text().toStdString();
    if (!store_.put("Theme", theme)) {
        return; // the store said why; the window stays for another try
    }
    settings_.theme = theme;
    applyTheme(theme);
    QDialog::accept();
}

} // namespace tessaly::gui
