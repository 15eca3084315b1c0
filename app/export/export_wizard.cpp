#include "export/export_wizard.h"

#include "bookmarks/background_launch.h"
#include "core/services.h"
#include "framework/dialog_units.h"
#include "framework/file_dialogs.h"
#include "framework/form_widgets.h"
#include "framework/text.h"
#include "framework/wizard_parts.h"
#include "framework/worker_database.h"
#include "platform/data_folder.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <array>
#include <sys/stat.h>
#include <utility>

namespace tessaly::gui {

namespace {

using Choice = std::pair<const char*, const char*>; // (stored name, shown text)

constexpr std::array<Choice, 7> kTypes = {{
    {"Simple", "HTML - &Simple"},
    {"Table", "HTML - &Table"},
    {"Frame", "&HTML - Frame"},
    {"CSV", "&Comma-delimited text"},
    {"ASCII", "&Text"},
    {"Netscape", "Bro&wser bookmark file"},
    {"XBEL", "XB&EL bookmark file"},
}};

constexpr std::array<Choice, 6> kOrders = {{
    {"Location", "Location"},
    {"Description", "Description"},
    {"CatDesc", "Category/Description"},
    {"CatLoc", "Category/Location"},
    {"Rating", "Rating"},
    {"Keyword", "Keyword"},
}};

constexpr std::array<Choice, 3> kAssignments = {{
    {"All", "All"},
    {"Selected", "Selected category:"},
    {"Query", "Advanced query"},
}};

constexpr int kPathWidth = 255;
constexpr int kCategoryWidth = 50;
constexpr int kMetaWidth = 1024;

// The name a type's file gets when none was written with it yet.
const char* defaultFileOf(const QString& type)
{
    for (const auto& [name, file] : {std::pair{"Simple", "simple.htm"},
                                     {"Table", "table.htm"},
                                     {"Frame", "frame.htm"},
                                     {"CSV", "bookmarks.csv"},
                                     {"ASCII", "bookmarks.txt"},
                                     {"Netscape", "bookmarks.html"},
                                     {"XBEL", "bookmarks.xbel"}}) {
        if (type == QLatin1String(name)) {
            return file;
        }
    }
    return "export.htm";
}

bool isHtmlType(const QString& type)
{
    return type == QLatin1String("Simple") || type == QLatin1String("Table") ||
           type == QLatin1String("Frame");
}

const char* filterOf(const QString& type)
{
    if (type == QLatin1String("CSV")) {
        return "Comma-separated value files|*.csv|All Files|*.*";
    }
    if (type == QLatin1String("ASCII")) {
        return "Text files|*.txt|All Files|*.*";
    }
    if (type == QLatin1String("XBEL")) {
        return "XBEL Bookmark Files|*.xbel|All Files|*.*";
    }
    return "HTML Files|*.html|HTM Files|*.htm|All Files|*.*";
}

// Radio buttons for `choices` under one group, each named after its
// stored name so that the choice reads back as that name.
template <std::size_t N>
QButtonGroup* choiceGroup(const std::array<Choice, N>& choices, QWidget* page, QVBoxLayout* layout)
{
    auto* group = new QButtonGroup(page);
    for (std::size_t i = 0; i < N; ++i) {
        auto* choice = new QRadioButton(QString::fromUtf8(choices[i].second), page);
        choice->setObjectName(QString::fromUtf8(choices[i].first));
        group->addButton(choice, static_cast<int>(i));
        if (layout != nullptr) {
            layout->addWidget(choice);
        }
    }
    return group;
}

QString checkedName(const QButtonGroup* group)
{
    const QAbstractButton* checked = group->checkedButton();
    return checked != nullptr ? checked->objectName() : QString();
}

void check(QButtonGroup* group, const std::string& name)
{
    for (QAbstractButton* b : group->buttons()) {
        if (b->objectName() == q(name)) {
            b->setChecked(true);
        }
    }
}

QRadioButton* byName(const QButtonGroup* group, const QString& name)
{
    for (QAbstractButton* b : group->buttons()) {
        if (b->objectName() == name) {
            return qobject_cast<QRadioButton*>(b);
        }
    }
    return nullptr;
}

QLineEdit* entry(const char* name, int width, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromUtf8(name));
    edit->setMaxLength(width);
    return edit;
}

QPushButton* smallButton(const QString& text, const QString& tip, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setToolTip(tip);
    button->setAutoDefault(false);
    return button;
}

} // namespace

