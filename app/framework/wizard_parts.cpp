#include "framework/wizard_parts.h"

#include "core/services.h"
#include "framework/form_widgets.h"
#include "framework/picture.h"
#include "framework/text.h"

#include <QDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace tessaly::gui {

QLabel* pageHeading(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

QStringList nameFilters(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString pattern =
            parts[i + 1] == QStringLiteral("*.*") ? QStringLiteral("*") : parts[i + 1];
        out << parts[i] + QStringLiteral(" (") + pattern + QLatin1Char(')');
    }
    return out;
}

QPushButton* buttonWithText(const QWidget& window, const QString& text)
{
    for (QPushButton* b : window.findChildren<QPushButton*>()) {
        if (b->text() == text) {
            return b;
        }
    }
    return nullptr;
}

bool acceptCategoryEntry(Services& services, QLineEdit& entry)
{
    const std::string typed{text::trim(entry.text().toStdString())};
    if (typed.empty() || services.database().categoryExists(typed)) {
        return true;
    }
    // Every bookmark of the run would get (or be sought under) a category
    // that is not stored: the user picks one, or makes it in the picker.
    if (const auto chosen = services.messages().ui().pickCategory(typed)) {
        entry.setText(q(*chosen));
        return true;
    }
    return false;
}

void pickCategoryInto(Services& services, QLineEdit& entry)
{
    const std::string typed{text::trim(entry.text().toStdString())};
    if (const auto chosen = services.messages().ui().pickCategory(typed)) {
        entry.setText(q(*chosen));
    }
}

bool pathFitsEntry(Services& services, const QString& path, const char* purpose)
{
    constexpr qsizetype kPathWidth = 255;
    if (path.size() <= kPathWidth) {
        return true;
    }
    services.messages().ui().showMessage(
        {"Path Too Long",
         "The path of this file is longer than 255 characters and cannot be " +
             std::string{purpose} + " from here: " + path.toStdString(),
         MessageIcon::Exclamation, ButtonOk, ButtonOk});
    return false;
}

void restoreWizardPlace(QDialog& wizard, PositionStore& positions, const char* name)
{
    const auto number = [&](const char* key) {
        return parseNumber(positions.value(name, key));
    };
    const auto width = number("Width");
    const auto height = number("Height");
    if (width && height) {
        wizard.resize(QSize(static_cast<int>(*width), static_cast<int>(*height))
                          .expandedTo(wizard.minimumSizeHint()));
    }
    const auto x = number("X");
    const auto y = number("Y");
    if (x && y) {
        const QPoint wanted(static_cast<int>(*x), static_cast<int>(*y));
        if (QGuiApplication::screenAt(wanted + QPoint(20, 20)) != nullptr) {
            wizard.move(wanted);
        }
    }
}

void saveWizardPlace(const QDialog& wizard, PositionStore& positions, const char* name)
{
    const QPoint corner = wizard.frameGeometry().topLeft();
    positions.setValue(name, "X", std::to_string(corner.x()));
    positions.setValue(name, "Y", std::to_string(corner.y()));
    positions.setValue(name, "Width", std::to_string(wizard.width()));
    positions.setValue(name, "Height", std::to_string(wizard.height()));
}

} // namespace tessaly::gui
