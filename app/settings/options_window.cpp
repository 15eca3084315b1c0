#include "settings/options_window.h"

#include "framework/dialog_units.h"
#include "framework/icons.h"
#include "framework/text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace tessaly::gui {

namespace {

QString toQt(const std::string& text)
{
    return QString::fromStdString(text);
}

QSpinBox* count(QWidget* parent, const char* name, int value, const QString& tip,
                int most = kMostLinkTestJobs)
{
    auto* box = new QSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setRange(1, most);
    box->setValue(value);
    box->setToolTip(tip);
    return box;
}

QComboBox* choices(QWidget* parent, const QStringList& items, const std::string& current,
                   int inForce = 0)
{
    auto* box = new QComboBox(parent);
    box->addItems(items);
    const int index = box->findText(toQt(current));
    box->setCurrentIndex(index >= 0 ? index : inForce);
    return box;
}

const QString kStartUrl = QStringLiteral("Start URL");
const QString kEditRecord = QStringLiteral("Edit Record");

} // namespace

OptionsWindow::OptionsWindow(Settings& settings, SettingsStore& store, QWidget* parent)
    : QDialog(parent), settings_(settings), store_(store)
{
    setObjectName(QStringLiteral("Setup"));
    setWindowTitle(QStringLiteral("Options"));
    setWindowIcon(programIcon());
    setMinimumSize(fromDialogUnits(this, 259, 135));
    chooseFolder_ = [this](const QString& start) {
        return QFileDialog::getExistingDirectory(this, QStringLiteral("Select Folder"),
                                                 start.isEmpty() ? QDir::homePath() : start);
    };

    auto* preferences = new QGroupBox(QStringLiteral("Preferences"), this);
    auto* preferencesLayout = new QFormLayout(preferences);
    noTrayCheckBox_ = new QCheckBox(QStringLiteral("Do not place in tray when minimized"), this);
    noTrayCheckBox_->setChecked(settings.noTray != 0);
    // Only "Start URL" starts the browser; any other value, the empty one of a
    // fresh install included, leaves the lists opening the form.
    doubleClickComboBox_ = choices(this, {kStartUrl, kEditRecord}, settings.doubleClickAction, 1);
    connect(doubleClickComboBox_, &QComboBox::activated, this,
            [this] { doubleClickChosen_ = true; });
    doubleClickComboBox_->setToolTip(
        QStringLiteral("Action to be taken when double-click on list received"));
    startupComboBox_ = choices(this, {QStringLiteral("Location"), QStringLiteral("Category")},
                               settings.startupBrowse);
    preferencesLayout->addRow(noTrayCheckBox_);
    preferencesLayout->addRow(QStringLiteral("Double-click on list will"), doubleClickComboBox_);
    preferencesLayout->addRow(QStringLiteral("Browse to display at startup"), startupComboBox_);

    auto* security = new QGroupBox(QStringLiteral("Security"), this);
    auto* securityLayout = new QFormLayout(security);
    secureCheckBox_ = new QCheckBox(QStringLiteral("Restrict using password"), this);
    secureCheckBox_->setToolTip(QStringLiteral("Restrict access with password protection"));
    secureCheckBox_->setChecked(settings.secure != 0);
    // Only the password's hash is stored, so there is nothing to show: an
    // empty entry keeps what is stored.
    passwordLineEdit_ = new QLineEdit(this);
    passwordLineEdit_->setMaxLength(32);
    passwordLineEdit_->setEchoMode(QLineEdit::Password);
    const bool hasPassword = !text::clip(settings.password).empty();
    passwordLineEdit_->setPlaceholderText(hasPassword ? QStringLiteral("(unchanged)")
                                                      : QStringLiteral("(none)"));
    passwordLineEdit_->setToolTip(
        QStringLiteral("Type a new password; leave empty to keep the current one"));
    clearPasswordCheckBox_ = new QCheckBox(QStringLiteral("Remove the password"), this);
    clearPasswordCheckBox_->setObjectName(QStringLiteral("ClearPassword"));
    clearPasswordCheckBox_->setEnabled(hasPassword);
    connect(clearPasswordCheckBox_, &QCheckBox::toggled, passwordLineEdit_, [this](bool clear) {
        passwordLineEdit_->setEnabled(!clear);
        if (clear) {
            passwordLineEdit_->clear();
        }
    });
    securityLayout->addRow(secureCheckBox_);
    securityLayout->addRow(QStringLiteral("Password:"), passwordLineEdit_);
    securityLayout->addRow(clearPasswordCheckBox_);

    auto* folders = new QGroupBox(QStringLiteral("Folders"), this);
    auto* foldersLayout = new QVBoxLayout(folders);
    foldersLayout->addWidget(
        new QLabel(QStringLiteral("Internet Explorer \"favorites\" folder:"), this));
    auto* folderRow = new QHBoxLayout;
    favoritesLineEdit_ = new QLineEdit(toQt(settings.favoritesPath), this);
    favoritesLineEdit_->setMaxLength(255);
    favoritesLineEdit_->setToolTip(QStringLiteral("Path to MSIE Favorites"));
    favoritesLineEdit_->setPlaceholderText(QStringLiteral("None found: choose a folder"));
    auto* browse = new QPushButton(QStringLiteral("..."), this);
    browse->setObjectName(QStringLiteral("BrowseFolder"));
    folderRow->addWidget(favoritesLineEdit_);
    folderRow->addWidget(browse);
    foldersLayout->addLayout(folderRow);
    connect(browse, &QPushButton::clicked, this, &OptionsWindow::browseFolder);

    auto* linkTesting = new QGroupBox(QStringLiteral("Link Testing"), this);
    auto* linkTestingLayout = new QFormLayout(linkTesting);
    linkJobsSpinBox_ =
        count(this, "LinkTestJobs", settings.linkTestJobs,
              QStringLiteral("How many links \"Validate Multiple Links\" tests at the same time"));
    linksPerHostSpinBox_ = count(this, "LinkTestsPerHost", settings.linkTestsPerHost,
                                 QStringLiteral("How many of those may go to the same web site"));
    linkTestingLayout->addRow(QStringLiteral("Links tested at once:"), linkJobsSpinBox_);
    linkTestingLayout->addRow(QStringLiteral("At once on one site:"), linksPerHostSpinBox_);

    auto* downloads = new QGroupBox(QStringLiteral("Downloads"), this);
    auto* downloadsLayout = new QFormLayout(downloads);
    downloadMostMBSpinBox_ =
        count(this, "DownloadMostMB", settings.downloadMostMB,
              QStringLiteral("A page larger than this is not kept"), kMostDownloadMB);
    downloadMostMinutesSpinBox_ = count(
        this, "DownloadMostMinutes", settings.downloadMostMinutes,
        QStringLiteral("A page that takes longer than this is not kept"), kMostDownloadMinutes);
    downloadsLayout->addRow(QStringLiteral("Largest page (MB):"), downloadMostMBSpinBox_);
    downloadsLayout->addRow(QStringLiteral("Longest download (minutes):"),
                            downloadMostMinutesSpinBox_);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(preferences);
    layout->addWidget(security);
    layout->addWidget(folders);
    layout->addWidget(linkTesting);
    layout->addWidget(downloads);
    layout->addWidget(buttons);
}

