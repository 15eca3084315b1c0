#include "bookmarks/list_keyboard.h"

#include <QKeyEvent>
#include <QTableView>

namespace tessaly::gui {

namespace {

constexpr int kLocatorPauseMs = 1200;

bool isEnter(const QKeyEvent& key)
{
    return key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter;
}

} // namespace

ListKeyboard::ListKeyboard(QTableView& table, Commands commands)
    : QObject(&table), table_(table), commands_(std::move(commands))
{
    table_.installEventFilter(this);
}

bool ListKeyboard::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != &table_ || event->type() != QEvent::KeyPress) {
        return QObject::eventFilter(watched, event);
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Insert && key->modifiers() == Qt::NoModifier) {
        commands_.insert();
        return true;
    }
    if (isEnter(*key) && (key->modifiers() & Qt::ControlModifier) != 0) {
        commands_.edit();
        return true;
    }
    if (key->key() == Qt::Key_Delete && key->modifiers() == Qt::NoModifier) {
        commands_.remove();
        return true;
    }
    if (isEnter(*key) && key->modifiers() == Qt::NoModifier) {
        commands_.enter();
        return true;
    }
    if (key->key() == Qt::Key_Backspace && !typed_.isEmpty()) {
        typed_.chop(1);
        typing_.restart();
        if (!typed_.isEmpty()) {
            commands_.locate(typed_);
        }
        return true;
    }
    // Shift only makes a capital: "Bro" is one search, not "B" and "ro".
    const auto typing = key->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    if (typing == Qt::NoModifier && typed(key->text())) {
        return true;
    }
    return QObject::eventFilter(watched, event);
}

bool ListKeyboard::typed(const QString& text)
{
    if (text.isEmpty() || !text.at(0).isPrint()) {
        return false;
    }
    if (!typing_.isValid() || typing_.elapsed() > kLocatorPauseMs) {
        typed_.clear();
    }
    typed_ += text;
    typing_.restart();
    commands_.locate(typed_);
    return true;
}

} // namespace tessaly::gui
