#pragma once

#include "import/browser_profiles.h"
#include "import/import_request.h"

#include "framework/wizard_dialog.h"

#include <functional>
#include <vector>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;

namespace tessaly {
class Services;
}

namespace tessaly::gui {

// The "Import Wizard" ("Wizard:Import"): what to import, how the imported
// bookmarks get their category, and from which file or web address, on
// three pages. The choices come from TESSLY.INI, section "Import", when it
// opens and go back there when it closes. "Finish" runs the import off the
// GUI thread and then asks the open lists to refresh.
class ImportWizard final : public WizardDialog {
    Q_OBJECT

public:
    static constexpr const char* kName = "Wizard:Import";
    enum Page { TypePage, CategoryPage, FilePage };

    // `startNewBookmarkWizard` runs the new-bookmark wizard for the type
    // "URL" (the frame's, which knows where to look for browser addresses).
    ImportWizard(Services& services, std::function<void()> startNewBookmarkWizard,
                 QWidget* parent = nullptr);
    ~ImportWizard() override;

    QRadioButton* typeButton(ImportType type) const;
    QRadioButton* assignmentButton(CategoryAssignment assignment) const;
    QLineEdit* categoryEdit() const { return categoryEdit_; }
    QPushButton* categoryButton() const { return categoryButton_; }
    QWidget* fileGroup() const { return fileGroup_; }
    QWidget* webGroup() const { return webGroup_; }
    QLineEdit* fileEdit() const { return fileEdit_; }
    QLineEdit* webEdit() const { return webEdit_; }
    QCheckBox* followLinksCheckBox() const { return followLinks_; }
    QComboBox* profileBox() const { return profileBox_; }
    QPushButton* browseButton() const { return browseButton_; }

    // The choices as they stand in the window.
    ImportSettings choices() const;

    void finish() override;

private:
    bool mayLeave(int page) override;
    bool saveChoices(std::string* error) override;
    QWidget* buildTypePage();
    QWidget* buildCategoryPage();
    QWidget* buildFilePage();
    void showChoices(const ImportSettings& settings);
    void applyTypeRule();
    void applyAssignmentRule();
    void fillProfiles(ImportType type);
    bool categoryAccepted();
    void browse();
    void takePath(const QString& path);
    void runImport();

    std::function<void()> startNewBookmarkWizard_;
    std::vector<BrowserProfile> profiles_;
    QString filter_; // the browse filter of the chosen type, "Name|pattern|..."

    QButtonGroup* types_ = nullptr;
    QButtonGroup* assignments_ = nullptr;
    QLineEdit* categoryEdit_ = nullptr;
    QPushButton* categoryButton_ = nullptr;
    QWidget* fileGroup_ = nullptr;
    QWidget* profileRow_ = nullptr;
    QComboBox* profileBox_ = nullptr;
    QLineEdit* fileEdit_ = nullptr;
    QPushButton* browseButton_ = nullptr;
    QLabel* favoritesNote_ = nullptr;
    QWidget* webGroup_ = nullptr;
    QLineEdit* webEdit_ = nullptr;
    QCheckBox* followLinks_ = nullptr;
};

} // namespace tessaly::gui
