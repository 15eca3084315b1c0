#include "framework/wizard_dialog.h"

#include "core/services.h"
#include "framework/icons.h"
#include "framework/text_help_window.h"
#include "framework/wizard_parts.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace tessaly::gui {

WizardDialog::WizardDialog(Services& services, const Texts& texts, QWidget* parent)
    : QDialog(parent), services_(services), texts_(texts)
{
    setObjectName(QString::fromUtf8(texts_.name));
    setWindowTitle(QString::fromUtf8(texts_.title));
    setWindowIcon(programIcon());
    auto* layout = new QVBoxLayout(this);
    pages_ = new QStackedWidget(this);
    layout->addWidget(pages_, 1);

    auto* buttons = new QHBoxLayout;
    auto* help = new QPushButton(QStringLiteral("Help"), this);
    help->setAutoDefault(false);
    buttons->addWidget(help);
    buttons->addStretch(1);
    backButton_ = new QPushButton(QStringLiteral("&Back"), this);
    nextButton_ = new QPushButton(QStringLiteral("&Next"), this);
    finishButton_ = new QPushButton(QStringLiteral("&Finish"), this);
    finishButton_->setToolTip(QString::fromUtf8(texts_.finishTip));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setToolTip(QString::fromUtf8(texts_.cancelTip));
    for (QPushButton* b : {backButton_, nextButton_, finishButton_, cancel}) {
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);
    connect(help, &QPushButton::clicked, this, &WizardDialog::showHelp);
    connect(backButton_, &QPushButton::clicked, this, &WizardDialog::back);
    connect(nextButton_, &QPushButton::clicked, this, &WizardDialog::next);
    connect(finishButton_, &QPushButton::clicked, this, [this] { finish(); });
    connect(cancel, &QPushButton::clicked, this, &WizardDialog::reject);
}

void WizardDialog::setPages(std::initializer_list<QWidget*> pages)
{
    for (QWidget* page : pages) {
        pages_->addWidget(page);
    }
    showPage(0);
    restoreWizardPlace(*this, services_.positions(), texts_.name);
}

QPushButton* WizardDialog::button(const QString& text) const
{
    return buttonWithText(*this, text);
}

TextHelpWindow* WizardDialog::helpWindow() const
{
    return help_;
}

int WizardDialog::currentPage() const
{
    return pages_->currentIndex();
}

int WizardDialog::lastPage() const
{
    return pages_->count() - 1;
}

void WizardDialog::showPage(int page)
{
    pages_->setCurrentIndex(page);
    backButton_->setEnabled(neighbour(page, -1) != page);
    nextButton_->setEnabled(neighbour(page, 1) != page);
    // Enter goes on to the next page, and on the last one finishes.
    (nextButton_->isEnabled() ? nextButton_ : finishButton_)->setDefault(true);
}

int WizardDialog::neighbour(int page, int step) const
{
    const int other = page + step;
    return other < 0 || other > lastPage() ? page : other;
}

bool WizardDialog::mayLeave(int)
{
    return true;
}

void WizardDialog::back()
{
    if (!running_) {
        showPage(neighbour(currentPage(), -1));
    }
}

void WizardDialog::next()
{
    if (!running_ && mayLeave(currentPage())) {
        showPage(neighbour(currentPage(), 1));
    }
}

bool WizardDialog::acceptCategoryOn(int page, QLineEdit& entry)
{
    if (acceptCategoryEntry(services_, entry)) {
        return true;
    }
    showPage(page);
    entry.setFocus();
    return false;
}

void WizardDialog::showHelp()
{
    if (help_ == nullptr) {
        // A window of the wizard's own, so that it takes input while the
        // modal wizard is open.
        help_ = new TextHelpWindow(QString::fromUtf8(texts_.helpTitle),
                                   QString::fromUtf8(texts_.helpResource), this);
        help_->setAttribute(Qt::WA_DeleteOnClose);
        // Beside the wizard rather than wherever the desktop puts it.
        help_->move(frameGeometry().topLeft() + QPoint(40, 40));
    }
    help_->show();
    help_->raise();
    help_->activateWindow();
}

void WizardDialog::reject()
{
    if (!running_) {
        QDialog::reject();
    }
}

void WizardDialog::closeEvent(QCloseEvent* event)
{
    if (running_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void WizardDialog::done(int result)
{
    if (running_) {
        return;
    }
    if (!closed_) {
        closed_ = true;
        std::string error;
        if (!saveChoices(&error)) {
            services_.messages().ui().showMessage(
                {texts_.settingsTitle, "TESSLY.INI could not be written: " + error + ".",
                 MessageIcon::Exclamation, ButtonOk, ButtonOk});
        }
        saveWizardPlace(*this, services_.positions(), texts_.name);
    }
    if (help_ != nullptr) {
        help_->close();
    }
    QDialog::done(result);
}

} // namespace tessaly::gui
