#pragma once

#include <QDialog>
#include <optional>
#include <string>

class QLineEdit;

namespace tessaly::gui {

// "Security Check": asks for the password at start-up.
class PasswordDialog final : public QDialog {
    Q_OBJECT

public:
    explicit PasswordDialog(QWidget* parent = nullptr);

    // The text typed on "&OK"; nothing on "Cancel" (or when the window is
    // closed), which no password can equal.
    std::optional<std::string> ask();

private:
    QLineEdit* passwordLineEdit_ = nullptr;
};

} // namespace tessaly::gui
