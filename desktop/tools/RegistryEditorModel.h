// The registry editor without its window: the key tree (one root "Mobile
// Device" over HKEY_CLASSES_ROOT, HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE;
// a key whose sub-keys are not read yet has one placeholder child
// "HIDDEN_TEXT"), the value list of the selected key, the selected path, the
// read-only state, and every command of the window. Device work runs on the
// device session, one request after the other; its outcome comes back here
// and changes the models in place. Messages go through the prompt interface
// (asked off the window thread, so nothing here waits).
//
// Read-only: unless the setting "EditRegistry" holds kUnlockNumber, every
// editing command only emits readOnlyRefused().
//
// Threads: window thread only.
#pragma once

#include "desktop/link/DeviceRegistryTree.h"
#include "desktop/link/DeviceSession.h"
#include "desktop/link/Prompter.h"

#include <QObject>
#include <QPersistentModelIndex>
#include <QStandardItemModel>

#include <functional>
#include <memory>

namespace tools {

namespace regedit {
struct KeyRead;
}

class RegistryEditorModel : public QObject {
    Q_OBJECT
public:
    // The number that "EditRegistry" must hold for the editor to change the
    // device's registry; the read-only explanation tells it to the user.
    static constexpr quint32 kUnlockNumber = 7;

    // Item data of the tree.
    enum TreeRole {
        RootKeyRole = Qt::UserRole + 1, // HKEY of the item's root (0 for "Mobile Device")
        IsRootRole, // the item is "Mobile Device" or one of the three roots
        BranchReadRole, // its sub-keys have been read
        NewKeyRole, // a new key in label editing, not yet on the device
    };
    // Item data of the value list's first column.
    enum ValueRole {
        ValueNameRole = Qt::UserRole + 1, // the stored name ("" for the unnamed value)
        ValueTypeRole, // the registry type
        ValueDataRole, // the bytes
        ValueSetRole, // false for the "(Default)" row of a key without an unnamed value
        ValueImageRole, // the image number of the type
    };

    explicit RegistryEditorModel(QObject* parent = nullptr);
    // Forgets the device work still queued.
    ~RegistryEditorModel() override;

    QStandardItemModel* tree() { return &m_tree; }
    QStandardItemModel* values() { return &m_values; }
    bool readOnly() const { return m_readOnly; }
    bool connected() const { return m_connected; }
    // Device work queued or running.
    bool busy() const { return m_pending > 0; }
    // `m_registryPath`: the root's full name and the path below it.
    QString registryPath() const { return m_registryPath; }
    QModelIndex currentKey() const { return m_current; }
    // The item of a full path when the tree holds it, else invalid.
    QModelIndex IndexOfPath(const QString& path) const;
    // The path of an item ("HKEY_LOCAL_MACHINE\Software"); "" for "Mobile Device".
    QString PathOf(const QModelIndex& index) const;
    // The value list's row names, in order ("(Default)" first).
    QStringList ValueRowNames() const;

    // Builds the roots, reads "EditRegistry" and goes to "RegistryLastVisited".
    void Open();
    // Stores "RegistryLastVisited".
    void Close();

    // ---- Reading ----
    void ExpandKey(const QModelIndex& index);
    // Selection of a key: the path, its sub-keys when unread, its values.
    void SelectKey(const QModelIndex& index);
    // Expands the tree along `path` and selects the deepest existing key.
    void NavigateToThisRegistryKey(const QString& path);
    // Every branch back to unread, then the selected path again.
    void Refresh();
    void RefreshValues();

    // ---- Editing (read-only: readOnlyRefused instead) ----
    // A new key under the selected one, put into label editing
    // (editKeyRequested); FinishNewKey creates it on the device under the
    // name it has then.
    void CreateNewKey();
    void FinishNewKey(const QModelIndex& index);
    // Whether the key of `index` may be renamed (not a root, not read-only:
    // readOnlyRefused then); the window puts it into label editing.
    bool CanRenameKey(const QModelIndex& index);
    // The label edit of a key ended with `newName`: the key is renamed on
    // the device, or its old name comes back with a message.
    void RenameKey(const QModelIndex& index, const QString& oldName, const QString& newName);
    // Asks, then deletes the selected key with its sub-keys.
    void DeleteSelectedKey();
    // The values of `rows`: confirmation first when "RegistryDelete" is 1
    // (deleteValuesConfirmation), else at once.
    void DeleteValues(const QList<int>& rows);
    // The answer of the confirmation: only Yes deletes; `dontAskAgain` with
    // Yes stores "RegistryDelete" = 0.
    void ConfirmDeleteValues(const QList<int>& rows, bool yes, bool dontAskAgain);
    void RenameValue(int row, const QString& newName);
    // The edit dialog's OK: `oldName` is the row's stored name, or null for a
    // new value. Checks the name first (an empty one is refused with a message).
    // True when the value went to the device (the outcome follows later).
    bool SaveValue(
        const QString& oldName, bool isNew, const QString& newName, DWORD type, const QByteArray& data);
    // Whether editing is allowed; emits readOnlyRefused() when not.
    bool CheckWritable();

    // ---- Files ----
    void ExportKey(const QString& fileName);
    void ImportFile(const QString& fileName);

    // ---- Connection ----
    void OnActiveSyncConnected();
    void OnActiveSyncDisconnected();

signals:
    void registryPathChanged(const QString& path);
    // The view should show `index` as the current key.
    void currentKeyChanged(const QModelIndex& index);
    void expandRequested(const QModelIndex& index);
    void editKeyRequested(const QModelIndex& index);
    void deleteValuesConfirmation(const QList<int>& rows);
    void readOnlyRefused();
    void connectedChanged(bool connected);
    // No device work is queued or running any more.
    void idle();

private:
    using Work = std::function<void()>;
    using Done = std::function<void()>;

    void Run(Work work, Done done);
    QStandardItem* ItemOf(const QModelIndex& index) const;
    void ResetBranch(QStandardItem* item);
    void SyncChildren(QStandardItem* item, const QStringList& names, const QVector<bool>& hasSubKeys);
    void LoadKey(const QModelIndex& index, bool branch, bool values);
    void ApplyKeyRead(const QPersistentModelIndex& index, const regedit::KeyRead& read);
    void FillValues(const QVector<devlink::DeviceRegValue>& values);
    void CutBackTo(const QString& missingPath);
    void ReportLost(const QString& path);
    void Tell(const QString& caption, const QString& text, devlink::PromptIcon icon);
    void SetConnected(bool connected);
    void SetPath(const QString& path);
    // Root handle and the path below it of the current key.
    bool CurrentKey(HKEY* root, QString* path) const;

    QStandardItemModel m_tree;
    QStandardItemModel m_values;
    QPersistentModelIndex m_current;
    QString m_registryPath;
    bool m_readOnly = true;
    bool m_connected = true;
    int m_pending = 0;
};

} // namespace tools
