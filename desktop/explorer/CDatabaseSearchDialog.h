// The database search window ("SQLCE database list"): the search path, the
// "skip \Windows" box, "&Search" and "&Cancel", the list of databases found
// and the status line. Double-clicking a row or "OK" asks for the database
// to be opened. The window is made once and only shown and hidden; its
// rectangle is kept as "SearchSDFdlg". A thin widget over
// DatabaseSearchController.
//
// Threads: window thread only.
#pragma once

#include "desktop/explorer/DatabaseSearchController.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;

namespace ui {
class WindowPlacement;
}

namespace explorer {

class CDatabaseSearchDialog : public QDialog {
    Q_OBJECT
public:
    explicit CDatabaseSearchDialog(QWidget* parent = nullptr);

    DatabaseSearchController* controller() { return &m_controller; }
    // Shows the window on `startPath` and starts its search.
    void ShowDatabaseSearch(const QString& startPath);
    void SetConnected(bool connected);

    void accept() override;

signals:
    void openDatabaseRequested(const QString& path);

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void ShowState();

    DatabaseSearchController m_controller;
    QLineEdit* m_path = nullptr;
    QCheckBox* m_skipWindows = nullptr;
    QPushButton* m_search = nullptr;
    QPushButton* m_cancel = nullptr;
    QTreeView* m_list = nullptr;
    QLabel* m_status = nullptr;
    ui::WindowPlacement* m_placement = nullptr;
};

} // namespace explorer
