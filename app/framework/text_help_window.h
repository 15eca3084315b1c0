#pragma once

#include <QWidget>

class QPlainTextEdit;

namespace tessaly::gui {

// A help text kept with the program (a resource such as ":/import.txt"),
// shown read-only in a window of its own with "&Close": "Import Help",
// "Export Help".
class TextHelpWindow final : public QWidget {
    Q_OBJECT

public:
    TextHelpWindow(const QString& title, const QString& resource, QWidget* parent = nullptr);

    QPlainTextEdit* textView() const { return text_; }

private:
    QPlainTextEdit* text_ = nullptr;
};

} // namespace tessaly::gui
