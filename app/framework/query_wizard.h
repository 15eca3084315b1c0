#pragma once

#include "framework/query_builder.h"
#include "framework/query_fields.h"

#include <QDialog>

#include <string>
#include <vector>

class QComboBox;
class QLineEdit;
class QTableWidget;

namespace tessaly::gui {

// The check a window makes when it opens: 0 when the query editor can work
// on `fieldList`, else the error code to report.
struct QueryWizardCheck {
    static int initialise(const std::string& fieldList);
};

// The "Query Wizard": the user builds conditions from the fields offered
// (field, one of the twelve operators, a value, joined by AND or OR), or
// writes a custom filter, or picks a query saved under the tag; "OK"
// checks the query and hands back its filter text.
class QueryWizard final : public QDialog {
    Q_OBJECT

public:
    // `fieldList` in the 0xAB/0xA6 format; saved queries live in
    // `savedQueriesPath` under `tag`.
    QueryWizard(const std::string& fieldList, const std::string& tag,
                const std::string& savedQueriesPath, const std::string& filter,
                QWidget* parent = nullptr);

    // 0 when the field list could be read; otherwise the error code shown
    // in "Query Wizard Error".
    int initialisationError() const { return initError_; }
    // The filter text of the finished query.
    const std::string& filter() const { return filter_; }

    // Adds a condition row (tests fill the wizard through it).
    void addCondition(const QueryCondition& condition);
    QLineEdit* customEdit() const { return customEdit_; }
    QComboBox* presetBox() const { return presetBox_; }

    void accept() override;

private:
    // Sizes the conditions' columns to their choices; the width the table
    // needs for them and a value.
    int fitConditionColumns();
    std::vector<QueryCondition> conditions() const;
    void presetChosen(int index);
    void saveQuery();

    std::vector<QueryField> fields_;
    std::string tag_;
    SavedQueries saved_;
    std::string filter_;
    int initError_ = 0;
    QTableWidget* conditionsTable_ = nullptr;
    QLineEdit* customEdit_ = nullptr;
    QComboBox* presetBox_ = nullptr;
    QLineEdit* nameEdit_ = nullptr;
};

} // namespace tessaly::gui
