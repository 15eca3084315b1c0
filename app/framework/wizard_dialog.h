#pragma once

#include <QDialog>
#include <QPointer>

#include <string>

class QLineEdit;
class QPushButton;
class QStackedWidget;

namespace tessaly {
class Services;
}

namespace tessaly::gui {

class TextHelpWindow;

// The frame of the import and export wizards: pages shown one at a time,
// "Help", "&Back", "&Next", "&Finish" and "Cancel", a help text of their
// own, a place kept in POSITION.INI, and the choices written back to
// TESSLY.INI when the wizard closes, by "Finish" or "Cancel". While a run
// started by "Finish" goes on (`running()`), the wizard cannot be closed:
// the run's own progress window has the Cancel.
class WizardDialog : public QDialog {
    Q_OBJECT

public:
    QPushButton* button(const QString& text) const;
    TextHelpWindow* helpWindow() const;
    int currentPage() const;

    void back();
    void next();
    void reject() override;
    void done(int result) override;

protected:
    struct Texts {
        const char* name;          // the place's name in POSITION.INI, "Wizard:Import"
        const char* title;         // "Import Wizard"
        const char* helpTitle;     // "Import Help"
        const char* helpResource;  // ":/import.txt"
        const char* finishTip;     // "Proceed with the import"
        const char* cancelTip;     // "Cancel the import"
        const char* settingsTitle; // "Import Settings Not Saved"
    };

    WizardDialog(Services& services, const Texts& texts, QWidget* parent);

    // Adds the pages in order; then restores the wizard's place.
    void setPages(std::initializer_list<QWidget*> pages);
    void showPage(int page);
    bool running() const { return running_; }
    void setRunning(bool running) { running_ = running; }

    // The page `step` away from `page` ("&Back" -1, "&Next" 1), or `page`
    // when there is none. A wizard whose pages come and go says which.
    virtual int neighbour(int page, int step) const;
    // Whether "&Next" may leave `page`; false keeps the user there.
    virtual bool mayLeave(int page);
    // Writes the choices to TESSLY.INI; false with `error` when it failed.
    virtual bool saveChoices(std::string* error) = 0;
    virtual void finish() = 0;

    void closeEvent(QCloseEvent* event) override;

    // The category entry's rule (see acceptCategoryEntry); when the picker
    // is cancelled the wizard shows `page` with the entry in focus.
    bool acceptCategoryOn(int page, QLineEdit& entry);

    Services& services_;
    QPushButton* backButton_ = nullptr;
    QPushButton* nextButton_ = nullptr;
    QPushButton* finishButton_ = nullptr;

private:
    void showHelp();
    int lastPage() const;

    Texts texts_;
    QStackedWidget* pages_ = nullptr;
    bool running_ = false;
    bool closed_ = false;
    QPointer<TextHelpWindow> help_;
};

} // namespace tessaly::gui
