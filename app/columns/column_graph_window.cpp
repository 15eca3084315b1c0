#include "columns/column_graph_window.h"

#include "framework/file_dialogs.h"
#include "framework/icons.h"
#include "framework/ui_port.h"
#include "platform/data_folder.h"

#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QImageWriter>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

namespace tessaly::gui {

namespace {

constexpr int kBarHeight = 18;
constexpr int kGap = 6;
constexpr int kMargin = 10;

QString nameOf(Grouping grouping)
{
    switch (grouping) {
    case Grouping::Month:
        return QStringLiteral("Month");
    case Grouping::Weekday:
        return QStringLiteral("Weekday");
    case Grouping::TimeOfDay:
        return QStringLiteral("Time of day");
    case Grouping::Value:
        break;
    }
    return QStringLiteral("Value");
}

QString countText(const ValueShare& share)
{
    return QStringLiteral("%1 (%2%)")
        .arg(QLocale::system().toString(share.count))
        .arg(share.percent, 0, 'f', 1);
}

} // namespace

DistributionChart::DistributionChart(QWidget* parent) : QWidget(parent)
{
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
}

void DistributionChart::setDistribution(Distribution distribution)
{
    distribution_ = std::move(distribution);
    // As tall as its bars: the window's scroll area scrolls to the last.
    setMinimumHeight(sizeHint().height());
    updateGeometry();
    adjustSize();
    update();
}

QSize DistributionChart::sizeHint() const
{
    const int rows = std::max<int>(1, static_cast<int>(distribution_.shares.size()));
    return {520, 2 * kMargin + rows * (kBarHeight + kGap)};
}

void DistributionChart::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QFontMetrics metrics = painter.fontMetrics();
    if (distribution_.shares.empty()) {
        painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("The list has no rows."));
        return;
    }
    int labelWidth = 0;
    int countWidth = 0;
    qint64 largest = 1;
    for (const ValueShare& share : distribution_.shares) {
        labelWidth = std::max(labelWidth, metrics.horizontalAdvance(share.label));
        countWidth = std::max(countWidth, metrics.horizontalAdvance(countText(share)));
        largest = std::max(largest, share.count);
    }
    // Long labels (addresses) give way to the bars. A pixel or two to
    // spare: eliding measures a little differently from advancing.
    labelWidth = std::min(labelWidth + 4, width() / 3);
    const int barLeft = kMargin + labelWidth + kGap;
    const int barSpace = std::max(20, width() - barLeft - countWidth - 2 * kGap - kMargin);
    const QColor bar = palette().color(QPalette::Highlight);
    int y = kMargin;
    for (const ValueShare& share : distribution_.shares) {
        const QRect labelRect(kMargin, y, labelWidth, kBarHeight);
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(labelRect, Qt::AlignRight | Qt::AlignVCenter,
                         metrics.elidedText(share.label, Qt::ElideMiddle, labelWidth));
        const int length =
            std::max(1, static_cast<int>(double(barSpace) * double(share.count) / double(largest)));
        painter.fillRect(QRect(barLeft, y + 2, length, kBarHeight - 4), bar);
        painter.drawText(QRect(barLeft + length + kGap, y, countWidth + kGap, kBarHeight),
                         Qt::AlignLeft | Qt::AlignVCenter, countText(share));
        y += kBarHeight + kGap;
    }
}

ColumnGraphWindow::ColumnGraphWindow(const QString& heading, std::vector<QVariant> values,
                                     UiPort& ui, QWidget* parent)
    : QDialog(parent), values_(std::move(values)), ui_(ui)
{
    setObjectName(QStringLiteral("ColumnGraph"));
    setWindowTitle(QStringLiteral("Graph of ") + heading);
    setWindowIcon(programIcon());
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    grouping_ = new QComboBox(this);
    grouping_->setObjectName(QStringLiteral("Grouping"));
    for (const Grouping grouping : groupingsFor(kindOf(values_))) {
        grouping_->addItem(nameOf(grouping), static_cast<int>(grouping));
    }
    auto* prompt = new QLabel(QStringLiteral("&Group by:"), this);
    prompt->setBuddy(grouping_);
    top->addWidget(prompt);
    top->addWidget(grouping_);
    top->addStretch(1);
    summary_ = new QLabel(this);
    top->addWidget(summary_);
    layout->addLayout(top);

    chart_ = new DistributionChart(this);
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(chart_);
    scroll->setWidgetResizable(true);
    layout->addWidget(scroll, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* save = new QPushButton(QStringLiteral("&Save as PNG..."), this);
    save->setAutoDefault(false);
    auto* close = new QPushButton(QStringLiteral("&Close"), this);
    close->setDefault(true);
    buttons->addWidget(save);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    connect(grouping_, &QComboBox::currentIndexChanged, this, &ColumnGraphWindow::regroup);
    connect(save, &QPushButton::clicked, this, &ColumnGraphWindow::askAndSave);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    regroup();
    resize(640, std::min(560, chart_->sizeHint().height() + 120));
}

void ColumnGraphWindow::regroup()
{
    const auto grouping = static_cast<Grouping>(grouping_->currentData().toInt());
    chart_->setDistribution(distribute(values_, grouping));
    summary_->setText(QStringLiteral("%1 rows").arg(
        QLocale::system().toString(static_cast<qlonglong>(chart_->distribution().total))));
}

bool ColumnGraphWindow::savePng(const QString& path)
{
    // The whole chart, not only the part the window shows.
    const QPixmap picture =
        chart_->grab(QRect(QPoint(0, 0), chart_->sizeHint().expandedTo(QSize(chart_->width(), 0))));
    // Written beside the file and renamed over it only when whole.
    QSaveFile file(path);
    QString error;
    if (const SystemResult target = userFileTarget(path.toStdString()); !target.ok()) {
        error = QString::fromStdString(target.text);
    } else if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
    } else if (QImageWriter writer(&file, "png"); !writer.write(picture.toImage())) {
        error = writer.errorString();
        file.cancelWriting();
    } else if (!file.commit()) {
        error = file.errorString();
    }
    if (error.isEmpty()) {
        return true;
    }
    ui_.showMessage(
        {"Graph Not Saved",
         "The graph could not be saved in " + path.toStdString() + ": " + error.toStdString() + ".",
         MessageIcon::Exclamation, ButtonOk, ButtonOk});
    return false;
}

void ColumnGraphWindow::askAndSave()
{
    QFileDialog dialog(this, QStringLiteral("Save Graph"), dialogFolder(QStringLiteral("picture")),
                       QStringLiteral("PNG pictures (*.png)"));
    dialog.selectFile(windowTitle() + QStringLiteral(".png"));
    if (const QString path = chosenSaveFile(dialog); !path.isEmpty()) {
        rememberDialogFolder(QStringLiteral("picture"), path);
        savePng(path);
    }
}

} // namespace tessaly::gui
