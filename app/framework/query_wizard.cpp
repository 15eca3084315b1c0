#include "framework/query_wizard.h"

#include "framework/content_size.h"
#include "framework/dialog_units.h"
#include "framework/expression.h"
#include "framework/icons.h"
#include "framework/text.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tessaly::gui {

namespace {

constexpr int kFieldColumn = 0;
constexpr int kOperatorColumn = 1;
constexpr int kValueColumn = 2;
constexpr int kJoinColumn = 3;
// The value column's least width: a few words of a typical value.
constexpr int kValueDialogUnits = 120;
constexpr int kCustomPreset = 1; // "Custom Query..."

QString toQt(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Resolves the labels of the offered fields, so a query is checked against
// exactly what the caller can filter on.
class FieldListResolver final : public FieldResolver {
public:
    explicit FieldListResolver(const std::vector<QueryField>& fields) : fields_(fields) {}
    std::optional<FieldRef> resolve(std::string_view label) const override
    {
        for (std::size_t i = 0; i < fields_.size(); ++i) {
            if (text::equalNoCase(fields_[i].label, label)) {
                return FieldRef{static_cast<int>(i), fields_[i].type == FieldType::Text};
            }
        }
        return std::nullopt;
    }

private:
    const std::vector<QueryField>& fields_;
};

} // namespace

int QueryWizardCheck::initialise(const std::string& fieldList)
{
    return parseQueryFieldList(fieldList).empty() ? 1 : 0;
}

QueryWizard::QueryWizard(const std::string& fieldList, const std::string& tag,
                         const std::string& savedQueriesPath, const std::string& filter,
                         QWidget* parent)
    : QDialog(parent), fields_(parseQueryFieldList(fieldList)), tag_(tag), saved_(savedQueriesPath),
      filter_(filter)
{
    setObjectName(QStringLiteral("QueryWizard"));
    setWindowTitle(QStringLiteral("Query Wizard"));
    setWindowIcon(programIcon());
    if (fields_.empty()) {
        initError_ = 1; // nothing to query on
    }
    auto* layout = new QVBoxLayout(this);
    presetBox_ = new QComboBox(this);
    presetBox_->addItem(toQt(queryEditorText(302)));
    presetBox_->addItem(toQt(queryEditorText(303)));
    for (const std::string& name : saved_.names(tag_)) {
        presetBox_->addItem(QString::fromStdString(name));
    }
    auto* presetRow = new QFormLayout;
    presetRow->addRow(QStringLiteral("Query:"), presetBox_);
    layout->addLayout(presetRow);

    conditionsTable_ = new QTableWidget(0, 4, this);
    conditionsTable_->setHorizontalHeaderLabels({QStringLiteral("Field"),
                                                 QStringLiteral("Condition"),
                                                 QStringLiteral("Value"), QStringLiteral("Join")});
    conditionsTable_->verticalHeader()->hide();
    const int tableWidth = fitConditionColumns();
    layout->addWidget(conditionsTable_, 1);
    auto* rowButtons = new QHBoxLayout;
    auto* add = new QPushButton(QStringLiteral("&Add Condition"), this);
    auto* remove = new QPushButton(QStringLiteral("Re&move Condition"), this);
    rowButtons->addWidget(add);
    rowButtons->addWidget(remove);
    rowButtons->addStretch();
    layout->addLayout(rowButtons);
    connect(add, &QPushButton::clicked, this, [this] { addCondition({}); });
    connect(remove, &QPushButton::clicked, this, [this] {
        conditionsTable_->removeRow(conditionsTable_->currentRow() >= 0
                                        ? conditionsTable_->currentRow()
                                        : conditionsTable_->rowCount() - 1);
    });

    customEdit_ = new QLineEdit(QString::fromStdString(filter), this);
    customEdit_->setPlaceholderText(
        QStringLiteral("URL:Rating >= 5 AND UPPER(URL:Category) = 'NEWS'"));
    auto* customRow = new QFormLayout;
    customRow->addRow(QStringLiteral("Custom query:"), customEdit_);
    nameEdit_ = new QLineEdit(this);
    auto* saveButton = new QPushButton(QStringLiteral("&Save Query"), this);
    auto* saveRow = new QHBoxLayout;
    saveRow->addWidget(nameEdit_, 1);
    saveRow->addWidget(saveButton);
    customRow->addRow(QStringLiteral("Save as:"), saveRow);
    layout->addLayout(customRow);
    connect(saveButton, &QPushButton::clicked, this, &QueryWizard::saveQuery);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    connect(presetBox_, &QComboBox::currentIndexChanged, this, &QueryWizard::presetChosen);
    // Typing a query is choosing the custom query: no switch to find first.
    connect(customEdit_, &QLineEdit::textEdited, this, [this] {
        if (presetBox_->currentIndex() != kCustomPreset) {
            const QSignalBlocker quiet(presetBox_);
            presetBox_->setCurrentIndex(kCustomPreset);
        }
    });
    presetBox_->setCurrentIndex(filter.empty() ? 0 : kCustomPreset);
    const QMargins margins = layout->contentsMargins();
    resize(withinScreen(this, QSize(std::max(640, tableWidth + margins.left() + margins.right()),
                                    fromDialogUnits(this, 0, 240).height())));
}

int QueryWizard::fitConditionColumns()
{
    // The field, condition and join boxes show their longest choice whole;
    // the value takes the rest, at least room for a few words.
    QStringList fieldNames;
    for (const QueryField& f : fields_) {
        fieldNames << QString::fromStdString(f.description);
    }
    QStringList operators;
    for (int number = 1; number <= 12; ++number) {
        operators << toQt(queryEditorText(number));
    }
    QHeaderView* header = conditionsTable_->horizontalHeader();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(kValueColumn, QHeaderView::Stretch);
    const auto fit = [&](int column, const QStringList& items) {
        const int width = std::max(comboWidth(this, items), header->sectionSizeHint(column));
        header->resizeSection(column, width);
        return width;
    };
    const int fixed = fit(kFieldColumn, fieldNames) + fit(kOperatorColumn, operators) +
                      fit(kJoinColumn, {QStringLiteral("AND"), QStringLiteral("OR")});
    return fixed + fromDialogUnits(this, kValueDialogUnits, 0).width() +
           2 * conditionsTable_->frameWidth() +
           conditionsTable_->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
}

void QueryWizard::addCondition(const QueryCondition& condition)
{
    const int row = conditionsTable_->rowCount();
    conditionsTable_->insertRow(row);
    auto* field = new QComboBox(conditionsTable_);
    for (const QueryField& f : fields_) {
        field->addItem(QString::fromStdString(f.description), QString::fromStdString(f.label));
    }
    const int fieldIndex = field->findData(QString::fromStdString(condition.label));
    field->setCurrentIndex(std::max(fieldIndex, 0));
    auto* op = new QComboBox(conditionsTable_);
    for (int number = 1; number <= 12; ++number) {
        op->addItem(toQt(queryEditorText(number)), number);
    }
    op->setCurrentIndex(static_cast<int>(condition.op) - 1);
    auto* join = new QComboBox(conditionsTable_);
    join->addItems({QStringLiteral("AND"), QStringLiteral("OR")});
    join->setCurrentIndex(condition.orWithPrevious ? 1 : 0);
    join->setEnabled(row > 0);
    conditionsTable_->setCellWidget(row, kFieldColumn, field);
    conditionsTable_->setCellWidget(row, kOperatorColumn, op);
    conditionsTable_->setItem(row, kValueColumn,
                              new QTableWidgetItem(QString::fromStdString(condition.value)));
    conditionsTable_->setCellWidget(row, kJoinColumn, join);
    if (presetBox_ != nullptr && presetBox_->currentIndex() == kCustomPreset &&
        customEdit_->text().isEmpty()) {
        presetBox_->setCurrentIndex(0);
    }
}

std::vector<QueryCondition> QueryWizard::conditions() const
{
    std::vector<QueryCondition> out;
    for (int row = 0; row < conditionsTable_->rowCount(); ++row) {
        auto* field = qobject_cast<QComboBox*>(conditionsTable_->cellWidget(row, kFieldColumn));
        auto* op = qobject_cast<QComboBox*>(conditionsTable_->cellWidget(row, kOperatorColumn));
        auto* join = qobject_cast<QComboBox*>(conditionsTable_->cellWidget(row, kJoinColumn));
        const QTableWidgetItem* value = conditionsTable_->item(row, kValueColumn);
        out.push_back({field->currentData().toString().toStdString(),
                       static_cast<QueryOperator>(op->currentData().toInt()),
                       value != nullptr ? value->text().toStdString() : std::string{},
                       join->currentIndex() == 1});
    }
    return out;
}

void QueryWizard::presetChosen(int index)
{
    if (index >= 2) {
        customEdit_->setText(QString::fromStdString(
            saved_.filter(tag_, presetBox_->currentText().toStdString()).value_or("")));
    }
}

void QueryWizard::saveQuery()
{
    std::string error;
    const std::string name = nameEdit_->text().toStdString();
    std::string text = customEdit_->text().toStdString();
    if (text.empty()) {
        text = buildQueryFilter(conditions(), fields_, &error);
    }
    if (!text.empty() && saved_.save(tag_, name, text, &error)) {
        if (presetBox_->findText(nameEdit_->text()) < 0) {
            presetBox_->addItem(nameEdit_->text());
        }
        return;
    }
    QMessageBox::warning(this, toQt(queryEditorText(33)), QString::fromStdString(error));
}

void QueryWizard::accept()
{
    std::string problem;
    std::string filter;
    if (conditionsTable_->rowCount() > 0) {
        filter = buildQueryFilter(conditions(), fields_, &problem);
    } else if (presetBox_->currentIndex() != 0) {
        filter = std::string{text::trim(customEdit_->text().toStdString())};
    }
    if (problem.empty() && !filter.empty()) {
        const FieldListResolver resolver{fields_};
        const Expression expression = Expression::compile(filter, resolver);
        if (!expression.ok()) {
            problem = expression.error().describe();
        }
    }
    if (!problem.empty()) {
        QMessageBox::warning(this, toQt(queryEditorText(33)), QString::fromStdString(problem));
        return;
    }
    filter_ = filter;
    QDialog::accept();
}

} // namespace tessaly::gui
