#include "framework/qt_ui_port.h"

#include "categories/category_dialogs.h"
#include "framework/query_wizard.h"

#include <QApplication>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QThread>

namespace tessaly::gui {

namespace {

QString toQt(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QMessageBox::Icon iconOf(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case MessageIcon::Stop:
        return QMessageBox::Critical;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

struct ButtonPair {
    Button ours;
    QMessageBox::StandardButton qt;
};

constexpr ButtonPair kButtons[] = {
    {ButtonOk, QMessageBox::Ok},         {ButtonYes, QMessageBox::Yes},
    {ButtonNo, QMessageBox::No},         {ButtonCancel, QMessageBox::Cancel},
    {ButtonAbort, QMessageBox::Abort},   {ButtonRetry, QMessageBox::Retry},
    {ButtonIgnore, QMessageBox::Ignore}, {ButtonHelp, QMessageBox::Help},
};

} // namespace

QtUiPort::QtUiPort(QObject* parent) : QObject(parent)
{}

template <typename F> void QtUiPort::onGuiThread(F&& work)
{
    if (QThread::currentThread() == thread()) {
        work();
    } else {
        QMetaObject::invokeMethod(this, std::forward<F>(work), Qt::BlockingQueuedConnection);
    }
}

namespace {

// What a box dismissed without a press answers: what does least, never the
// default of a "Delete?".
Button dismissedAnswer(const MessageRequest& request)
{
    for (const Button safest : {ButtonCancel, ButtonAbort, ButtonNo, ButtonOk}) {
        if ((request.buttons & safest) != 0) {
            return safest;
        }
    }
    return request.defaultButton;
}

} // namespace

void QtUiPort::endAll()
{
    ending_ = true;
    cancelled_ = true;
}

Button QtUiPort::showMessage(const MessageRequest& request)
{
    if (ending_) {
        return dismissedAnswer(request);
    }
    Button answer = request.defaultButton;
    onGuiThread([&] {
        QMessageBox box(iconOf(request.icon), toQt(request.title), toQt(request.text),
                        QMessageBox::NoButton, dialogParent_);
        if (!request.details.empty()) {
            box.setDetailedText(toQt(request.details));
        }
        for (const ButtonPair& pair : kButtons) {
            if ((request.buttons & pair.ours) != 0) {
                QPushButton* button = box.addButton(pair.qt);
                if (pair.ours == request.defaultButton) {
                    box.setDefaultButton(button);
                }
            }
        }
        QPushButton* showFailed = nullptr;
        if ((request.buttons & ButtonShowFailed) != 0) {
            showFailed = box.addButton(tr("Show failed"), QMessageBox::ActionRole);
        }
        box.exec();
        if (showFailed != nullptr && box.clickedButton() == showFailed) {
            answer = ButtonShowFailed;
            return;
        }
        if (box.clickedButton() == nullptr) {
            answer = dismissedAnswer(request); // the program is ending
            return;
        }
        const auto pressed = box.standardButton(box.clickedButton());
        for (const ButtonPair& pair : kButtons) {
            if (pair.qt == pressed) {
                answer = pair.ours;
            }
        }
    });
    return answer;
}

std::optional<std::string> QtUiPort::pickCategory(std::string_view nearest)
{
    std::optional<std::string> chosen;
    if (database_ == nullptr || ending_) {
        return chosen;
    }
    onGuiThread([&] {
        CategoryPicker picker(*database_, std::string{nearest}, dialogParent_);
        if (picker.exec() == QDialog::Accepted) {
            chosen = picker.chosen();
        }
    });
    return chosen;
}

bool QtUiPort::runQuery(const QueryRequest& request, std::string& filter)
{
    bool finished = false;
    if (ending_) {
        return finished;
    }
    onGuiThread([&] {
        QueryWizard wizard(request.fieldList, request.tag, savedQueriesPath_, filter,
                           dialogParent_);
        if (wizard.initialisationError() != 0) {
            showMessage({"Query Wizard Error",
                         "An error has prevented the Query Wizard from initializing." +
                             std::to_string(wizard.initialisationError()),
                         MessageIcon::Exclamation, ButtonOk, ButtonOk});
            return;
        }
        if (wizard.exec() == QDialog::Accepted) {
            filter = wizard.filter();
            finished = true;
        }
    });
    return finished;
}

void QtUiPort::beginProgress(std::string_view caption)
{
    cancelled_ = ending_.load(); // a run begun while the program ends stops at once
    onGuiThread([&] {
        delete progress_;
        progress_ = new QProgressDialog(toQt(caption), tr("Cancel"), 0, 100, dialogParent_);
        progress_->setWindowTitle(toQt(caption));
        progress_->setMinimumDuration(0);
        // Wide enough for its caption and the longer status lines
        // ("Analyzing Link 1,234 of 100,000") without cutting them.
        progress_->setMinimumWidth(
            progress_->fontMetrics().horizontalAdvance(QString(48, QLatin1Char('x'))));
        // The run it shows goes on under it on this thread: no window may
        // start another one meanwhile.
        progress_->setWindowModality(Qt::ApplicationModal);
        connect(progress_, &QProgressDialog::canceled, this, [this] { cancelled_ = true; });
        progress_->show();
    });
}

void QtUiPort::reportProgress(int percent, std::string_view status)
{
    onGuiThread([&] {
        if (progress_ != nullptr) {
            progress_->setValue(percent);
            progress_->setLabelText(toQt(status));
        }
    });
}

bool QtUiPort::cancelRequested()
{
    if (QThread::currentThread() != thread()) {
        // A worker asks for every record: the GUI thread serves the window
        // by itself, and its Cancel sets the flag.
        return cancelled_;
    }
    QApplication::processEvents();
    return cancelled_ || (progress_ != nullptr && progress_->wasCanceled());
}

void QtUiPort::endProgress()
{
    onGuiThread([&] {
        delete progress_;
        progress_ = nullptr;
    });
}

} // namespace tessaly::gui
