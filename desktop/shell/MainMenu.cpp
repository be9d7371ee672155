#include "desktop/shell/MainMenu.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace shell {

const QList<MenuItem>& MainMenuItems()
{
    static const QList<MenuItem> items = {
        { Command::CheckForUpdates, QStringLiteral("Options"), {}, QStringLiteral("Check for updates..."),
            QStringLiteral("checkForUpdatesAction"), QStringLiteral("The online update") },
        { Command::Preferences, QStringLiteral("Options"), {}, QStringLiteral("&Preferences..."),
            QStringLiteral("preferencesAction"), {} },
        { Command::Run, QStringLiteral("Options"), {}, QStringLiteral("&Run..."), QStringLiteral("runAction"),
            {} },
        { Command::Exit, QStringLiteral("Options"), {}, QStringLiteral("E&xit"), QStringLiteral("exitAction"),
            {} },
        { Command::ProcessViewer, QStringLiteral("&Tools"), {}, QStringLiteral("&Process Viewer"),
            QStringLiteral("processViewerAction"), {} },
        { Command::RegistryEditor, QStringLiteral("&Tools"), {}, QStringLiteral("Registry Editor"),
            QStringLiteral("registryEditorAction"), {} },
        { Command::SearchDatabases, QStringLiteral("&Tools"), {},
            QStringLiteral("&Search for all SQLCE databases..."), QStringLiteral("searchDatabasesAction"),
            QStringLiteral("The database search") },
        { Command::CheckLibraries, QStringLiteral("&Tools"), {},
            QStringLiteral("Check device's SQLCE libraries"), QStringLiteral("checkLibrariesAction"),
            QStringLiteral("The engine runtime check") },
        { Command::SoftReset, QStringLiteral("&Tools"), QStringLiteral("Reset your device"),
            QStringLiteral("Soft reset  (safe)"), QStringLiteral("softResetAction"), {} },
        { Command::HardReset, QStringLiteral("&Tools"), QStringLiteral("Reset your device"),
            QStringLiteral("Hard reset (dangerous)"), QStringLiteral("hardResetAction"), {} },
        { Command::ContactUs, QStringLiteral("&About"), {}, QStringLiteral("Contact us..."),
            QStringLiteral("contactUsAction"), {} },
        { Command::About, QStringLiteral("&About"), {}, QStringLiteral("About Quorvane..."),
            QStringLiteral("aboutAction"), {} },
    };
    return items;
}

const MenuItem& MenuItemOf(Command command)
{
    for (const MenuItem& item : MainMenuItems())
        if (item.command == command)
            return item;
    return MainMenuItems().first();
}

QString NotYetAvailableTip(const MenuItem& item)
{
    return item.laterWindow + QStringLiteral(" is not part of this version of Quorvane yet.");
}

QList<QAction*> BuildMainMenu(QMenuBar* bar)
{
    QList<QAction*> actions;
    QMenu* menu = nullptr;
    QMenu* submenu = nullptr;
    for (const MenuItem& item : MainMenuItems()) {
        if (!menu || menu->title() != item.menu) {
            menu = bar->addMenu(item.menu);
            menu->setToolTipsVisible(true);
            submenu = nullptr;
        }
        QMenu* target = menu;
        if (!item.submenu.isEmpty()) {
            if (!submenu || submenu->title() != item.submenu) {
                submenu = menu->addMenu(item.submenu);
                submenu->setObjectName(QStringLiteral("resetMenu"));
                submenu->setToolTipsVisible(true);
            }
            target = submenu;
        }
        QAction* action = target->addAction(item.text);
        action->setObjectName(item.objectName);
        action->setData(int(item.command));
        actions.append(action);
    }
    return actions;
}

} // namespace shell
