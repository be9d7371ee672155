// The editing commands of RegistryEditorModel: new keys, renames, deletions
// and the values of the edit dialog.
#include "desktop/tools/RegistryEditorModel.h"

#include "desktop/link/DeviceLink.h"
#include "desktop/settings/SettingsStore.h"
#include "desktop/tools/RegistryEditorSupport.h"
#include "desktop/tools/RegistryText.h"
#include "desktop/ui/PromptFromWindow.h"
#include "platform/rapi/Rapi.h"

namespace tools {

using namespace regedit;

bool RegistryEditorModel::CheckWritable()
{
    if (m_readOnly)
        emit readOnlyRefused();
    return !m_readOnly;
}

void RegistryEditorModel::CreateNewKey()
{
    HKEY root = 0;
    QString path;
    if (!CheckWritable() || !CurrentKey(&root, &path))
        return;
    // The name is chosen from the device's own list of sub-keys, which the
    // tree shows afterwards.
    auto read = std::make_shared<KeyRead>();
    read->branch = true;
    read->path = m_registryPath;
    const QPersistentModelIndex target = m_current;
    Run([read, root, path] { ReadKey(root, path, read.get()); },
        [this, read, target, root] {
            ApplyKeyRead(target, *read);
            QStandardItem* item = ItemOf(target);
            if (read->lost || read->result != 0 || !item)
                return;
            QStringList taken = read->subKeys;
            for (int row = 0; row < item->rowCount(); ++row)
                taken.append(item->child(row)->text());
            const QString name = NewKeyName(taken);
            if (name.isEmpty())
                return;
            QStandardItem* created = MakeKeyItem(name, root, false);
            created->setData(true, NewKeyRole);
            created->setEditable(true);
            item->appendRow(created);
            emit expandRequested(item->index());
            emit editKeyRequested(created->index());
        });
}

void RegistryEditorModel::FinishNewKey(const QModelIndex& index)
{
    QStandardItem* item = ItemOf(index);
    if (!item || !item->data(NewKeyRole).toBool())
        return;
    const QModelIndex parentIndex = index.parent();
    QString name = item->text().trimmed();
    QStringList siblings;
    for (int row = 0; row < item->parent()->rowCount(); ++row)
        if (item->parent()->child(row) != item)
            siblings.append(item->parent()->child(row)->text());
    // An empty name, a path separator or a sibling's name would make another
    // key than the one shown: the numbered name stands instead.
    if (name.isEmpty() || name.contains(QLatin1Char('\\')) || siblings.contains(name, Qt::CaseInsensitive))
        name = NewKeyName(siblings);
    item->setText(name);
    item->setData(false, NewKeyRole);
    item->setEditable(false);
    devlink::TraceLine(QStringLiteral("New registry key name: %1\r\n").arg(name));
    const HKEY root = item->data(RootKeyRole).toUInt();
    const QString path = PathOf(index).section(QLatin1Char('\\'), 1);
    auto result = std::make_shared<LONG>(0);
    const QPersistentModelIndex created(index);
    Run(
        [result, root, path] {
            const std::u16string name = U(path);
            HKEY key = 0;
            DWORD disposition = 0;
            *result = CeRegCreateKeyEx(root, name.c_str(), 0, nullptr, 0, 0, nullptr, &key, &disposition);
            if (*result == 0)
                CeRegCloseKey(key);
        },
        [this, result, created, parentIndex, path] {
            if (*result != 0) {
                Tell(QStringLiteral("Error"),
                    QStringLiteral("Unable to create registry key: \"%1\".\r\nError from device: %2\r\n")
                        .arg(path, ErrorText(*result)),
                    devlink::PromptIcon::Error);
                if (created.isValid())
                    m_tree.removeRow(created.row(), created.parent());
                return;
            }
            if (created.isValid())
                SelectKey(created);
        });
}

bool RegistryEditorModel::CanRenameKey(const QModelIndex& index)
{
    QStandardItem* item = ItemOf(index);
    if (!item || item->data(IsRootRole).toBool() || item->data(NewKeyRole).toBool())
        return false;
    return CheckWritable();
}

void RegistryEditorModel::RenameKey(const QModelIndex& index, const QString& oldName, const QString& newName)
{
    QStandardItem* item = ItemOf(index);
    if (!item || newName == oldName || !CheckWritable())
        return;
    const HKEY root = item->data(RootKeyRole).toUInt();
    const QString full = PathOf(index).section(QLatin1Char('\\'), 0, -2) + QLatin1Char('\\') + oldName;
    const QString path = full.section(QLatin1Char('\\'), 1);
    devlink::TraceLine(QStringLiteral("Rename registry key \"%1\" to \"%2\"\r\n").arg(full, newName));
    auto result = std::make_shared<LONG>(0);
    const QPersistentModelIndex target(index);
    Run([result, root, path, newName] { *result = devlink::RenameDeviceRegKey(root, path, newName); },
        [this, result, target, oldName, newName] {
            QStandardItem* item = ItemOf(target);
            if (*result != 0) {
                Tell(QStringLiteral("Error"),
                    QStringLiteral("Unable to rename registry key \"%1\" to \"%2\"\r\n")
                        .arg(oldName, newName),
                    devlink::PromptIcon::Error);
                if (item)
                    item->setText(oldName);
                return;
            }
            if (!item)
                return;
            // What lies below is read again under the new name.
            if (!item->data(BranchReadRole).toBool() || item->rowCount() > 0)
                ResetBranch(item);
            SelectKey(target);
        });
}

void RegistryEditorModel::DeleteSelectedKey()
{
    QStandardItem* item = ItemOf(m_current);
    if (!CheckWritable() || !item || item->data(IsRootRole).toBool())
        return;
    const QString full = m_registryPath;
    devlink::PromptRequest question;
    question.caption = QStringLiteral("Quorvane");
    question.text
        = QStringLiteral("This will delete the following registry key, and any subkeys.\r\n\r\n%1\r\n\r\n"
                         "Are you sure ?\r\n")
              .arg(full);
    question.icon = devlink::PromptIcon::Question;
    question.buttons = devlink::PromptButtons::YesNoCancel;
    question.owner = parent() ? parent() : this;
    const QPersistentModelIndex target = m_current;
    ui::AskFromWindow(question, this, [this, target, full](devlink::PromptAnswer answer) {
        QStandardItem* item = ItemOf(target);
        if (answer != devlink::PromptAnswer::Yes || !item)
            return;
        devlink::TraceLine(QStringLiteral("Deleting \"%1\"..").arg(full));
        const HKEY root = item->data(RootKeyRole).toUInt();
        const QString below = full.section(QLatin1Char('\\'), 1);
        const QString parentPath = below.section(QLatin1Char('\\'), 0, -2);
        const QString name = below.section(QLatin1Char('\\'), -1);
        auto result = std::make_shared<LONG>(0);
        Run(
            [result, root, parentPath, name] {
                HKEY parentKey = 0;
                bool lost = false;
                *result = OpenEditorKey(root, parentPath, &parentKey, &lost);
                if (*result != 0)
                    return;
                const std::u16string subKey = U(name);
                *result = CeRegDeleteKey(parentKey, subKey.c_str());
                CeRegCloseKey(parentKey);
            },
            [this, result, target] {
                const QPersistentModelIndex parentIndex = target.parent();
                if (*result != 0) {
                    Tell(QStringLiteral("Error"), QStringLiteral("Could not delete this registry key."),
                        devlink::PromptIcon::Error);
                    // Part of the subtree may be gone: read again what is left.
                    if (QStandardItem* item = ItemOf(target); item && item->data(RootKeyRole).toUInt()) {
                        ResetBranch(item);
                        if (target == m_current)
                            SelectKey(target);
                    }
                    return;
                }
                if (target.isValid())
                    m_tree.removeRow(target.row(), parentIndex);
                SelectKey(parentIndex);
            });
    });
}

void RegistryEditorModel::DeleteValues(const QList<int>& rows)
{
    if (rows.isEmpty() || !CheckWritable())
        return;
    quint32 confirm = 1;
    settings::ReadDword(QStringLiteral("RegistryDelete"), &confirm);
    if (confirm == 1)
        emit deleteValuesConfirmation(rows);
    else
        ConfirmDeleteValues(rows, true, false);
}

void RegistryEditorModel::ConfirmDeleteValues(const QList<int>& rows, bool yes, bool dontAskAgain)
{
    HKEY root = 0;
    QString path;
    if (!yes || !CheckWritable() || !CurrentKey(&root, &path))
        return;
    if (dontAskAgain)
        settings::WriteDword(QStringLiteral("RegistryDelete"), 0);
    QStringList names;
    for (int row : rows)
        if (QStandardItem* item = m_values.item(row, 0))
            names.append(item->data(ValueNameRole).toString());
    if (names.isEmpty())
        return;
    auto deleted = std::make_shared<int>(0);
    Run(
        [deleted, root, path, names] {
            HKEY key = 0;
            bool lost = false;
            if (OpenEditorKey(root, path, &key, &lost) != 0)
                return;
            for (const QString& name : names) {
                devlink::TraceLine(
                    QStringLiteral("Deleting %1...\r\n").arg(name.isEmpty() ? kDefaultRow : name));
                const std::u16string valueName = U(name);
                if (CeRegDeleteValue(key, valueName.c_str()) == 0)
                    ++*deleted;
            }
            CeRegCloseKey(key);
        },
        [this, deleted, count = int(names.size())] {
            if (*deleted < count)
                Tell(QStringLiteral("Quorvane"),
                    *deleted == 0
                        ? QStringLiteral("Warning: None of the %1 values could be deleted.").arg(count)
                        : QStringLiteral("Warning: Only %1 of the %2 values could be deleted.")
                              .arg(*deleted)
                              .arg(count),
                    devlink::PromptIcon::Information);
            RefreshValues();
        });
}

void RegistryEditorModel::RenameValue(int row, const QString& newName)
{
    HKEY root = 0;
    QString path;
    QStandardItem* item = m_values.item(row, 0);
    if (!item || !CheckWritable() || !CurrentKey(&root, &path))
        return;
    const QString oldName = item->data(ValueNameRole).toString();
    if (newName == oldName)
        return;
    devlink::TraceLine(QStringLiteral("Rename registry value \"%1\" to \"%2\"\r\n").arg(oldName, newName));
    auto ok = std::make_shared<bool>(false);
    Run(
        [ok, root, path, oldName, newName] {
            HKEY key = 0;
            bool lost = false;
            if (newName.isEmpty() || OpenEditorKey(root, path, &key, &lost) != 0)
                return;
            const std::u16string from = U(oldName), to = U(newName);
            devlink::DeviceRegValue value;
            DWORD size = 0;
            // Renaming onto another value would destroy it: refused.
            const bool taken = newName.compare(oldName, Qt::CaseInsensitive) != 0
                && CeRegQueryValueEx(key, to.c_str(), nullptr, nullptr, nullptr, &size) == 0;
            const LONG read = taken
                ? LONG(ERROR_ALREADY_EXISTS)
                : devlink::ReadSizedValue(
                    [&](BYTE* data, DWORD* bytes) {
                        return CeRegQueryValueEx(key, from.c_str(), nullptr, &value.type, data, bytes);
                    },
                    &value.data);
            if (read == 0) {
                const bool sameName = newName.compare(oldName, Qt::CaseInsensitive) == 0;
                // A change of case only: the old spelling must go first.
                if (sameName)
                    CeRegDeleteValue(key, from.c_str());
                *ok = CeRegSetValueEx(key, to.c_str(), 0, value.type,
                          reinterpret_cast<const BYTE*>(value.data.constData()), DWORD(value.data.size()))
                    == 0;
                if (*ok && !sameName)
                    *ok = CeRegDeleteValue(key, from.c_str()) == 0;
            }
            CeRegCloseKey(key);
        },
        [this, ok, oldName, newName] {
            if (!*ok)
                Tell(QStringLiteral("Error"),
                    QStringLiteral("Unable to rename registry value \"%1\" to \"%2\"\r\n")
                        .arg(oldName, newName),
                    devlink::PromptIcon::Error);
            RefreshValues();
        });
}

bool RegistryEditorModel::SaveValue(
    const QString& oldName, bool isNew, const QString& newName, DWORD type, const QByteArray& data)
{
    HKEY root = 0;
    QString path;
    if (!CheckWritable() || !CurrentKey(&root, &path))
        return false;
    if (newName.isEmpty() && (isNew || !oldName.isEmpty())) {
        Tell(QStringLiteral("Quorvane"), QStringLiteral("Please enter a name for this new Registry Value."),
            devlink::PromptIcon::None);
        return false;
    }
    const QString stored = newName == kDefaultRow ? QString() : newName;
    const bool renamed = !isNew && stored.compare(oldName, Qt::CaseInsensitive) != 0;
    // A new or renamed value must not replace another one without a word.
    if ((isNew || renamed) && ValueRowNames().contains(newName, Qt::CaseInsensitive)) {
        Tell(QStringLiteral("Quorvane"),
            QStringLiteral("A value named \"%1\" already exists in this key.").arg(newName),
            devlink::PromptIcon::Information);
        return false;
    }
    struct Outcome {
        bool opened = false;
        LONG result = 0;
    };
    auto outcome = std::make_shared<Outcome>();
    Run(
        [outcome, root, path, oldName, stored, renamed, type, data] {
            HKEY key = 0;
            bool lost = false;
            outcome->result = OpenEditorKey(root, path, &key, &lost);
            if (outcome->result != 0)
                return;
            outcome->opened = true;
            // Written before anything is deleted: a failed write loses nothing.
            const std::u16string name = U(stored);
            outcome->result = CeRegSetValueEx(key, name.c_str(), 0, type,
                reinterpret_cast<const BYTE*>(data.constData()), DWORD(data.size()));
            if (outcome->result == 0 && renamed) {
                const std::u16string old = U(oldName);
                CeRegDeleteValue(key, old.c_str());
            }
            CeRegCloseKey(key);
        },
        [this, outcome, full = m_registryPath, stored] {
            if (!outcome->opened)
                Tell(QStringLiteral("Error"), QStringLiteral("Unable to open registry key:\r\n%1").arg(full),
                    devlink::PromptIcon::Error);
            else if (outcome->result != 0)
                Tell(QStringLiteral("Error"),
                    QStringLiteral("Unable to set registry value: %1\r\nError: %2")
                        .arg(stored.isEmpty() ? kDefaultRow : stored, ErrorText(outcome->result)),
                    devlink::PromptIcon::Information);
            RefreshValues();
        });
    return true;
}

// ---- Files -----------------------------------------------------------------

} // namespace tools
