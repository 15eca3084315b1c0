#pragma once

#include "export/export_file.h"

#include "framework/wizard_dialog.h"

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;

namespace tessaly {
class Opener;
class Services;
} // namespace tessaly

namespace tessaly::gui {

// The "Export Wizard" ("Wizard:Export"): the format, the order, which
// bookmarks, which extra fields, and the file with the page's title and
// meta texts, on five pages. The choices come from TESSLY.INI, section
// "Export", when it opens and go back there when it closes. "Finish" writes
// the export off the GUI thread and offers to open what it wrote.
class ExportWizard final : public WizardDialog {
    Q_OBJECT

public:
    static constexpr const char* kName = "Wizard:Export";
    enum Page { TypePage, OrderPage, CategoryPage, FieldsPage, FilePage };

    // `bodyInFrame`: the Frame style's category pages leave out their body
    // tags. `opener` opens the written file when the user asks; it must
    // outlive the launch, which goes on after the wizard has closed.
    ExportWizard(Services& services, Opener& opener, bool bodyInFrame, QWidget* parent = nullptr);
    ~ExportWizard() override;

    // "Use pre-formatted HTML" is kept while the program runs, never stored.
    static bool& preformattedChoice();

    QRadioButton* typeButton(const QString& type) const;
    QRadioButton* orderButton(const QString& order) const;
    QRadioButton* assignmentButton(const QString& assignment) const;
    QCheckBox* preformattedCheckBox() const { return preformatted_; }
    QLineEdit* templateEdit() const { return templateEdit_; }
    QLineEdit* categoryEdit() const { return categoryEdit_; }
    QPushButton* categoryButton() const { return categoryButton_; }
    QCheckBox* ratingCheckBox() const { return rating_; }
    QCheckBox* keywordCheckBox() const { return keyword_; }
    QCheckBox* siteInfoCheckBox() const { return siteInfo_; }
    QCheckBox* otherFieldsCheckBox() const { return otherFields_; }
    QLineEdit* fileEdit() const { return fileEdit_; }
    QLineEdit* titleEdit() const { return titleEdit_; }
    QLineEdit* metaKeywordsEdit() const { return metaKeywords_; }
    QLineEdit* metaDescriptionEdit() const { return metaDescription_; }
    // "HTML Files|*.html|..." for the chosen type, as the browse dialog uses it.
    const QString& fileFilter() const { return filter_; }
    // Whether the "Fields" page is among the pages "&Next" walks through.
    bool fieldsPageShown() const;

    // The choices as they stand in the window.
    ExportSettings choices() const;

    void finish() override;

private:
    int neighbour(int page, int step) const override;
    bool mayLeave(int page) override;
    bool saveChoices(std::string* error) override;
    QWidget* buildTypePage();
    QWidget* buildOrderPage();
    QWidget* buildCategoryPage();
    QWidget* buildFieldsPage();
    QWidget* buildFilePage();
    void showChoices(const ExportSettings& settings);
    void typeChosen();
    void applyTypeRule();
    void applyAssignmentRule();
    bool categoryAccepted();
    void browse();
    void browseTemplate();
    // Whether the export may go to `file`: true when nothing of the user's
    // is there, else the user's answer to "replace?" (No by default).
    bool mayWriteOver(const std::string& file);
    bool runExport();
    void offerToOpen(const std::string& file);

    Opener& opener_;
    bool bodyInFrame_ = false;
    std::string iniPath_;
    QString filter_;

    QButtonGroup* types_ = nullptr;
    QButtonGroup* orders_ = nullptr;
    QButtonGroup* assignments_ = nullptr;
    QCheckBox* preformatted_ = nullptr;
    QLineEdit* templateEdit_ = nullptr;
    QPushButton* templateButton_ = nullptr;
    QLineEdit* categoryEdit_ = nullptr;
    QPushButton* categoryButton_ = nullptr;
    QCheckBox* rating_ = nullptr;
    QCheckBox* keyword_ = nullptr;
    QCheckBox* siteInfo_ = nullptr;
    QCheckBox* otherFields_ = nullptr;
    QLineEdit* fileEdit_ = nullptr;
    QLineEdit* titleEdit_ = nullptr;
    QLineEdit* metaKeywords_ = nullptr;
    QLineEdit* metaDescription_ = nullptr;
};

} // namespace tessaly::gui
