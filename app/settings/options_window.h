#pragma once

#include "core/settings.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

namespace tessaly::gui {

// "Options" (procedure Setup): edits the settings; "&OK" stores them in one
// group (the window stays open with the values typed when that fails),
// "Cancel" brings the stored values back. The password is never shown: an
// empty entry keeps the stored one, a typed one replaces it, and "Remove the
// password" clears it.
class OptionsWindow final : public QDialog {
    Q_OBJECT

public:
    OptionsWindow(Settings& settings, SettingsStore& store, QWidget* parent = nullptr);

    // Chooses the folder for "..." (the folder dialog unless replaced, for
    // tests); an empty answer keeps the current folder.
    void setFolderChooser(std::function<QString(const QString& start)> chooser)
    {
        chooseFolder_ = std::move(chooser);
    }

    void accept() override;
    void reject() override;

private:
    void browseFolder();

    Settings& settings_;
    SettingsStore& store_;
    QCheckBox* noTrayCheckBox_ = nullptr;
    QComboBox* doubleClickComboBox_ = nullptr;
    bool doubleClickChosen_ = false; // the user picked an entry of the list
    QComboBox* startupComboBox_ = nullptr;
    QCheckBox* secureCheckBox_ = nullptr;
    QLineEdit* passwordLineEdit_ = nullptr;
    QCheckBox* clearPasswordCheckBox_ = nullptr;
    QLineEdit* favoritesLineEdit_ = nullptr;
    QSpinBox* linkJobsSpinBox_ = nullptr;
    QSpinBox* linksPerHostSpinBox_ = nullptr;
    QSpinBox* downloadMostMBSpinBox_ = nullptr;
    QSpinBox* downloadMostMinutesSpinBox_ = nullptr;
    std::function<QString(const QString&)> chooseFolder_;
};

} // namespace tessaly::gui
