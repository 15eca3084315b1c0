#pragma once

#include <QString>

class QFileDialog;

namespace tessaly::gui {

// Where the program's file dialogs start, and what they add to a name.

// The folder a dialog for `kind` of file ("export", "picture", "pdf",
// "import") starts in: the folder last chosen for that kind in this run,
// else the user's home. Never the data folder, the program's working
// folder, where a slip of the hand would name one of its own files.
QString dialogFolder(const QString& kind);

// The folder of `file` becomes the one the next dialog for `kind` starts in.
void rememberDialogFolder(const QString& kind, const QString& file);

// The extension a name filter ("PDF files (*.pdf)", "*.pdf") stands for:
// its first pattern's; empty for every file ("All Files (*)").
QString filterSuffix(const QString& nameFilter);

// Runs a save dialog whose chosen filter gives a name typed without an
// extension its extension, before the dialog asks whether to replace a
// file of that name. The file chosen; empty when it was cancelled.
QString chosenSaveFile(QFileDialog& dialog);

} // namespace tessaly::gui
