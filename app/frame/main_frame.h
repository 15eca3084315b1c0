#pragma once

#include <QMainWindow>

namespace tessaly::gui {

// The application window inside which every other window opens.
class MainFrame final : public QMainWindow {
    Q_OBJECT

public:
    explicit MainFrame(QWidget* parent = nullptr);
};

} // namespace tessaly::gui
