#include "import/import_run.h"

#include "categories/ask_category.h"
#include "core/services.h"
#include "core/tables.h"
#include "framework/worker_database.h"
#include "import/importer.h"

#include <QPointer>

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
    const std::string favoritesFolder = services.settings().favoritesPath;
    QObject guiObject; // lives on this thread: the target of the worker's questions
    const QPointer<QWidget> parent = dialogParent;
    ImportSummary summary;
    runWithWorkerDatabase(services, [&](Database& database) {
        if (request.assignment == CategoryAssignment::Ask) {
            request.ask = [&](const Record& bookmark, std::string_view guess) {
                return askOnGuiThread(guiObject, parent, database, bookmark, guess);
            };
        }
        summary = runImport(database, services.messages().ui(), request, favoritesFolder, true);
    });
    return summary;
}

} // namespace tessaly::gui
