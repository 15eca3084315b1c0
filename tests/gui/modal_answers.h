#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <functional>

namespace tessaly::test {

// Answers the modal windows that open while a step runs, as a user would.
// `answer` gets each window once and says whether it dealt with it (false:
// not yet, ask again); message boxes it leaves alone are noted and closed
// with their default button. Each answer runs from an event of its own, so
// that a window it opens is answered too.
class ModalAnswers final : public QObject {
public:
    explicit ModalAnswers(std::function<bool(QWidget*)> answer = {}) : answer_(std::move(answer))
    {
        connect(&timer_, &QTimer::timeout, this, &ModalAnswers::poll);
        timer_.start(5);
    }

    QStringList messages;
    QStringList details; // the Details part of each box that has one

private:
    void poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal->property(kAnswered).toBool()) {
            return;
        }
        modal->setProperty(kAnswered, true);
        QTimer::singleShot(0, this, [this, window = QPointer<QWidget>(modal)] {
            if (window == nullptr || (answer_ && answer_(window))) {
                return;
            }
            if (auto* box = qobject_cast<QMessageBox*>(window.data())) {
                messages << box->windowTitle() + "|" + box->text();
                if (!box->detailedText().isEmpty()) {
                    details << box->detailedText();
                }
                QTest::mouseClick(box->defaultButton(), Qt::LeftButton);
                return;
            }
            window->setProperty(kAnswered, false);
        });
    }

    static constexpr const char* kAnswered = "answeredByTest";
    std::function<bool(QWidget*)> answer_;
    QTimer timer_;
};

inline QPushButton* buttonOf(QWidget* window, const QString& text)
{
    for (QPushButton* b : window->findChildren<QPushButton*>()) {
        if (b->text() == text) {
            return b;
        }
    }
    return nullptr;
}

// Clicks near the left end, where a radio button or check box that its
// layout stretched has its circle or box; the middle of a push button is
// as good.
inline void click(QAbstractButton* button)
{
    QVERIFY(button != nullptr);
    QTest::mouseClick(button, Qt::LeftButton, {},
                      QPoint(std::min(8, button->width() / 2), button->height() / 2));
}

// For ModalAnswers: presses `button` in the first message box that opens.
inline std::function<bool(QWidget*)> pressInMessageBox(QMessageBox::StandardButton button)
{
    return [button](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (box == nullptr) {
            return false;
        }
        click(box->button(button));
        return true;
    };
}

} // namespace tessaly::test
