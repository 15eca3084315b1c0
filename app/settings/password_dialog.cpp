#include "settings/password_dialog.h"

#include "framework/dialog_units.h"
#include "framework/icons.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>

namespace tessaly::gui {

PasswordDialog::PasswordDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("GetPassword"));
    setWindowTitle(QStringLiteral("Security Check"));
    setWindowIcon(programIcon());
    setMinimumSize(fromDialogUnits(this, 185, 65));
    auto* layout = new QFormLayout(this);
    passwordLineEdit_ = new QLineEdit(this);
    passwordLineEdit_->setMaxLength(32);
    passwordLineEdit_->setEchoMode(QLineEdit::Password);
    layout->addRow(QStringLiteral("Confirm Password:"), passwordLineEdit_);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addRow(buttons);
}

std::optional<std::string> PasswordDialog::ask()
{
    if (exec() == QDialog::Accepted) {
        return passwordLineEdit_->text().toStdString();
    }
    return std::nullopt;
}

} // namespace tessaly::gui
