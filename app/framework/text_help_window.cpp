#include "framework/text_help_window.h"

#include "framework/dialog_units.h"
#include "framework/icons.h"

#include <QFile>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTextDocument>
#include <QVBoxLayout>

namespace tessaly::gui {

TextHelpWindow::TextHelpWindow(const QString& title, const QString& resource, QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    ensureResources();
    setObjectName(QString(title).remove(QLatin1Char(' ')));
    setWindowTitle(title);
    setWindowIcon(programIcon());
    auto* layout = new QVBoxLayout(this);
    text_ = new QPlainTextEdit(this);
    text_->setReadOnly(true);
    // The text is laid out in columns with its examples indented.
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFile file(resource);
    text_->setPlainText(file.open(QIODevice::ReadOnly | QIODevice::Text)
                            ? QString::fromUtf8(file.readAll())
                            : resource.mid(2) + QStringLiteral(" could not be read."));
    layout->addWidget(text_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* close = new QPushButton(QStringLiteral("&Close"), this);
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    // Wide enough for the text's longest line (under 80 characters) beside
    // the scroll bar, a screenful high.
    const QFontMetrics metrics(text_->font());
    const int margins = layout->contentsMargins().left() + layout->contentsMargins().right();
    resize(metrics.horizontalAdvance(QString(80, QLatin1Char('x'))) + 2 * text_->frameWidth() +
               2 * static_cast<int>(text_->document()->documentMargin()) +
               style()->pixelMetric(QStyle::PM_ScrollBarExtent) + margins,
           fromDialogUnits(this, 0, 240).height());
}

} // namespace tessaly::gui
