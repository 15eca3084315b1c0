#include "import/import_run.h"

#include "categories/ask_category.h"
#include "core/services.h"
#include "core/tables.h"
#include "import/importer.h"

#include <QEventLoop>
#include <QPointer>
#include <QThread>

#include <memory>

namespace tessaly::gui {

namespace {

// One bookmark's question, asked on the GUI thread while the worker waits.
// The dialog works on the worker's own connection: it is idle while the
// worker waits for the answer, and it is the one that sees the categories
// this import has added but not yet committed, and that can add one inside
// the import's write group ("&Insert") where a second connection would wait
// on the import's lock.
std::optional<std::string> askOnGuiThread(QObject& guiObject, const QPointer<QWidget>& parent,
                                          Database& workerDatabase, const Record& bookmark,
                                          std::string_view guess)
{
    std::optional<std::string> chosen;
    const std::string bestGuess{guess};
    QMetaObject::invokeMethod(
        &guiObject,
        [&] {
            AskCategory dialog(workerDatabase, bookmark.text(BookmarkField::Location),
                               bookmark.text(BookmarkField::Description), bestGuess, parent.data());
            if (dialog.exec() != QDialog::Accepted) {
                return; // closed without an answer: the import's own fallback
            }
            // "&Use Best Guess" leaves the name blank: the guess it showed
            // is what the user took.
            chosen = dialog.category().empty() ? bestGuess : dialog.category();
        },
        Qt::BlockingQueuedConnection);
    return chosen;
}

} // namespace

ImportSummary runImportOnWorker(Services& services, ImportRequest request, QWidget* dialogParent)
{
    UiPort& ui = services.messages().ui();
    const std::string folder = services.folderPath(".");
    const std::string favoritesFolder = services.settings().favoritesPath;
    QObject guiObject; // lives on this thread: the target of the worker's questions
    const QPointer<QWidget> parent = dialogParent;
    ImportSummary summary;
    std::unique_ptr<QThread> worker{QThread::create([&] {
        // SQLite connections are per thread: the worker opens its own on the
        // same files, with messages of its own over the same port.
        MessageManager messages{ui};
        Database database{messages, folder};
        if (request.assignment == CategoryAssignment::Ask) {
            request.ask = [&](const Record& bookmark, std::string_view guess) {
                return askOnGuiThread(guiObject, parent, database, bookmark, guess);
            };
        }
        summary = runImport(database, ui, request, favoritesFolder, true);
        database.closeAll();
    })};
    QEventLoop loop;
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    loop.exec();
    worker->wait();
    return summary;
}

} // namespace tessaly::gui
