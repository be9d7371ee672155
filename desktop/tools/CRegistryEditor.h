// The window "Registry editor": the device's keys in a tree on the left, the
// values of the selected key on the right, a splitter between them, the
// selected key's path below and "Read-Only" while the editor may not change
// anything. It shows RegistryEditorModel and forwards the user's commands to
// it: the context menus of tree and list, the keys (tree: F5 refresh,
// F2 rename, Delete, Right arrow; list: F5, F2 rename, Delete, Enter or double click
// edits), and the menu with export and import of a key as a ".reg" file
// and the search (Ctrl+F, F3 for the next match).
//
// Settings: "RegistryEditorWindow" (rectangle), "RegistryEditorPercent"
// (the tree's share of the width, "%.02f"), and the model's own.
//
// Threads: window thread only.
#pragma once

#include "desktop/tools/RegistryEditorModel.h"
#include "desktop/tools/RegistryFind.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QMenu;
class QSplitter;
class QTreeView;

namespace tools {

class CRegistryEditor : public QDialog {
    Q_OBJECT
public:
    // `standalone`: the program's only window ("-registry").
    explicit CRegistryEditor(bool standalone, QWidget* parent = nullptr);
    ~CRegistryEditor() override;

    RegistryEditorModel* model() { return &m_model; }
    RegistryFind* finder() { return &m_find; }

    // Shows the window when hidden, hides it when shown (the main window's
    // "Registry Editor" command).
    void Toggle();

    void OnActiveSyncConnected() { m_model.OnActiveSyncConnected(); }
    void OnActiveSyncDisconnected() { m_model.OnActiveSyncDisconnected(); }
    void NavigateToThisRegistryKey(const QString& path) { m_model.NavigateToThisRegistryKey(path); }

    // The context menus, shown without waiting (tests pick their actions).
    QMenu* ShowTreeMenu(const QPoint& position);
    QMenu* ShowListMenu(const QPoint& position);

    // Opens the edit dialog for a value row, or for a new value of `type`.
    void EditValue(int row);
    void NewValue(DWORD type);
    // The menu's commands.
    void ExportKey();
    void ImportFile();
    void ShowFind();
    void FindNext();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void BuildMenu(QLayout* layout);
    void OnCurrentKeyChanged(const QModelIndex& index);
    void OnTreeSelection(const QModelIndex& index);
    void OnConnectedChanged(bool connected);
    void ConfirmDeleteValues(const QList<int>& rows);
    void ShowReadOnly();
    void EditNewKey(const QModelIndex& index);
    // F2 on the tree: label editing of the selected key.
    void RenameCurrentKey();
    void OnFound(const QString& keyPath, const QString& valueName);
    QList<int> SelectedValueRows() const;
    void SaveSplitter();

    RegistryEditorModel m_model;
    RegistryFind m_find;
    bool m_standalone;
    QTreeView* m_tree = nullptr;
    QTreeView* m_list = nullptr;
    QLineEdit* m_path = nullptr;
    QLabel* m_readOnlyLabel = nullptr;
    QLabel* m_status = nullptr;
    QSplitter* m_splitter = nullptr;
    QPersistentModelIndex m_newKey;
    QPersistentModelIndex m_renamedKey;
    QString m_renamedFrom;
    QString m_pendingValueSelection;
    bool m_splitterRestored = false;
};

} // namespace tools
