#pragma once

#include <QWidget>

class QPlainTextEdit;

namespace tessaly::gui {

// "Import Help": what each import type reads and how categories are given
// (import.txt, kept with the program), read-only, with "&Close".
class ImportHelpWindow final : public QWidget {
    Q_OBJECT

public:
    explicit ImportHelpWindow(QWidget* parent = nullptr);

    QPlainTextEdit* textView() const { return text_; }

private:
    QPlainTextEdit* text_ = nullptr;
};

} // namespace tessaly::gui