void OptionsWindow::browseFolder()
{
    const QString chosen = chooseFolder_(favoritesLineEdit_->text());
    if (!chosen.isEmpty()) {
        favoritesLineEdit_->setText(chosen);
    }
}

void OptionsWindow::accept()
{
    Settings chosen = settings_;
    chosen.noTray = noTrayCheckBox_->isChecked() ? 1 : 0;
    if (doubleClickChosen_ ||
        doubleClickComboBox_->findText(toQt(settings_.doubleClickAction)) >= 0) {
        // The form's action shown for a blank setting is what is in force, no
        // choice of the user's; a blank stays blank until they pick.
        chosen.doubleClickAction = doubleClickComboBox_->currentText().toStdString();
    }
    chosen.startupBrowse = startupComboBox_->currentText().toStdString();
    chosen.secure = secureCheckBox_->isChecked() ? 1 : 0;
    if (clearPasswordCheckBox_->isChecked()) {
        chosen.password.clear();
    } else if (!passwordLineEdit_->text().isEmpty()) {
        chosen.password = hashPassword(passwordLineEdit_->text().toStdString());
    }
    chosen.favoritesPath = favoritesLineEdit_->text().toStdString();
    chosen.linkTestJobs = linkJobsSpinBox_->value();
    chosen.linkTestsPerHost = std::min(linksPerHostSpinBox_->value(), chosen.linkTestJobs);
    chosen.downloadMostMB = downloadMostMBSpinBox_->value();
    chosen.downloadMostMinutes = downloadMostMinutesSpinBox_->value();
    if (!store_.save(chosen)) {
        // The box has said why; the values stay for another try or Cancel.
        return;
    }
    settings_ = chosen;
    QDialog::accept();
}

void OptionsWindow::reject()
{
    store_.load(settings_);
    QDialog::reject();
}

} // namespace tessaly::gui
