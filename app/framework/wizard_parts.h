#pragma once

#include <QString>
#include <QStringList>

class QDialog;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace tessaly {
class PositionStore;
class Services;
} // namespace tessaly

namespace tessaly::gui {

// What the import and export wizards share.

// A page's name in bold above its prompt.
QLabel* pageHeading(const QString& text, QWidget* parent);

// "Name|pattern|Name|pattern" as the file dialog takes it. "*.*" means
// every file, as it does on Windows; here it would leave out the names
// without a dot (Chromium's "Bookmarks", most text files).
QStringList nameFilters(const QString& filter);

// The push button of `window` showing `text` ("&Next"), or null.
QPushButton* buttonWithText(const QWidget& window, const QString& text);

// The category entry's rule: a blank entry or a stored category is kept;
// another name opens the category picker, whose choice replaces it.
// False when the picker was cancelled (the entry keeps what was typed).
bool acceptCategoryEntry(Services& services, QLineEdit& entry);
// The entry's "..." button: the picker, starting near what is typed.
void pickCategoryInto(Services& services, QLineEdit& entry);

// Whether `path` fits a wizard's 255-character path entry; a longer one
// would be cut and name another file, so the user is told, with `purpose`
// ("imported", "written", "read").
bool pathFitsEntry(Services& services, const QString& path, const char* purpose);

// The wizard's place and size under `name` in POSITION.INI, restored on
// opening (a place on a screen that is gone is ignored) and kept on closing.
void restoreWizardPlace(QDialog& wizard, PositionStore& positions, const char* name);
void saveWizardPlace(const QDialog& wizard, PositionStore& positions, const char* name);

} // namespace tessaly::gui
