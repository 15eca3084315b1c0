#pragma once

#include "core/maintenance.h"

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace tessaly {
class Database;
}

namespace tessaly::gui {

class RepairProgressDialog;

// "Repair Files": the database files with a tick for each tagged one, their
// record counts and what the last action found, and the buttons that run
// the maintenance actions on the tagged files (or, with none tagged, on the
// highlighted one). An action runs on a thread of its own behind the
// progress window; the list waits for it.
class RepairFilesWindow final : public QDialog {
    Q_OBJECT

public:
    static constexpr const char* kName = "RepairFiles";
    enum Column { TickColumn, FileColumn, RecordsColumn, InformationColumn };

    RepairFilesWindow(UiPort& ui, std::string folder, MaintenanceNames names,
                      QWidget* parent = nullptr);
    ~RepairFilesWindow() override;

    QTreeWidget* fileList() const { return fileList_; }
    QPushButton* button(const QString& text) const;
    // The progress window while an action runs, else null.
    RepairProgressDialog* progressDialog() const { return progress_; }
    const std::vector<MaintenanceEntry>& entries() const { return entries_; }

    // Told after an action with the files a repair replaced.
    void setReplacedHandler(std::function<void(const std::vector<std::string>&)> handler)
    {
        replaced_ = std::move(handler);
    }

private:
    void runAction(MaintenanceAction action);
    void setAllTags(bool tagged);
    void toggleTag(QTreeWidgetItem* item, int column);
    void refreshRows();
    // Sizes the file list to show every file and row whole.
    void fitFileList();

    UiPort& ui_;
    std::string folder_;
    MaintenanceNames names_;
    std::vector<MaintenanceEntry> entries_;
    QTreeWidget* fileList_ = nullptr;
    std::vector<QPushButton*> buttons_;
    RepairProgressDialog* progress_ = nullptr;
    std::function<void(const std::vector<std::string>&)> replaced_;
};

// After a repair replaced files: our own connections still read the damaged
// copies the repair moved aside, so they close and the next use opens the
// fresh files. A window that holds a file open would go on writing into the
// kept copy, so then the user is told to start again rather than lose those
// changes.
void closeRepairedFiles(Database& db, UiPort& ui);

} // namespace tessaly::gui
