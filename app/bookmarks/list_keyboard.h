#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <functional>

class QTableView;

namespace tessaly::gui {

// The keys of a bookmark list: Insert = "&New", Ctrl+Enter = "&Edit",
// Delete = "&Delete", Enter does what a double-click does, and typing moves
// the highlight to the first row that begins with what was typed (a pause
// starts a new search, Backspace takes back a letter).
class ListKeyboard final : public QObject {
    Q_OBJECT

public:
    struct Commands {
        std::function<void()> insert;
        std::function<void()> edit;
        std::function<void()> remove;
        std::function<void()> enter;
        std::function<void(const QString& typed)> locate;
    };

    // Watches the keys pressed in `table`.
    ListKeyboard(QTableView& table, Commands commands);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool typed(const QString& text);

    QTableView& table_;
    Commands commands_;
    QString typed_;
    QElapsedTimer typing_;
};

} // namespace tessaly::gui
