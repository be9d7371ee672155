// The process viewer window "Process Viewer": the device's processes in a
// one-column list, the status text under it and the buttons "&Kill
// Process", "&Cancel" and "&Refresh"; a right-click on a row offers to stop
// that process. It shows ProcessViewerModel. Made once and hidden on close;
// each show starts a new query. Its rectangle is kept as the setting
// "ProcessViewerRect".
//
// Threads: window thread only.
#pragma once

#include "desktop/tools/ProcessViewerModel.h"

#include <QDialog>

class QLabel;
class QMenu;
class QPushButton;
class QTreeView;

namespace tools {

class CProcessViewer : public QDialog {
    Q_OBJECT
public:
    explicit CProcessViewer(QWidget* parent = nullptr);

    ProcessViewerModel* model() { return &m_model; }

    // Shows the window (again) and starts a query.
    void Open();

    // The right-click menu of the row at `position` (list viewport
    // coordinates), shown without waiting; null when no row is there.
    QMenu* ShowRowMenu(const QPoint& position);

    // "&Cancel", Escape and the window's close hide it.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void UpdateButtons();
    void OnSelectionChanged();

    ProcessViewerModel m_model;
    QTreeView* m_list = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_killButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QPushButton* m_refreshButton = nullptr;
};

} // namespace tools