bool& ExportWizard::preformattedChoice()
{
    static bool chosen = false;
    return chosen;
}

ExportWizard::ExportWizard(Services& services, Opener& opener, bool bodyInFrame, QWidget* parent)
    : WizardDialog(services,
                   {kName, "Export Wizard", "Export Help", ":/export.txt",
                    "Proceed with the export", "Cancel the export", "Export Settings Not Saved"},
                   parent),
      opener_(opener), bodyInFrame_(bodyInFrame), iniPath_(services.folderPath("TESSLY.INI"))
{
    backButton_->setToolTip(QStringLiteral("Return to previous screen"));
    nextButton_->setToolTip(QStringLiteral("Continue to next screen"));
    setPages({buildTypePage(), buildOrderPage(), buildCategoryPage(), buildFieldsPage(),
              buildFilePage()});
    showChoices(ExportSettings::read(iniPath_));
}

ExportWizard::~ExportWizard() = default;

QWidget* ExportWizard::buildTypePage()
{
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(pageHeading(QStringLiteral("Type"), page));
    layout->addWidget(
        new QLabel(QStringLiteral("Enter the destination format type for this export:"), page));
    types_ = choiceGroup(kTypes, page, layout);
    layout->addSpacing(fromDialogUnits(this, 0, 6).height());
    preformatted_ = new QCheckBox(QStringLiteral("Use pre-formatted HTML"), page);
    preformatted_->setToolTip(QStringLiteral("Check this to use pre-formatted (external) HTML\n"
                                             "guidelines rather than the internal formats.\n"
                                             "\n"
                                             "The pre-formatted HTML files (default*.htm)\n"
                                             " may be modified to suit your preferences by\n"
                                             "using a standard HTML editor such as \n"
                                             "HotMetal Pro, MS Frontpage, etc."));
    layout->addWidget(preformatted_);
    auto* from = new QHBoxLayout;
    templateEdit_ = entry("Template", kPathWidth, page);
    templateEdit_->setMinimumWidth(fromDialogUnits(this, 150, 0).width());
    from->addWidget(prompt(QStringLiteral("fro&m:"), templateEdit_));
    from->addWidget(templateEdit_, 1);
    templateButton_ =
        smallButton(QStringLiteral("..."), QStringLiteral("Select template file"), page);
    from->addWidget(templateButton_);
    layout->addLayout(from);
    layout->addStretch(1);
    connect(types_, &QButtonGroup::idClicked, this, &ExportWizard::typeChosen);
    connect(preformatted_, &QCheckBox::toggled, this, &ExportWizard::applyTypeRule);
    connect(templateButton_, &QPushButton::clicked, this, &ExportWizard::browseTemplate);
    return page;
}

QWidget* ExportWizard::buildOrderPage()
{
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(pageHeading(QStringLiteral("Order"), page));
    layout->addWidget(new QLabel(QStringLiteral("Select the export order:"), page));
    orders_ = choiceGroup(kOrders, page, layout);
    layout->addStretch(1);
    return page;
}

