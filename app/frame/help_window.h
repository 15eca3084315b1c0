#pragma once

#include <QTextBrowser>

namespace tessaly::gui {

// The program's help, HTML of our own, at its contents or its index.
class HelpWindow final : public QTextBrowser {
    Q_OBJECT

public:
    explicit HelpWindow(QWidget* parent = nullptr);

    void showContents();
    void showIndex();
};

} // namespace tessaly::gui
