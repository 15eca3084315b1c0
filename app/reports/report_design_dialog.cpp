#include "reports/report_design_dialog.h"

#include "framework/content_size.h"
#include "framework/ini_file.h"
#include "reports/report_strings.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace tessaly::gui {

namespace {

constexpr std::string_view kSection = "Internet Locations (URLs)";
constexpr std::string_view kDefaultColumns = "Location,Description,Category,Rating";

QString toQt(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string iniPath()
{
    return std::string{kReportIniName};
}

} // namespace

ReportDesignDialog::ReportDesignDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ReportDesign"));
    setWindowTitle(toQt(kDesignedReportTitle));
    auto* layout = new QVBoxLayout(this);
    auto* columnsLabel = new QLabel(tr("&Columns to print:"), this);
    layout->addWidget(columnsLabel);
    columnList_ = new QListWidget(this);
    columnsLabel->setBuddy(columnList_);
    columnList_->setObjectName(QStringLiteral("ColumnList"));
    const QStringList chosen = toQt(readIniValue(iniPath(), kSection, "Columns", kDefaultColumns))
                                   .split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const ReportColumn& column : designColumns()) {
        auto* item = new QListWidgetItem(toQt(column.header), columnList_);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        item->setCheckState(chosen.contains(item->text(), Qt::CaseInsensitive) ? Qt::Checked
                                                                               : Qt::Unchecked);
    }
    layout->addWidget(columnList_, 1);
    fitColumnList();
    auto* orderLabel = new QLabel(tr("&Order:"), this);
    layout->addWidget(orderLabel);
    orderComboBox_ = new QComboBox(this);
    orderComboBox_->setObjectName(QStringLiteral("OrderComboBox"));
    for (const ReportOrder& order : designOrders()) {
        orderComboBox_->addItem(toQt(order.name));
    }
    orderLabel->setBuddy(orderComboBox_);
    const int stored =
        orderComboBox_->findText(toQt(readIniValue(iniPath(), kSection, "Order", "Category")));
    orderComboBox_->setCurrentIndex(std::max(stored, 0));
    layout->addWidget(orderComboBox_);
    passwordLabel_ = new QLabel(tr("Passwords will be printed."), this);
    passwordLabel_->setObjectName(QStringLiteral("PasswordNote"));
    layout->addWidget(passwordLabel_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &ReportDesignDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ReportDesignDialog::reject);
    layout->addWidget(buttons);
    connect(columnList_, &QListWidget::itemChanged, this, &ReportDesignDialog::showPasswordNote);
    showPasswordNote();
}

void ReportDesignDialog::fitColumnList()
{
    // Every column to choose from in sight at once, each name whole, as far
    // as the screen allows: a scrolled list hides the choices it cuts off.
    columnList_->ensurePolished();
    const int rows = columnList_->count();
    const int frame = 2 * columnList_->frameWidth();
    const int width = columnList_->sizeHintForColumn(0) + frame +
                      columnList_->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const int height = rows * columnList_->sizeHintForRow(0) + frame;
    const QSize room = availableScreen(this).size() * 0.6;
    columnList_->setMinimumSize(QSize(width, height).boundedTo(room));
}

void ReportDesignDialog::showPasswordNote()
{
    const auto found = columnList_->findItems(QStringLiteral("Password"), Qt::MatchExactly);
    passwordLabel_->setVisible(!found.isEmpty() && found.front()->checkState() == Qt::Checked);
}

void ReportDesignDialog::accept()
{
    std::vector<std::string> columns;
    QStringList names;
    for (int i = 0; i < columnList_->count(); ++i) {
        if (columnList_->item(i)->checkState() == Qt::Checked) {
            columns.push_back(columnList_->item(i)->text().toStdString());
            names << columnList_->item(i)->text();
        }
    }
    const std::string order = orderComboBox_->currentText().toStdString();
    std::string problem;
    report_ = designedReport(columns, order, problem);
    if (!report_) {
        QMessageBox::information(this, windowTitle(), tr("Choose at least one column to print."));
        return;
    }
    std::string error;
    if (!writeIniValue(iniPath(), kSection, "Columns", names.join(QLatin1Char(',')).toStdString(),
                       &error) ||
        !writeIniValue(iniPath(), kSection, "Order", order, &error)) {
        // The report still runs; only the choice is not kept.
        QMessageBox::warning(
            this, windowTitle(),
            tr("Your choice of columns could not be kept: %1").arg(QString::fromStdString(error)));
    }
    QDialog::accept();
}

std::optional<ReportDefinition> ReportDesignDialog::report() const
{
    return result() == QDialog::Accepted ? report_ : std::nullopt;
}

} // namespace tessaly::gui
