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

// The location editor with its "Analy&ze" button ("Analyze") beside it;
// the window that shows it enables and connects the button.
inline QHBoxLayout* locationWithAnalyze(QWidget* parent, QLineEdit* location, const QString& tip)
{
    auto* analyze = new QPushButton(QStringLiteral("Analy&ze"), parent);
    analyze->setObjectName(QStringLiteral("Analyze"));
    analyze->setToolTip(tip);
    analyze->setEnabled(false);
    auto* row = new QHBoxLayout;
    row->addWidget(location, 1);
    row->addWidget(analyze);
    return row;
}

// A row under the window's content with one button at its right end
// ("Cancel" of the progress windows); returns the button.
inline QPushButton* addEndButton(QBoxLayout* layout, QWidget* parent, const QString& text)
{
    auto* row = new QHBoxLayout;
    auto* button = new QPushButton(text, parent);
    row->addStretch();
    row->addWidget(button);
    layout->addLayout(row);
    return button;
}

} // namespace tessaly::gui
