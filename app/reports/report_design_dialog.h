#pragma once

#include "reports/report_definition.h"

#include <QDialog>

#include <optional>

class QComboBox;
class QLabel;
class QListWidget;

namespace tessaly::gui {

// The report-design dialog of "Internet Locations (URLs)": the columns to
// print, ticked in a list, and one of the six orders. The choice is kept in
// the reports' INI file and offered again the next time.
class ReportDesignDialog final : public QDialog {
    Q_OBJECT

public:
    explicit ReportDesignDialog(QWidget* parent = nullptr);

    // The designed report, once the dialog was accepted.
    std::optional<ReportDefinition> report() const;

    void accept() override;

private:
    void showPasswordNote();
    void fitColumnList();

    QListWidget* columnList_ = nullptr;
    QComboBox* orderComboBox_ = nullptr;
    QLabel* passwordLabel_ = nullptr;
    std::optional<ReportDefinition> report_;
};

} // namespace tessaly::gui