QWidget* ExportWizard::buildCategoryPage()
{
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(pageHeading(QStringLiteral("Category"), page));
    layout->addWidget(new QLabel(QStringLiteral("Select the locations to be exported:"), page));
    assignments_ = choiceGroup(kAssignments, page, nullptr);
    layout->addWidget(assignments_->button(0));
    auto* row = new QHBoxLayout;
    row->addWidget(assignments_->button(1));
    categoryEdit_ = entry("Category", kCategoryWidth, page);
    categoryEdit_->setMinimumWidth(fromDialogUnits(this, 100, 0).width());
    row->addWidget(categoryEdit_, 1);
    categoryButton_ = smallButton(QStringLiteral("..."), QStringLiteral("Select category"), page);
    row->addWidget(categoryButton_);
    layout->addLayout(row);
    layout->addWidget(assignments_->button(2));
    layout->addStretch(1);
    connect(assignments_, &QButtonGroup::idClicked, this, &ExportWizard::applyAssignmentRule);
    connect(categoryButton_, &QPushButton::clicked, this,
            [this] { pickCategoryInto(services_, *categoryEdit_); });
    return page;
}

QWidget* ExportWizard::buildFieldsPage()
{
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(pageHeading(QStringLiteral("Fields"), page));
    layout->addWidget(new QLabel(
        QStringLiteral("The location and description fields are always exported."), page));
    layout->addWidget(new QLabel(QStringLiteral("Select additional export fields:"), page));
    rating_ = new QCheckBox(QStringLiteral("Export rating"), page);
    keyword_ = new QCheckBox(QStringLiteral("Export keyword"), page);
    siteInfo_ = new QCheckBox(QStringLiteral("Export site information"), page);
    otherFields_ = new QCheckBox(QStringLiteral("Export all other basic fields"), page);
    for (QCheckBox* box : {rating_, keyword_, siteInfo_, otherFields_}) {
        layout->addWidget(box);
    }
    layout->addStretch(1);
    return page;
}

QWidget* ExportWizard::buildFilePage()
{
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(pageHeading(QStringLiteral("File"), page));
    fileEdit_ = entry("File", kPathWidth, page);
    fileEdit_->setMinimumWidth(fromDialogUnits(this, 180, 0).width());
    layout->addWidget(prompt(
        QStringLiteral("Enter the path and name of the file to create and export to:"), fileEdit_));
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(fileEdit_, 1);
    auto* browse =
        smallButton(QStringLiteral("B&rowse..."), QStringLiteral("Select file to export to"), page);
    fileRow->addWidget(browse);
    layout->addLayout(fileRow);
    titleEdit_ = entry("PageTitle", kPathWidth, page);
    layout->addWidget(
        prompt(QStringLiteral("Enter the title to use for this web page:"), titleEdit_));
    layout->addWidget(titleEdit_);
    metaKeywords_ = entry("MetaKeywords", kMetaWidth, page);
    layout->addWidget(
        prompt(QStringLiteral("Meta keywords to be embedded in the exported page (optional):"),
               metaKeywords_));
    layout->addWidget(metaKeywords_);
    metaDescription_ = entry("MetaDescription", kMetaWidth, page);
    layout->addWidget(
        prompt(QStringLiteral("Meta description to be embedded in the exported page (optional):"),
               metaDescription_));
    layout->addWidget(metaDescription_);
    layout->addStretch(1);
    connect(browse, &QPushButton::clicked, this, &ExportWizard::browse);
    return page;
}

void ExportWizard::showChoices(const ExportSettings& settings)
{
    check(types_, settings.type);
    check(orders_, settings.order);
    check(assignments_, settings.assignment);
    preformatted_->setChecked(preformattedChoice());
    templateEdit_->setText(q(settings.templateFile));
    categoryEdit_->setText(q(settings.category));
    rating_->setChecked(settings.rating);
    keyword_->setChecked(settings.keyword);
    siteInfo_->setChecked(settings.siteInfo);
    otherFields_->setChecked(settings.otherFields);
    fileEdit_->setText(q(settings.file));
    titleEdit_->setText(q(settings.pageTitle));
    metaKeywords_->setText(q(settings.metaKeywords));
    metaDescription_->setText(q(settings.metaDescription));
    applyTypeRule();
    applyAssignmentRule();
}

