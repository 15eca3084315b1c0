#pragma once

#include "framework/ui_port.h"

#include <QObject>
#include <QPointer>

#include <atomic>
#include <string>

class QProgressDialog;
class QWidget;

namespace tessaly {
class Database;
}

namespace tessaly::gui {

// The UI port of the program: real message boxes and a progress dialog on
// the GUI thread. Calls from worker threads are carried over to the GUI
// thread and wait for the answer.
class QtUiPort final : public QObject, public UiPort {
    Q_OBJECT

public:
    explicit QtUiPort(QObject* parent = nullptr);

    // The window that owns the boxes (the main frame once it exists).
    void setDialogParent(QWidget* parent) { dialogParent_ = parent; }

    Button showMessage(const MessageRequest& request) override;
    // Where the query editor keeps saved queries (a file of the data folder).
    void setSavedQueriesPath(std::string path) { savedQueriesPath_ = std::move(path); }

    // The database the category picker lists.
    void setDatabase(Database* database) { database_ = database; }

    // Runs the category picker ("Select Category").
    std::optional<std::string> pickCategory(std::string_view nearest) override;
    // Runs the Query Wizard.
    bool runQuery(const QueryRequest& request, std::string& filter) override;
    void beginProgress(std::string_view caption) override;
    void reportProgress(int percent, std::string_view status) override;
    bool cancelRequested() override;
    void endProgress() override;

    // The program is ending (a logout): every run in progress is cancelled
    // and stays so, and no box or picker shows any more; a question is
    // answered as a dismissed box answers it.
    void endAll();
    bool ending() const { return ending_; }

private:
    template <typename F> void onGuiThread(F&& work);

    QPointer<QWidget> dialogParent_;
    std::string savedQueriesPath_ = "QUERIES.INI";
    Database* database_ = nullptr;
    QPointer<QProgressDialog> progress_;
    std::atomic<bool> cancelled_ = false;
    std::atomic<bool> ending_ = false;
};

} // namespace tessaly::gui
