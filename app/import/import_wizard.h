#pragma once

#include "import/browser_profiles.h"
#include "import/import_request.h"

#include <QDialog>
#include <QPointer>

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

class ImportHelpWindow;

// The "Import Wizard" ("Wizard:Import"): what to import, how the imported
// bookmarks get their category, and from which file or web address, on
// three pages. The choices come from TESSLY.INI, section "Import", when it
// opens and go back there when it closes. "Finish" runs the import off the
// GUI thread and then asks the open lists to refresh.
class ImportWizard final : public QDialog {
    Q_OBJECT

public:
    static constexpr const char* kName = "Wizard:Import";
    enum Page { TypePage, CategoryPage, FilePage };

    // `startNewBookmarkWizard` runs the new-bookmark wizard for the type
    // "URL" (the frame's, which knows where to look for browser addresses).
    ImportWizard(Services& services, std::function<void()> startNewBookmarkWizard,
                 QWidget* parent = nullptr);
    ~ImportWizard() override;

    int currentPage() const;
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
    QPushButton* button(const QString& text) const;
    ImportHelpWindow* helpWindow() const;

    // The choices as they stand in the window.
    ImportSettings choices() const;

    void back();
    void next();
    void finish();
    void reject() override;
    void done(int result) override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* buildTypePage();
    QWidget* buildCategoryPage();
    QWidget* buildFilePage();
    void showChoices(const ImportSettings& settings);
    void applyTypeRule();
    void applyAssignmentRule();
    void fillProfiles(ImportType type);
    void showPage(int page);
    bool categoryAccepted();
    void pickCategory();
    void browse();
    void showHelp();
    void takePath(const QString& path);
    void runImport();
    void restorePosition();
    void savePosition();

    Services& services_;
    std::function<void()> startNewBookmarkWizard_;
    std::vector<BrowserProfile> profiles_;
    QString filter_; // the browse filter of the chosen type, "Name|pattern|..."
    bool running_ = false;
    bool closed_ = false;

    QStackedWidget* pages_ = nullptr;
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
    QPushButton* backButton_ = nullptr;
    QPushButton* nextButton_ = nullptr;
    QPushButton* finishButton_ = nullptr;
    QPointer<ImportHelpWindow> help_;
};

} // namespace tessaly::gui
