#pragma once

#include <QList>
#include <QString>

class QAction;
class QMainWindow;
class QMdiArea;
class QMenuBar;
class QObject;

namespace tessaly::gui {

// One item of the frame's menus: its menu (and submenu), a name the code
// finds it by, its text with accelerator, shortcut and status-bar message.
struct MenuItem {
    const char* menu;
    const char* submenu; // nullptr for items directly in the menu
    const char* name;
    const char* text;
    const char* shortcut;
    const char* status;
};

// Every item of the frame's menus, in menu order.
const QList<MenuItem>& frameMenuItems();

// Builds the menus into `bar`; every action is named after its item and
// starts disabled until the frame wires it. Separators stand before "E&xit"
// and "&About".
QList<QAction*> buildFrameMenus(QMenuBar* bar, QObject* owner);

// The Window menu ends with an entry per open window of `area`, numbered as
// MDI programs number them, the active one checked; choosing one brings it
// forward.
void listWindowsInMenu(QMenuBar& bar, QMdiArea& area);

// The frame's toolbar: a button for each of the most used items among
// `actions`, enabled with its item.
void buildFrameToolBar(QMainWindow& frame, const QList<QAction*>& actions);

} // namespace tessaly::gui