ExportSettings ExportWizard::choices() const
{
    const auto trimmed = [](const QLineEdit* edit) {
        return std::string{text::trim(edit->text().toStdString())};
    };
    ExportSettings settings;
    settings.type = checkedName(types_).toStdString();
    settings.order = checkedName(orders_).toStdString();
    settings.assignment = checkedName(assignments_).toStdString();
    settings.category = trimmed(categoryEdit_);
    settings.file = trimmed(fileEdit_);
    settings.pageTitle = trimmed(titleEdit_);
    settings.rating = rating_->isChecked();
    settings.keyword = keyword_->isChecked();
    settings.siteInfo = siteInfo_->isChecked();
    settings.otherFields = otherFields_->isChecked();
    settings.preformatted = preformatted_->isEnabled() && preformatted_->isChecked();
    settings.templateFile = trimmed(templateEdit_);
    settings.metaKeywords = trimmed(metaKeywords_);
    settings.metaDescription = trimmed(metaDescription_);
    return settings;
}

void ExportWizard::typeChosen()
{
    // Each type remembers the file it last wrote: switching from "Table"
    // to "CSV" and back gives each its own file again.
    const QString type = checkedName(types_);
    const std::string last = ExportSettings::lastFileFor(iniPath_, type.toStdString());
    if (!last.empty()) {
        fileEdit_->setText(q(last));
    } else if (const QString current = fileEdit_->text().trimmed(); !current.isEmpty()) {
        // Another type's file would be written over by this one: a name of
        // this type's own, in the same folder, instead.
        const QString name = QString::fromUtf8(defaultFileOf(type));
        fileEdit_->setText(current.contains(u'/') ? QDir(QFileInfo(current).path()).filePath(name)
                                                  : name);
    }
    applyTypeRule();
}

void ExportWizard::applyTypeRule()
{
    const QString type = checkedName(types_);
    filter_ = QString::fromUtf8(filterOf(type));
    const bool html = isHtmlType(type);
    preformatted_->setEnabled(html);
    const bool templates = html && preformatted_->isChecked();
    templateEdit_->setEnabled(templates);
    templateButton_->setEnabled(templates);
    metaKeywords_->setEnabled(templates);
    metaDescription_->setEnabled(templates);
    if (currentPage() == FieldsPage && !fieldsPageShown()) {
        showPage(FilePage);
    } else {
        showPage(currentPage());
    }
}

bool ExportWizard::fieldsPageShown() const
{
    return !(isHtmlType(checkedName(types_)) && preformatted_->isChecked());
}

void ExportWizard::applyAssignmentRule()
{
    const bool selected = checkedName(assignments_) == QLatin1String("Selected");
    categoryEdit_->setEnabled(selected);
    categoryButton_->setEnabled(selected);
}

QRadioButton* ExportWizard::typeButton(const QString& type) const
{
    return byName(types_, type);
}

QRadioButton* ExportWizard::orderButton(const QString& order) const
{
    return byName(orders_, order);
}

QRadioButton* ExportWizard::assignmentButton(const QString& assignment) const
{
    return byName(assignments_, assignment);
}

// The page `step` away from `page`, passing over the hidden "Fields" page;
// `page` itself when there is none.
int ExportWizard::neighbour(int page, int step) const
{
    int other = page + step;
    if (other == FieldsPage && !fieldsPageShown()) {
        other += step;
    }
    return other < TypePage || other > FilePage ? page : other;
}

bool ExportWizard::mayLeave(int page)
{
    return page != CategoryPage || categoryAccepted();
}

bool ExportWizard::categoryAccepted()
{
    // Without "Selected" the entry is disabled and not used.
    return checkedName(assignments_) != QLatin1String("Selected") ||
           acceptCategoryOn(CategoryPage, *categoryEdit_);
}

namespace {

// The folder of the file an entry names when it is a full name of a folder
// that is there, else where the last dialog of that kind was left.
QString startFolder(const QString& current, const char* kind)
{
    const QFileInfo info(current);
    if (!current.isEmpty() && info.isAbsolute() && info.absoluteDir().exists() &&
        programFileRefusal(info.absolutePath().toStdString()).empty()) {
        return info.absolutePath();
    }
    return dialogFolder(QString::fromUtf8(kind));
}

} // namespace

