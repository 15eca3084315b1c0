#pragma once

#include "columns/value_distribution.h"

#include <QDialog>
#include <QWidget>

class QComboBox;
class QLabel;

namespace tessaly {
class UiPort;
}

namespace tessaly::gui {

// Horizontal bars, one per share, with its label, count and percentage.
class DistributionChart final : public QWidget {
    Q_OBJECT

public:
    explicit DistributionChart(QWidget* parent = nullptr);

    void setDistribution(Distribution distribution);
    const Distribution& distribution() const { return distribution_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Distribution distribution_;
};

// "Graph of <heading>": how the values of one list column are distributed,
// grouped as the user chooses (dates by month or weekday), and saved as a
// PNG picture on request.
class ColumnGraphWindow final : public QDialog {
    Q_OBJECT

public:
    // `values`: the column's value of every row of the list, as the list's
    // model gives them for graphs (dates as QDate, numbers as numbers).
    ColumnGraphWindow(const QString& heading, std::vector<QVariant> values, UiPort& ui,
                      QWidget* parent = nullptr);

    QComboBox* groupingBox() const { return grouping_; }
    DistributionChart* chart() const { return chart_; }
    // Writes the chart to `path` as PNG; false (and a message) on failure.
    bool savePng(const QString& path);

private:
    void regroup();
    void askAndSave();

    std::vector<QVariant> values_;
    UiPort& ui_;
    QComboBox* grouping_ = nullptr;
    QLabel* summary_ = nullptr;
    DistributionChart* chart_ = nullptr;
};

} // namespace tessaly::gui
