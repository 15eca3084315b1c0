#pragma once

#include "import/import_readers.h"

class QWidget;

namespace tessaly {
class Services;
}

namespace tessaly::gui {

// Runs one import of any type but "URL" on a worker thread with its own
// connection to the data folder, and waits for it while this (the GUI)
// thread goes on handling events: the progress window repaints and its
// Cancel is seen. The worker says what it has to say through the program's
// UI port ("Complete", "Import Error"). For the assignment "Ask" each
// bookmark's question is the "Category Assignment" dialog, shown on this
// thread over `dialogParent`. Call it on the GUI thread only.
ImportSummary runImportOnWorker(Services& services, ImportRequest request, QWidget* dialogParent);

} // namespace tessaly::gui
