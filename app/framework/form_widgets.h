#pragma once

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
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

// The location editor with its "Analy&ze" button beside it; the button
// waits, disabled, for the page analysis.
inline QHBoxLayout* locationWithAnalyze(QWidget* parent, QLineEdit* location, const QString& tip)
{
    auto* analyze = new QPushButton(QStringLiteral("Analy&ze"), parent);
    analyze->setToolTip(tip);
    analyze->setEnabled(false);
    auto* row = new QHBoxLayout;
    row->addWidget(location, 1);
    row->addWidget(analyze);
    return row;
}

} // namespace tessaly::gui
