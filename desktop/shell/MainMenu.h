// Menu 154 of the main window: its menus, items and command numbers, as one
// table that both the window (which builds the menu bar from it) and tests
// read.
//
// Threads: window thread only (BuildMainMenu); the table is plain data.
#pragma once

#include <QList>
#include <QString>

class QAction;
class QMenuBar;

namespace shell {

enum class Command {
    CheckForUpdates = 32784,
    Preferences = 178,
    Run = 32793,
    Exit = 32771,
    ProcessViewer = 32786,
    RegistryEditor = 32787,
    SearchDatabases = 32790,
    CheckLibraries = 32791,
    SoftReset = 32788,
    HardReset = 32789,
    ContactUs = 32785,
    About = 32772,
};

struct MenuItem {
    Command command;
    QString menu; // "Options", "&Tools", "&About"
    QString submenu; // "Reset your device", or empty
    QString text;
    QString objectName; // of the item's QAction
    // What the item's tooltip says while the window it opens is not part of
    // the program yet.
    QString laterWindow;
};

// Every item, in menu order.
const QList<MenuItem>& MainMenuItems();

const MenuItem& MenuItemOf(Command command);

// Fills `bar` with the menus and returns the actions by command, in the
// order of MainMenuItems(). Tooltips of the menus are shown.
QList<QAction*> BuildMainMenu(QMenuBar* bar);

// The tooltip of an item whose window is not built yet.
QString NotYetAvailableTip(const MenuItem& item);

} // namespace shell
