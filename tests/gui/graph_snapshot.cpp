// Draws the graph window of a list column over sample values and saves a
// picture of it, for the README: graph_snapshot OUTPUT.png
#include "columns/column_graph_window.h"
#include "framework/qt_ui_port.h"

#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QPixmap>

#include <cmath>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: graph_snapshot OUTPUT.png\n");
        return 2;
    }
    // A year of visits, busier towards its end, and some never visited.
    std::vector<QVariant> visits;
    for (int i = 0; i < 1200; ++i) {
        const int month = std::min(12, 1 + static_cast<int>(12 * std::sqrt((i % 997) / 997.0)));
        visits.emplace_back(i % 9 == 0 ? QDate{} : QDate(2026, month, 1 + i % 28));
    }
    tessaly::gui::QtUiPort ui;
    tessaly::gui::ColumnGraphWindow window(QStringLiteral("Last Visit"), std::move(visits), ui);
    window.groupingBox()->setCurrentIndex(1); // by month
    window.resize(640, 460);
    window.show();
    QApplication::processEvents();
    if (!window.grab().save(QString::fromLocal8Bit(argv[1]), "png")) {
        std::fprintf(stderr, "graph_snapshot: %s could not be written\n", argv[1]);
        return 1;
    }
    return 0;
}
