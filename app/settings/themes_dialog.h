#pragma once

#include "core/settings.h"

#include <QDialog>

class QListWidget;

namespace tessaly::gui {

// "Themes": the look of every window, one of the widget styles this
// computer has, or the desktop's own. The choice takes effect at once and
// is kept as the setting "Theme" for the next start.
class ThemesDialog final : public QDialog {
    Q_OBJECT

public:
    ThemesDialog(Settings& settings, SettingsStore& store, QWidget* parent = nullptr);

    void accept() override;

    // The list's text for the desktop's own style (stored as a blank theme).
    static QString desktopDefault();

private:
    Settings& settings_;
    SettingsStore& store_;
    QListWidget* styles_ = nullptr;
};

// Puts the stored theme in force; a theme this computer does not have
// leaves the desktop's style.
void applyTheme(const std::string& theme);

} // namespace tessaly::gui
