#pragma once

#include <QIcon>
#include <QString>

namespace tessaly::gui {

// An icon of the desktop theme when it has one of that meaning, else ours
// (":/icons/<ours>.svg"), so the program looks at home on any desktop.
QIcon themedIcon(const QString& themeName, const QString& ours);

// Makes the program's built-in icons and help available (once).
void ensureResources();

// The program's own icon.
QIcon programIcon();

} // namespace tessaly::gui
