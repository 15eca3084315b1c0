#include "import/import_wizard.h"

#include "core/services.h"
#include "framework/dialog_units.h"
#include "framework/file_dialogs.h"
#include "framework/form_widgets.h"
#include "framework/text.h"
#include "framework/window_register.h"
#include "framework/wizard_parts.h"
#include "import/import_run.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <utility>

namespace tessaly::gui {

namespace {

constexpr std::array<std::pair<ImportType, const char*>, 9> kTypes = {{
    {ImportType::Favorites, "Microsoft Internet Explorer favorites"},
    {ImportType::Netscape, "Netscape"},
    {ImportType::Html, "Single HTML document"},
    {ImportType::Csv, "Comma-delimited text file"},
    {ImportType::Ascii, "Other text file"},
    {ImportType::Url, "From web site"},
    {ImportType::Firefox, "Firefox profile"},
    {ImportType::Chromium, "Chromium, Chrome, Edge or Brave profile"},
    {ImportType::Xbel, "XBEL bookmark file"},
}};

constexpr std::array<std::pair<CategoryAssignment, const char*>, 4> kAssignments = {{
    {CategoryAssignment::Guess, "Making a guess based on content"},
    {CategoryAssignment::Selected, "Assigning a selected category:"},
    {CategoryAssignment::Ask, "Asking for each URL"},
    {CategoryAssignment::None, "Leaving it blank"},
}};

constexpr int kPathWidth = 255;
constexpr int kCategoryWidth = 50;

const char* filterOf(ImportType type)
{
    switch (type) {
    case ImportType::Netscape:
        // Browsers export "bookmarks.html"; older ones wrote "bookmark.htm".
        return "Netscape Bookmark File|bookmarks.html *.htm*|All Files|*.*";
    case ImportType::Html:
        return "HTML Files|*.html|HTM Files|*.htm|All Files|*.*";
    case ImportType::Csv:
        return "Comma-separated value files|*.csv|All Files|*.*";
    case ImportType::Ascii:
        return "Text files|*.txt|All Files|*.*";
    case ImportType::Firefox:
        return "Firefox bookmarks|places.sqlite|All Files|*.*";
    case ImportType::Chromium:
        return "Chromium bookmarks|Bookmarks|All Files|*.*";
    case ImportType::Xbel:
        return "XBEL Bookmark Files|*.xbel *.xml|All Files|*.*";
    case ImportType::Favorites:
    case ImportType::Url:
        break;
    }
    return "All Files|*.*";
}

bool usesFile(ImportType type)
{
    return type != ImportType::Favorites && type != ImportType::Url;
}

bool isBrowserProfile(ImportType type)
{
    return type == ImportType::Firefox || type == ImportType::Chromium;
}

} // namespace

ImportWizard::ImportWizard(Services& services, std::function<void()> startNewBookmarkWizard,
                           QWidget* parent)
    : WizardDialog(services,
                   {kName, "Import Wizard", "Import Help", ":/import.txt",
                    "Proceed with the import", "Cancel the import", "Import Settings Not Saved"},
                   parent),
      startNewBookmarkWizard_(std::move(startNewBookmarkWizard)),
      profiles_(findBrowserProfiles(QDir::homePath().toStdString()))
{
    setPages({buildTypePage(), buildCategoryPage(), buildFilePage()});
    showChoices(ImportSettings::read(services_.folderPath("TESSLY.INI")));
}

ImportWizard::~ImportWizard() = default;

QWidget* ImportWizard::buildTypePage()
{
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(pageHeading(QStringLiteral("Type"), page));
    layout->addWidget(new QLabel(QStringLiteral("Enter the source type for this import:"), page));
    types_ = new QButtonGroup(page);
    for (const auto& [type, text] : kTypes) {
        auto* choice = new QRadioButton(QString::fromUtf8(text), page);
        choice->setObjectName(QString::fromUtf8(typeName(type).data()));
        types_->addButton(choice, static_cast<int>(type));
        layout->addWidget(choice);
    }
    layout->addStretch(1);
    connect(types_, &QButtonGroup::idClicked, this, &ImportWizard::applyTypeRule);
    return page;
}

QWidget* ImportWizard::buildCategoryPage()
{
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(pageHeading(QStringLiteral("Category"), page));
    layout->addWidget(new QLabel(QStringLiteral("Determine the category for each URL by:"), page));
    assignments_ = new QButtonGroup(page);
    for (const auto& [assignment, text] : kAssignments) {
        auto* choice = new QRadioButton(QString::fromUtf8(text), page);
        choice->setObjectName(QString::fromUtf8(assignmentName(assignment).data()));
        assignments_->addButton(choice, static_cast<int>(assignment));
        if (assignment != CategoryAssignment::Selected) {
            layout->addWidget(choice);
            continue;
        }
        auto* row = new QHBoxLayout;
        row->addWidget(choice);
        categoryEdit_ = new QLineEdit(page);
        categoryEdit_->setObjectName(QStringLiteral("Category"));
        categoryEdit_->setMaxLength(kCategoryWidth);
        categoryEdit_->setMinimumWidth(fromDialogUnits(this, 100, 0).width());
        row->addWidget(categoryEdit_, 1);
        categoryButton_ = new QPushButton(QStringLiteral("..."), page);
        categoryButton_->setToolTip(QStringLiteral("Select category"));
        categoryButton_->setAutoDefault(false);
        row->addWidget(categoryButton_);
        layout->addLayout(row);
    }
    layout->addStretch(1);
    connect(assignments_, &QButtonGroup::idClicked, this, &ImportWizard::applyAssignmentRule);
    connect(categoryButton_, &QPushButton::clicked, this,
            [this] { pickCategoryInto(services_, *categoryEdit_); });
    return page;
}

QWidget* ImportWizard::buildFilePage()
{
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(pageHeading(QStringLiteral("File"), page));

    fileGroup_ = new QWidget(page);
    fileGroup_->setObjectName(QStringLiteral("FileGroup"));
    auto* file = new QVBoxLayout(fileGroup_);
    file->setContentsMargins(0, 0, 0, 0);
    profileRow_ = new QWidget(fileGroup_);
    auto* profile = new QHBoxLayout(profileRow_);
    profile->setContentsMargins(0, 0, 0, 0);
    profileBox_ = new QComboBox(profileRow_);
    profileBox_->setObjectName(QStringLiteral("Profile"));
    profileBox_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    profile->addWidget(prompt(QStringLiteral("&Profile:"), profileBox_));
    profile->addWidget(profileBox_, 1);
    file->addWidget(profileRow_);
    fileEdit_ = new QLineEdit(fileGroup_);
    fileEdit_->setObjectName(QStringLiteral("File"));
    fileEdit_->setMaxLength(kPathWidth);
    fileEdit_->setMinimumWidth(fromDialogUnits(this, 180, 0).width());
    file->addWidget(
        prompt(QStringLiteral("Enter the path and name of the file to import:"), fileEdit_));
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(fileEdit_, 1);
    browseButton_ = new QPushButton(QStringLiteral("B&rowse..."), fileGroup_);
    browseButton_->setAutoDefault(false);
    fileRow->addWidget(browseButton_);
    file->addLayout(fileRow);
    layout->addWidget(fileGroup_);
    connect(browseButton_, &QPushButton::clicked, this, &ImportWizard::browse);
    connect(profileBox_, &QComboBox::activated, this,
            [this](int index) { takePath(profileBox_->itemData(index).toString()); });

    webGroup_ = new QWidget(page);
    webGroup_->setObjectName(QStringLiteral("WebGroup"));
    auto* web = new QVBoxLayout(webGroup_);
    web->setContentsMargins(0, 0, 0, 0);
    webEdit_ = new QLineEdit(webGroup_);
    webEdit_->setObjectName(QStringLiteral("URL"));
    webEdit_->setMaxLength(kAddressWidth + 1); // longer: refused by the wizard it starts
    web->addWidget(prompt(QStringLiteral("Enter the web location (URL) to import:"), webEdit_));
    web->addWidget(webEdit_);
    followLinks_ = new QCheckBox(QStringLiteral("Follow embedded links"), webGroup_);
    web->addWidget(followLinks_);
    layout->addWidget(webGroup_);

    // The favorites need neither a file nor an address: say where they come from.
    const std::string& folder = services_.settings().favoritesPath;
    favoritesNote_ = new QLabel(
        QStringLiteral("The favorites are read from the Favorites folder set under Tools > "
                       "Options%1")
            .arg(folder.empty() ? QStringLiteral(".") : QStringLiteral(":\n") + q(folder)),
        page);
    favoritesNote_->setWordWrap(true);
    layout->addWidget(favoritesNote_);
    layout->addStretch(1);
    return page;
}

void ImportWizard::showChoices(const ImportSettings& settings)
{
    types_->button(static_cast<int>(settings.type))->setChecked(true);
    assignments_->button(static_cast<int>(settings.assignment))->setChecked(true);
    categoryEdit_->setText(q(settings.category));
    fileEdit_->setText(q(settings.file));
    webEdit_->setText(q(settings.url));
    followLinks_->setChecked(settings.followLinks != 0);
    applyTypeRule();
    applyAssignmentRule();
}

ImportSettings ImportWizard::choices() const
{
    ImportSettings settings;
    settings.type = static_cast<ImportType>(types_->checkedId());
    settings.assignment = static_cast<CategoryAssignment>(assignments_->checkedId());
    const auto trimmed = [](const QLineEdit* edit) {
        return std::string{text::trim(edit->text().toStdString())};
    };
    settings.category = trimmed(categoryEdit_);
    settings.file = trimmed(fileEdit_);
    settings.url = trimmed(webEdit_);
    settings.followLinks = followLinks_->isChecked() ? 1 : 0;
    return settings;
}

void ImportWizard::applyTypeRule()
{
    const auto type = static_cast<ImportType>(types_->checkedId());
    filter_ = QString::fromUtf8(filterOf(type));
    fileGroup_->setVisible(usesFile(type));
    webGroup_->setVisible(type == ImportType::Url);
    favoritesNote_->setVisible(type == ImportType::Favorites);
    profileRow_->setVisible(isBrowserProfile(type));
    if (isBrowserProfile(type)) {
        fillProfiles(type);
    }
}

void ImportWizard::fillProfiles(ImportType type)
{
    profileBox_->clear();
    for (const BrowserProfile& p : profiles_) {
        if (p.firefox == (type == ImportType::Firefox)) {
            profileBox_->addItem(q(p.browser + ": " + p.name), q(p.path));
        }
    }
    profileBox_->setEnabled(profileBox_->count() > 0);
    profileBox_->setPlaceholderText(profileBox_->count() > 0 ? QStringLiteral("Choose a profile")
                                                             : QStringLiteral("None found"));
    // The type starts at the first profile found, unless a path of the
    // user's own is given; another browser's profile is no such path.
    const QString given = fileEdit_->text().trimmed();
    const bool otherProfile = std::any_of(profiles_.begin(), profiles_.end(), [&](const auto& p) {
        return p.firefox != (type == ImportType::Firefox) && q(p.path) == given;
    });
    if ((given.isEmpty() || otherProfile) && profileBox_->count() > 0) {
        fileEdit_->setText(profileBox_->itemData(0).toString());
    }
    profileBox_->setCurrentIndex(profileBox_->findData(fileEdit_->text().trimmed()));
}

void ImportWizard::applyAssignmentRule()
{
    const bool selected =
        assignments_->checkedId() == static_cast<int>(CategoryAssignment::Selected);
    categoryEdit_->setEnabled(selected);
    categoryButton_->setEnabled(selected);
}

QRadioButton* ImportWizard::typeButton(ImportType type) const
{
    return qobject_cast<QRadioButton*>(types_->button(static_cast<int>(type)));
}

QRadioButton* ImportWizard::assignmentButton(CategoryAssignment assignment) const
{
    return qobject_cast<QRadioButton*>(assignments_->button(static_cast<int>(assignment)));
}

bool ImportWizard::mayLeave(int page)
{
    return page != CategoryPage || categoryAccepted();
}

bool ImportWizard::categoryAccepted()
{
    // Without "Selected" the entry is disabled and not used.
    return assignments_->checkedId() != static_cast<int>(CategoryAssignment::Selected) ||
           acceptCategoryOn(CategoryPage, *categoryEdit_);
}

void ImportWizard::browse()
{
    const QString current = fileEdit_->text().trimmed();
    QFileDialog dialog(this, QStringLiteral("Select file to import"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(nameFilters(filter_));
    const QFileInfo info(current);
    // A relative name would start in the program's data folder.
    dialog.setDirectory(!current.isEmpty() && info.isAbsolute() && info.absoluteDir().exists()
                            ? info.absolutePath()
                            : dialogFolder(QStringLiteral("import")));
    if (!current.isEmpty() && info.isFile()) {
        dialog.selectFile(info.fileName());
    }
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        rememberDialogFolder(QStringLiteral("import"), dialog.selectedFiles().front());
        takePath(dialog.selectedFiles().front());
    }
}

void ImportWizard::takePath(const QString& path)
{
    if (path.isEmpty()) {
        return;
    }
    if (!pathFitsEntry(services_, path, "imported")) {
        return;
    }
    fileEdit_->setText(path);
    profileBox_->setCurrentIndex(profileBox_->findData(path));
}

void ImportWizard::finish()
{
    if (running()) {
        return;
    }
    if (!categoryAccepted()) {
        return;
    }
    const ImportSettings chosen = choices();
    if (usesFile(chosen.type) && !isBrowserProfile(chosen.type) && chosen.file.empty()) {
        services_.messages().ui().showMessage({"Import",
                                               "Enter the path and name of the file to import.",
                                               MessageIcon::Exclamation, ButtonOk, ButtonOk});
        showPage(FilePage);
        fileEdit_->setFocus();
        return;
    }
    runImport();
    WindowRegister::instance().notifyBrowseWindows();
    accept();
}

void ImportWizard::runImport()
{
    const ImportSettings chosen = choices();
    if (chosen.type == ImportType::Url) {
        // The new-bookmark wizard takes the address when it holds "http:",
        // "ftp:" or "www.", and otherwise looks for one in a browser.
        services_.pendingAddress() = chosen.url;
        if (startNewBookmarkWizard_) {
            startNewBookmarkWizard_();
        }
        return;
    }
    ImportRequest request;
    request.type = chosen.type;
    request.source = usesFile(chosen.type) ? chosen.file : std::string{};
    request.assignment = chosen.assignment;
    request.category = chosen.category;
    setRunning(true);
    runImportOnWorker(services_, request, this);
    setRunning(false);
}

bool ImportWizard::saveChoices(std::string* error)
{
    return choices().write(services_.folderPath("TESSLY.INI"), error);
}

} // namespace tessaly::gui
