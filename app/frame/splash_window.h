#pragma once

#include <QTimer>
#include <QWidget>

namespace tessaly::gui {

// The window shown when the frame opens: the logo and "Version 2.4". It
// closes after two seconds, on a click, when it loses the focus, or when the
// frame asks it to; closed() then lets the frame open the start-up list.
class SplashWindow final : public QWidget {
    Q_OBJECT

public:
    explicit SplashWindow(QWidget* parent = nullptr);

Q_SIGNALS:
    void closed();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QTimer timer_;
    bool closing_ = false;
};

} // namespace tessaly::gui
