#include "maintenance/repair_files_window.h"

#include "core/database.h"
#include "framework/content_size.h"
#include "framework/icons.h"
#include "framework/window_register.h"
#include "maintenance/repair_progress_dialog.h"

#include <QEventLoop>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <thread>

namespace tessaly::gui {

RepairFilesWindow::RepairFilesWindow(UiPort& ui, std::string folder, MaintenanceNames names,
                                     QWidget* parent)
    : QDialog(parent), ui_(ui), folder_(std::move(folder)), names_(std::move(names)),
      entries_(maintenanceEntries())
{
    setObjectName(QString::fromUtf8(kName));
    setWindowTitle(tr("Repair Files"));
    fileList_ = new QTreeWidget(this);
    fileList_->setHeaderLabels({QString{}, tr("File"), tr("Records"), tr("Information")});
    fileList_->setRootIsDecorated(false);
    fileList_->setUniformRowHeights(true);
    fileList_->header()->setSectionResizeMode(TickColumn, QHeaderView::ResizeToContents);
    for (const MaintenanceEntry& entry : entries_) {
        auto* item = new QTreeWidgetItem(fileList_);
        // The import file and the export file share a description: their
        // labels tell them apart.
        const bool shared =
            std::count_if(entries_.begin(), entries_.end(), [&](const MaintenanceEntry& other) {
                return other.description == entry.description;
            }) > 1;
        item->setText(FileColumn,
                      QString::fromStdString(shared ? entry.description + " (" + entry.label + ")"
                                                    : entry.description));
        item->setToolTip(FileColumn, QString::fromStdString(entry.label));
    }
    fileList_->setCurrentItem(fileList_->topLevelItem(0));
    connect(fileList_, &QTreeWidget::itemClicked, this, &RepairFilesWindow::toggleTag);

    struct ButtonDef {
        const char* text;
        const char* tip;
        std::function<void()> run;
    };
    const std::vector<ButtonDef> defs = {
        {"&Tag All", "Tag all the files",
         [this] {
             setAllTags(true);
         }},
        {"&Untag All", "Untag all of the files",
         [this] {
             setAllTags(false);
         }},
        {"&Repair", nullptr,
         [this] {
             runAction(MaintenanceAction::Fix);
         }},
        {"&Build", "Build the key files for the tagged data files",
         [this] {
             runAction(MaintenanceAction::Build);
         }},
        {"&Pack", "Pack the tagged data files",
         [this] {
             runAction(MaintenanceAction::Pack);
         }},
        {"Relea&se", "Release any held records in the tagged files",
         [this] {
             runAction(MaintenanceAction::Release);
         }},
        {"&Info", nullptr,
         [this] {
             runAction(MaintenanceAction::Info);
         }},
        {"Cl&ose", "Close this window",
         [this] {
             close();
         }},
    };
    auto* buttonColumn = new QVBoxLayout;
    for (const ButtonDef& def : defs) {
        auto* button = new QPushButton(tr(def.text), this);
        if (def.tip != nullptr) {
            button->setToolTip(tr(def.tip));
        }
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, def.run);
        buttonColumn->addWidget(button);
        buttons_.push_back(button);
    }
    buttonColumn->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(fileList_, 1);
    layout->addLayout(buttonColumn);
    refreshRows();
    fitFileList();
    resize(withinScreen(this,
                        QSize(fontMetrics().averageCharWidth() * 110, fontMetrics().height() * 22)
                            .expandedTo(sizeHint())));
}