void ExportWizard::browse()
{
    const QString current = fileEdit_->text().trimmed();
    QFileDialog dialog(this, QStringLiteral("Select file to export to"));
    dialog.setFileMode(QFileDialog::AnyFile);
    // Finish asks before it writes over a file, typed or chosen here.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setNameFilters(nameFilters(filter_));
    dialog.setDirectory(startFolder(current, "export"));
    if (!current.isEmpty()) {
        dialog.selectFile(QFileInfo(current).fileName());
    }
    const QString path = chosenSaveFile(dialog);
    if (!path.isEmpty() && pathFitsEntry(services_, path, "written")) {
        rememberDialogFolder(QStringLiteral("export"), path);
        fileEdit_->setText(path);
    }
}

void ExportWizard::browseTemplate()
{
    QFileDialog dialog(this, QStringLiteral("Select template file"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(nameFilters(QString::fromUtf8(filterOf(QStringLiteral("Table")))));
    dialog.setDirectory(startFolder(templateEdit_->text().trimmed(), "template"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const QString chosen = dialog.selectedFiles().front();
    if (pathFitsEntry(services_, chosen, "read")) {
        rememberDialogFolder(QStringLiteral("template"), chosen);
        templateEdit_->setText(chosen);
    }
}

void ExportWizard::finish()
{
    if (running() || !categoryAccepted()) {
        return;
    }
    if (choices().file.empty()) {
        services_.messages().ui().showMessage(
            {"Export", "Enter the path and name of the file to create and export to.",
             MessageIcon::Exclamation, ButtonOk, ButtonOk});
        showPage(FilePage);
        fileEdit_->setFocus();
        return;
    }
    if (!mayWriteOver(choices().file)) {
        showPage(FilePage);
        fileEdit_->setFocus();
        return;
    }
    if (runExport()) {
        accept();
    }
}

bool ExportWizard::mayWriteOver(const std::string& file)
{
    // The program's own files and what is no file are refused by the
    // export itself, with the reason: nothing to ask about them here.
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
        !programFileRefusal(file).empty()) {
        return true;
    }
    const std::string pages = checkedName(types_) == QLatin1String("Frame")
                                  ? " The pages named after it beside it are replaced too."
                                  : "";
    return services_.messages().ui().showMessage(
               {"Export", file + " already exists. Do you want to replace it?" + pages,
                MessageIcon::Question, ButtonYes | ButtonNo, ButtonNo}) == ButtonYes;
}

// Writes the export on a worker with its own connection, so that the
// progress window repaints and its Cancel is heard. False when nothing
// usable was written: the wizard stays open for another file or choice.
bool ExportWizard::runExport()
{
    const ExportSettings settings = choices();
    ExportContext context;
    context.bodyInFrame = bodyInFrame_;
    ExportResult result;
    setRunning(true);
    runWithWorkerDatabase(services_, [&](Database& database) {
        result = exportFile(database, services_.messages().ui(), settings, context);
    });
    setRunning(false);
    if (!result.done) {
        return false; // the export told the user why
    }
    offerToOpen(settings.file);
    return true;
}

void ExportWizard::offerToOpen(const std::string& file)
{
    UiPort& ui = services_.messages().ui();
    const std::string name{text::clip(file)};
    if (ui.showMessage({"Export Complete", "Would you like to launch " + name + " now?",
                        MessageIcon::Question, ButtonYes | ButtonNo, ButtonYes}) != ButtonYes) {
        return;
    }
    // The launch outlives the wizard, which closes at once: a failure is
    // told in the program's name.
    launchInBackground(name, opener_, ui, QCoreApplication::instance());
}

bool ExportWizard::saveChoices(std::string* error)
{
    preformattedChoice() = preformatted_->isChecked();
    return choices().write(iniPath_, error);
}

} // namespace tessaly::gui
