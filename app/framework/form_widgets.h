#pragma once

#include <QLabel>
#include <QString>
#include <QWidget>

#include <string>

namespace tessaly::gui {

// A prompt whose "&" mnemonic works for a row made of several widgets.
inline QLabel* prompt(const QString& text, QWidget* buddy)
{
    auto* label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
}

// The records keep UTF-8 text; the widgets take QString.
inline QString q(const std::string& s)
{
    return QString::fromStdString(s);
}

} // namespace tessaly::gui