void RepairFilesWindow::fitFileList()
{
    // The fonts the window shows with, before anything is measured.
    ensurePolished();
    fileList_->ensurePolished();
    // Every row as tall as its tick and its text with room around them, and
    // every file's name whole.
    const int rowHeight = std::max(fileList_->iconSize().height(), fontMetrics().height()) +
                          fontMetrics().height() / 2;
    for (int row = 0; row < fileList_->topLevelItemCount(); ++row) {
        fileList_->topLevelItem(row)->setSizeHint(InformationColumn, QSize(0, rowHeight));
    }
    fileList_->resizeColumnToContents(FileColumn);
    QHeaderView* header = fileList_->header();
    int width = 2 * fileList_->frameWidth() +
                fileList_->style()->pixelMetric(QStyle::PM_ScrollBarExtent) +
                fontMetrics().averageCharWidth() * 30; // room for the information
    for (const int column : {TickColumn, FileColumn, RecordsColumn}) {
        width += std::max(header->sectionSize(column), header->sectionSizeHint(column));
    }
    const int height = 2 * fileList_->frameWidth() + header->sizeHint().height() +
                       rowHeight * (fileList_->topLevelItemCount() + 1);
    fileList_->setMinimumSize(withinScreen(this, QSize(width, height)));
}

RepairFilesWindow::~RepairFilesWindow() = default;

QPushButton* RepairFilesWindow::button(const QString& text) const
{
    for (QPushButton* b : buttons_) {
        if (b->text() == text) {
            return b;
        }
    }
    return nullptr;
}

void RepairFilesWindow::setAllTags(bool tagged)
{
    for (MaintenanceEntry& entry : entries_) {
        entry.tagged = tagged;
    }
    refreshRows();
}

void RepairFilesWindow::toggleTag(QTreeWidgetItem* item, int column)
{
    // A click on the tick tags or untags; elsewhere it only highlights the
    // entry an action takes when nothing is tagged.
    if (column != TickColumn) {
        return;
    }
    const int row = fileList_->indexOfTopLevelItem(item);
    if (row >= 0) {
        entries_[static_cast<std::size_t>(row)].tagged =
            !entries_[static_cast<std::size_t>(row)].tagged;
    }
    refreshRows();
}

void RepairFilesWindow::refreshRows()
{
    static const QIcon tick = themedIcon({}, QStringLiteral("check"));
    for (std::size_t row = 0; row < entries_.size(); ++row) {
        const MaintenanceEntry& entry = entries_[row];
        QTreeWidgetItem* item = fileList_->topLevelItem(static_cast<int>(row));
        item->setIcon(TickColumn, entry.tagged ? tick : QIcon{});
        item->setData(TickColumn, Qt::UserRole, entry.tagged);
        item->setText(RecordsColumn, QString::fromStdString(entry.records));
        item->setText(InformationColumn, QString::fromStdString(entry.information));
    }
    fileList_->resizeColumnToContents(RecordsColumn);
}

void RepairFilesWindow::runAction(MaintenanceAction action)
{
    const int highlighted = fileList_->indexOfTopLevelItem(fileList_->currentItem());
    for (QPushButton* b : buttons_) {
        b->setEnabled(false);
    }
    RepairProgressDialog dialog(this);
    progress_ = &dialog;
    dialog.QDialog::show();
    MaintenanceSummary summary;
    QEventLoop loop;
    // The work runs on a thread of its own with its own connections; the
    // window's list is only read again once it has finished.
    std::thread worker([&] {
        Maintenance maintenance{ui_, folder_, names_};
        maintenance.setObserver(&dialog);
        summary = maintenance.run(action, entries_, highlighted);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    progress_ = nullptr;
    dialog.hide();
    for (QPushButton* b : buttons_) {
        b->setEnabled(true);
    }
    refreshRows();
    if (!summary.replaced.empty() && replaced_) {
        replaced_(summary.replaced);
    }
}

void closeRepairedFiles(Database& db, UiPort& ui)
{
    for (FileManager* file : {&db.bookmarks(), &db.categories(), &db.catHtml(), &db.keywords(),
                              &db.details(), &db.configuration()}) {
        if (file->users() > 0) {
            ui.showMessage({"Repair",
                            "A window still has a repaired file open. Close the program and "
                            "start it again before making any change.",
                            MessageIcon::Exclamation, ButtonOk, ButtonOk});
            return;
        }
    }
    db.closeAll();
    // The open lists read the fresh files from now on.
    WindowRegister::instance().notifyBrowseWindows();
}

} // namespace tessaly::gui
