#pragma once

#include <QDialog>

namespace tessaly::gui {

// "About": the logo, the product line with its version, the build number and
// date, "Cl&ose" and "&Help".
class AboutWindow final : public QDialog {
    Q_OBJECT

public:
    explicit AboutWindow(QWidget* parent = nullptr);

Q_SIGNALS:
    void helpRequested();
};

} // namespace tessaly::gui
