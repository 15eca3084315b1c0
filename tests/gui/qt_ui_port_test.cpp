#include "framework/qt_ui_port.h"

#include <QApplication>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using tessaly::Button;
using tessaly::MessageIcon;
using tessaly::MessageRequest;

class QtUiPortTest : public QObject {
    Q_OBJECT

private:
    // Answers the next message box by pressing `button`, after noting what
    // it showed.
    void answerNextBox(QMessageBox::StandardButton button)
    {
        // Polls, since a box asked for from a worker thread opens a little
        // later on the GUI thread.
        auto* poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [this, button, poll] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) {
                return;
            }
            poll->stop();
            poll->deleteLater();
            title_ = box->windowTitle();
            text_ = box->text();
            icon_ = box->icon();
            defaultButton_ = box->standardButton(box->defaultButton());
            buttons_ = box->standardButtons();
            box->button(button)->click();
        });
        poll->start(10);
    }

    QString title_;
    QString text_;
    QMessageBox::Icon icon_ = QMessageBox::NoIcon;
    QMessageBox::StandardButton defaultButton_ = QMessageBox::NoButton;
    QMessageBox::StandardButtons buttons_;

private Q_SLOTS:
    void showsTheWordsButtonsAndDefaultAndReturnsThePress()
    {
        tessaly::gui::QtUiPort ui;
        answerNextBox(QMessageBox::No);
        const Button pressed = ui.showMessage(
            {"Confirm Delete",
             "Are you sure you want to delete the highlighted "
             "record?",
             MessageIcon::Question, tessaly::ButtonYes | tessaly::ButtonNo, tessaly::ButtonYes});
        QCOMPARE(pressed, tessaly::ButtonNo);
        QCOMPARE(title_, QStringLiteral("Confirm Delete"));
        QCOMPARE(text_, QStringLiteral("Are you sure you want to delete the highlighted record?"));
        QCOMPARE(icon_, QMessageBox::Question);
        QCOMPARE(defaultButton_, QMessageBox::Yes);
        QCOMPARE(buttons_, QMessageBox::Yes | QMessageBox::No);
    }

    // A box dismissed without a press (the program ending) answers what
    // does least, never the default of a question.
    void aBoxDismissedWithoutAPressAnswersWhatDoesLeast()
    {
        tessaly::gui::QtUiPort ui;
        const auto dismissed = [&](unsigned buttons, Button defaultButton) {
            QTimer::singleShot(50, this, [] {
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                    box->reject();
                }
            });
            return ui.showMessage(
                {"Confirm Delete", "Delete?", MessageIcon::Question, buttons, defaultButton});
        };
        QCOMPARE(dismissed(tessaly::ButtonYes | tessaly::ButtonNo, tessaly::ButtonYes),
                 tessaly::ButtonNo);
        QCOMPARE(dismissed(tessaly::ButtonYes | tessaly::ButtonNo | tessaly::ButtonCancel,
                           tessaly::ButtonYes),
                 tessaly::ButtonCancel);
        QCOMPARE(dismissed(tessaly::ButtonRetry | tessaly::ButtonAbort, tessaly::ButtonRetry),
                 tessaly::ButtonAbort);
        QCOMPARE(dismissed(tessaly::ButtonOk, tessaly::ButtonOk), tessaly::ButtonOk);
    }

    // Once the program is ending, no box shows, every question gets that
    // answer at once, and every run, one begun later too, is cancelled.
    void anEndingProgramShowsNothingAndCancelsEveryRun()
    {
        tessaly::gui::QtUiPort ui;
        ui.beginProgress("Processing Records");
        QVERIFY(!ui.cancelRequested());
        ui.endAll();
        QVERIFY(ui.cancelRequested());
        ui.endProgress();
        bool shown = false;
        QTimer::singleShot(50, this, [&shown] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown = true;
                box->reject();
            }
        });
        QCOMPARE(ui.showMessage({"Query Wizard", "Select links?", MessageIcon::Question,
                                 tessaly::ButtonYes | tessaly::ButtonNo, tessaly::ButtonYes}),
                 tessaly::ButtonNo);
        QTest::qWait(100);
        QVERIFY(!shown);
        ui.beginProgress("Processing Records");
        QVERIFY(ui.cancelRequested());
        ui.endProgress();
        std::string filter;
        QVERIFY(!ui.runQuery({{}, "LINKS"}, filter));
    }

    void answersFromAWorkerThreadOnTheGuiThread()
    {
        tessaly::gui::QtUiPort ui;
        answerNextBox(QMessageBox::Ok);
        Button pressed = tessaly::ButtonNone;
        QThread* worker = QThread::create([&] {
            pressed =
                ui.showMessage({"No Records", "There are no records available to process.",
                                MessageIcon::Exclamation, tessaly::ButtonOk, tessaly::ButtonOk});
        });
        worker->start();
        QTRY_VERIFY_WITH_TIMEOUT(worker->isFinished(), 5000);
        delete worker;
        QCOMPARE(pressed, tessaly::ButtonOk);
        QCOMPARE(icon_, QMessageBox::Warning);
    }

    void progressCanBeCancelled()
    {
        tessaly::gui::QtUiPort ui;
        ui.beginProgress("Validating links");
        ui.reportProgress(40, "http://example.com/");
        QVERIFY(!ui.cancelRequested());
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* progress = qobject_cast<QProgressDialog*>(widget)) {
                QCOMPARE(progress->value(), 40);
                // The run goes on under the window on the GUI thread: the
                // menus that could start another must be out of reach.
                QCOMPARE(progress->windowModality(), Qt::ApplicationModal);
                QCOMPARE(QApplication::activeModalWidget(), progress);
                QCOMPARE(progress->labelText(), QStringLiteral("http://example.com/"));
                progress->cancel();
            }
        }
        QVERIFY(ui.cancelRequested());
        ui.endProgress();
    }
};

QTEST_MAIN(QtUiPortTest)
#include "qt_ui_port_test.moc"
