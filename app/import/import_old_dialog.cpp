#include "import/import_old_dialog.h"

#include "core/services.h"
#include "framework/file_dialogs.h"
#include "framework/window_register.h"
#include "import/old_database_import.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessaly::gui {

ImportOldDialog::ImportOldDialog(Services& services, QWidget* parent)
    : QDialog(parent), services_(services)
{
    setObjectName(QString::fromUtf8(kName));
    setWindowTitle(QStringLiteral("Import from Tessaly Database"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        QStringLiteral("This option will import *only* location information from another"), this));
    layout->addWidget(
        new QLabel(QStringLiteral("Tessaly database (version 1.9 or earlier)."), this));
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Import from:"), this));
    file_ = new QLineEdit(QStringLiteral("URL_L.TPS"), this);
    file_->setMaxLength(255);
    file_->setMinimumWidth(fontMetrics().averageCharWidth() * 50);
    row->addWidget(file_, 1);
    auto* browse = new QPushButton(QStringLiteral("&Browse"), this);
    row->addWidget(browse);
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(browse, &QPushButton::clicked, this, &ImportOldDialog::browse);
    connect(buttons, &QDialogButtonBox::accepted, this, &ImportOldDialog::importFile);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void ImportOldDialog::browse()
{
    // Any letter case of the earlier version's file name.
    const QString chosen = QFileDialog::getOpenFileName(
        this, QStringLiteral("Choose a File"), dialogFolder(QStringLiteral("import")),
        QStringLiteral("Tessaly Database ([Uu][Rr][Ll]_[Ll].[Tt][Pp][Ss])"));
    if (!chosen.isEmpty()) {
        file_->setText(chosen);
    }
}

void ImportOldDialog::importFile()
{
    const std::string path = file_->text().trimmed().toStdString();
    UiPort& ui = services_.messages().ui();
    if (!isOldDatabaseName(path)) {
        ui.showMessage({"Cannot Import",
                        "You can only import from databases created by Tessaly version 1.5 and "
                        "above.",
                        MessageIcon::Exclamation, ButtonOk, ButtonOk});
        file_->setFocus();
        return;
    }
    // The path the user chose, as typed or browsed to; relative names are
    // found in the data folder, the program's working folder.
    importOldDatabase(services_.database(), ui, path);
}

void ImportOldDialog::done(int result)
{
    WindowRegister::instance().notifyBrowseWindows();
    QDialog::done(result);
}

} // namespace tessaly::gui
