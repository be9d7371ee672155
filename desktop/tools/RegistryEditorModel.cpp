#include "desktop/tools/RegistryEditorModel.h"

#include "desktop/link/DeviceLink.h"
#include "desktop/settings/SettingsStore.h"
#include "desktop/tools/RegistryText.h"
#include "desktop/ui/PromptFromWindow.h"
#include "platform/rapi/Rapi.h"

namespace tools {
namespace {

const QString kTopName = QStringLiteral("Mobile Device");
const QString kPlaceholder = QStringLiteral("HIDDEN_TEXT");
const QString kDefaultRow = QStringLiteral("(Default)");
constexpr HKEY kRoots[] = { HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE };

QString Join(const QString& path, const QString& name)
{
    return path.isEmpty() ? name : path + QLatin1Char('\\') + name;
}

std::u16string U(const QString& text)
{
    return devlink::DevicePath(text);
}

// Opens a device key for the editor. A failure while the device no longer
// answers at all is a lost connection: one reconnect, then the open again.
// *lost tells that the reconnect failed.
LONG OpenEditorKey(HKEY root, const QString& path, HKEY* key, bool* lost)
{
    const std::u16string name = U(path);
    LONG result = CeRegOpenKeyEx(root, name.c_str(), 0, 0, key);
    if (result == 0)
        return 0;
    const std::u16string windows = U(QStringLiteral("\\Windows"));
    if (CeGetFileAttributes(windows.c_str()) != INVALID_FILE_ATTRIBUTES)
        return result;
    devlink::UninitRapi();
    if (!devlink::ConnectWithRetries()) {
        *lost = true;
        return result;
    }
    return CeRegOpenKeyEx(root, name.c_str(), 0, 0, key);
}

// The device's text for a registry result; the transport's when it broke.
QString ErrorText(LONG result)
{
    const HRESULT transport = CeRapiGetError();
    return devlink::DeviceErrorText(transport != S_OK ? DWORD(transport) : DWORD(result));
}

// The sub-keys of an open key, each with whether it has sub-keys itself
// (so that the tree can offer to expand it).
LONG ReadBranch(HKEY root, const QString& path, HKEY key, QStringList* names, QVector<bool>* hasSubKeys)
{
    const LONG result = devlink::ReadRegSubKeys(key, names);
    for (const QString& sub : *names) {
        DWORD count = 0;
        devlink::CountRegSubKeys(root, Join(path, sub), &count);
        hasSubKeys->append(count > 0);
    }
    return result;
}

QStandardItem* MakeKeyItem(const QString& name, HKEY root, bool hasSubKeys)
{
    auto* item = new QStandardItem(name);
    item->setData(root, RegistryEditorModel::RootKeyRole);
    item->setData(false, RegistryEditorModel::IsRootRole);
    item->setData(!hasSubKeys, RegistryEditorModel::BranchReadRole);
    item->setEditable(false);
    if (hasSubKeys)
        item->appendRow(new QStandardItem(kPlaceholder));
    return item;
}

} // namespace

// What one read of a key brought back.
struct RegistryEditorModel::KeyRead {
    LONG result = 0;
    bool lost = false;
    bool branch = false;
    bool values = false;
    QString path; // full path
    QStringList subKeys;
    QVector<bool> hasSubKeys;
    QVector<devlink::DeviceRegValue> valueList;
};

namespace {

// Opens key `path` below `root` and reads what `read` asks for: its
// sub-keys, its values.
void ReadKey(HKEY root, const QString& path, RegistryEditorModel::KeyRead* read)
{
    HKEY key = 0;
    read->result = OpenEditorKey(root, path, &key, &read->lost);
    if (read->result != 0)
        return;
    if (read->branch)
        read->result = ReadBranch(root, path, key, &read->subKeys, &read->hasSubKeys);
    if (read->result == 0 && read->values)
        read->result = devlink::ReadRegValues(key, &read->valueList);
    CeRegCloseKey(key);
}

} // namespace

RegistryEditorModel::RegistryEditorModel(QObject* parent)
    : QObject(parent)
    , m_values(0, 3)
{
    m_values.setHorizontalHeaderLabels(
        { QStringLiteral("Name"), QStringLiteral("Type"), QStringLiteral("Data") });
}

RegistryEditorModel::~RegistryEditorModel()
{
    devlink::DeviceSession::Instance().Forget(this);
}

void RegistryEditorModel::Run(Work work, Done done)
{
    ++m_pending;
    devlink::DeviceSession::Instance().Start(
        this, [work](devlink::RequestContext&) { work(); },
        [this, done](devlink::RequestEnd end) {
            if (end == devlink::RequestEnd::Ran && done)
                done();
            if (--m_pending == 0)
                emit idle();
        });
}

void RegistryEditorModel::Tell(const QString& caption, const QString& text, devlink::PromptIcon icon)
{
    ui::TellFromWindow(parent() ? parent() : this, caption, text, icon);
}

void RegistryEditorModel::Open()
{
    m_tree.clear();
    auto* top = new QStandardItem(kTopName);
    top->setData(0u, RootKeyRole);
    top->setData(true, IsRootRole);
    top->setData(true, BranchReadRole);
    top->setEditable(false);
    for (HKEY root : kRoots) {
        QStandardItem* item = MakeKeyItem(devlink::RegRootName(root), root, true);
        item->setData(true, IsRootRole);
        top->appendRow(item);
    }
    m_tree.appendRow(top);
    emit expandRequested(top->index());

    // A first use of the device (the stand-alone editor) connects first.
    Run(
        [] {
            if (!devlink::IsConnected())
                devlink::ConnectWithRetries();
        },
        {});

    quint32 unlock = 0;
    m_readOnly = !(settings::ReadDword(QStringLiteral("EditRegistry"), &unlock) && unlock == kUnlockNumber);

    QString last;
    if (settings::ReadString(QStringLiteral("RegistryLastVisited"), &last) && !last.isEmpty())
        NavigateToThisRegistryKey(last);
}

void RegistryEditorModel::Close()
{
    if (!m_registryPath.isEmpty())
        settings::WriteString(QStringLiteral("RegistryLastVisited"), m_registryPath);
}

QStandardItem* RegistryEditorModel::ItemOf(const QModelIndex& index) const
{
    return index.isValid() ? m_tree.itemFromIndex(index.siblingAtColumn(0)) : nullptr;
}

QString RegistryEditorModel::PathOf(const QModelIndex& index) const
{
    QStringList parts;
    for (QModelIndex at = index; at.isValid() && at.parent().isValid(); at = at.parent())
        parts.prepend(at.data().toString());
    return parts.join(QLatin1Char('\\'));
}

QModelIndex RegistryEditorModel::IndexOfPath(const QString& path) const
{
    QStandardItem* item = m_tree.item(0);
    const QStringList parts = path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        QStandardItem* found = nullptr;
        for (int row = 0; item && row < item->rowCount() && !found; ++row)
            if (item->child(row)->text().compare(part, Qt::CaseInsensitive) == 0)
                found = item->child(row);
        item = found;
    }
    return item ? item->index() : QModelIndex();
}

bool RegistryEditorModel::CurrentKey(HKEY* root, QString* path) const
{
    QStandardItem* item = ItemOf(m_current);
    if (!item || !item->data(RootKeyRole).toUInt())
        return false;
    *root = item->data(RootKeyRole).toUInt();
    const QString full = PathOf(m_current);
    const qsizetype slash = full.indexOf(QLatin1Char('\\'));
    *path = slash < 0 ? QString() : full.mid(slash + 1);
    return true;
}

QStringList RegistryEditorModel::ValueRowNames() const
{
    QStringList names;
    for (int row = 0; row < m_values.rowCount(); ++row)
        names.append(m_values.item(row, 0)->text());
    return names;
}

void RegistryEditorModel::SetPath(const QString& path)
{
    m_registryPath = path;
    settings::WriteString(QStringLiteral("RegistryLastVisited"), path);
    emit registryPathChanged(path);
}

void RegistryEditorModel::SetConnected(bool connected)
{
    if (connected == m_connected)
        return;
    m_connected = connected;
    emit connectedChanged(connected);
}

// ---- Reading ---------------------------------------------------------------

void RegistryEditorModel::ResetBranch(QStandardItem* item)
{
    item->removeRows(0, item->rowCount());
    item->appendRow(new QStandardItem(kPlaceholder));
    item->setData(false, BranchReadRole);
}

void RegistryEditorModel::SyncChildren(
    QStandardItem* item, const QStringList& names, const QVector<bool>& hasSubKeys)
{
    // Items of keys that are still there stay (with their own branches);
    // the placeholder and keys gone from the device go.
    for (int row = item->rowCount() - 1; row >= 0; --row) {
        QStandardItem* child = item->child(row);
        if (child->data(NewKeyRole).toBool())
            continue;
        if (child->data(RootKeyRole).isNull() || !names.contains(child->text(), Qt::CaseInsensitive))
            item->removeRow(row);
    }
    const HKEY root = item->data(RootKeyRole).toUInt();
    for (qsizetype i = 0; i < names.size(); ++i) {
        bool present = false;
        for (int row = 0; row < item->rowCount() && !present; ++row)
            present = item->child(row)->text().compare(names[i], Qt::CaseInsensitive) == 0;
        if (!present)
            item->insertRow(int(i), MakeKeyItem(names[i], root, hasSubKeys.value(i)));
    }
    item->setData(true, BranchReadRole);
}

void RegistryEditorModel::ExpandKey(const QModelIndex& index)
{
    QStandardItem* item = ItemOf(index);
    if (!item || !item->data(RootKeyRole).toUInt())
        return;
    if (item->data(BranchReadRole).toBool()) {
        devlink::TraceLine(
            QStringLiteral("OnItemexpandingRegtree(): No need to expand \"%1\"..\r\n").arg(PathOf(index)));
        emit expandRequested(index);
        return;
    }
    LoadKey(index, true, false);
}

void RegistryEditorModel::SelectKey(const QModelIndex& index)
{
    QStandardItem* item = ItemOf(index);
    // A new key in label editing is not on the device yet.
    if (!item || item->data(NewKeyRole).toBool())
        return;
    m_current = item->index();
    SetPath(PathOf(m_current));
    emit currentKeyChanged(m_current);
    if (!item->data(RootKeyRole).toUInt()) {
        m_values.removeRows(0, m_values.rowCount());
        return;
    }
    LoadKey(m_current, !item->data(BranchReadRole).toBool(), true);
}

void RegistryEditorModel::LoadKey(const QModelIndex& index, bool branch, bool values)
{
    const QPersistentModelIndex target(index);
    const HKEY root = ItemOf(index)->data(RootKeyRole).toUInt();
    const QString full = PathOf(index);
    const QString path = full.section(QLatin1Char('\\'), 1);
    if (branch)
        devlink::TraceLine(QStringLiteral("Enumerating keys in: \"%1\"  (Tree Branch: %2)...\r\n")
                               .arg(path, index.data().toString()));
    if (values)
        devlink::TraceLine(QStringLiteral("Enumerating values in: \"%1\"...\r\n").arg(full));
    auto read = std::make_shared<KeyRead>();
    read->branch = branch;
    read->values = values;
    read->path = full;
    Run([read, root, path] { ReadKey(root, path, read.get()); },
        [this, target, read] { ApplyKeyRead(target, *read); });
}

void RegistryEditorModel::ApplyKeyRead(const QPersistentModelIndex& index, const KeyRead& read)
{
    if (read.lost) {
        ReportLost(read.path);
        return;
    }
    if (read.result == LONG(ERROR_FILE_NOT_FOUND)) {
        if (read.values)
            Tell(QStringLiteral("Error"),
                QStringLiteral(
                    "Cannot find the registry key: %1.\r\nThis registry key may have been moved or deleted.")
                    .arg(read.path),
                devlink::PromptIcon::Information);
        CutBackTo(read.path);
        return;
    }
    if (read.result != 0) {
        Tell(QStringLiteral("Error"),
            QStringLiteral("Unable to open registry key: \"%1\".\r\nError from device: %2\r\n")
                .arg(read.path, ErrorText(read.result)),
            devlink::PromptIcon::Error);
        return;
    }
    SetConnected(true);
    QStandardItem* item = ItemOf(index);
    if (!item)
        return;
    if (read.branch) {
        SyncChildren(item, read.subKeys, read.hasSubKeys);
        emit expandRequested(item->index());
    }
    if (read.values && index == m_current)
        FillValues(read.valueList);
}

void RegistryEditorModel::FillValues(const QVector<devlink::DeviceRegValue>& values)
{
    m_values.removeRows(0, m_values.rowCount());
    const auto addRow = [this](const QString& shown, const devlink::DeviceRegValue* value, bool renamable) {
        const DWORD type = value ? value->type : REG_SZ;
        auto* name = new QStandardItem(shown);
        name->setEditable(renamable);
        name->setData(value ? value->name : QString(), ValueNameRole);
        name->setData(uint(type), ValueTypeRole);
        name->setData(value ? value->data : QByteArray(), ValueDataRole);
        name->setData(value != nullptr, ValueSetRole);
        name->setData(ValueImage(type), ValueImageRole);
        name->setIcon(ValueIcon(ValueImage(type)));
        auto* typeItem = new QStandardItem(RegTypeText(type));
        auto* data
            = new QStandardItem(value ? RegDataText(type, value->data) : QStringLiteral("(value not set)"));
        typeItem->setEditable(false);
        data->setEditable(false);
        m_values.appendRow({ name, typeItem, data });
    };
    // The unnamed value, or one named "default", fills the first row.
    const devlink::DeviceRegValue* unnamed = nullptr;
    for (const devlink::DeviceRegValue& value : values)
        if (!unnamed
            && (value.name.isEmpty()
                || value.name.compare(QLatin1String("default"), Qt::CaseInsensitive) == 0))
            unnamed = &value;
    // The "(Default)" row cannot be renamed.
    addRow(kDefaultRow, unnamed, false);
    for (const devlink::DeviceRegValue& value : values)
        if (&value != unnamed)
            addRow(value.name, &value, true);
}

void RegistryEditorModel::CutBackTo(const QString& missingPath)
{
    // The nearest parent that the tree holds is read again, so that the tree
    // shows what is really left, and navigation selects the deepest key
    // that still exists.
    QString parent = missingPath.section(QLatin1Char('\\'), 0, -2);
    QModelIndex index = IndexOfPath(parent);
    while (!index.isValid() && parent.contains(QLatin1Char('\\'))) {
        parent = parent.section(QLatin1Char('\\'), 0, -2);
        index = IndexOfPath(parent);
    }
    if (QStandardItem* item = ItemOf(index); item && item->data(RootKeyRole).toUInt())
        item->setData(false, BranchReadRole);
    NavigateToThisRegistryKey(parent.isEmpty() ? missingPath.section(QLatin1Char('\\'), 0, 0) : parent);
}

void RegistryEditorModel::ReportLost(const QString& path)
{
    Tell(QStringLiteral("Error"),
        QStringLiteral(
            "Unable to open registry key: \"%1\".\r\nCould not connect to device via ActiveSync.\r\n")
            .arg(path),
        devlink::PromptIcon::Error);
    SetConnected(false);
}

void RegistryEditorModel::NavigateToThisRegistryKey(const QString& path)
{
    devlink::TraceLine(QStringLiteral("\r\nNavigateToThisRegistryKey: %1\r\n\r\n").arg(path));
    QStringList parts = path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return;
    HKEY root = 0;
    QString below;
    // Only a root's full name starts a path.
    if (!devlink::SplitRegKeyPath(parts.first(), &root, &below)
        || devlink::RegRootName(root).compare(parts.first(), Qt::CaseInsensitive) != 0)
        return;
    parts.removeFirst();
    struct Level {
        QString path; // below the root, as stored
        QStringList subKeys;
        QVector<bool> hasSubKeys;
    };
    struct Walk {
        LONG result = 0;
        bool lost = false;
        QVector<Level> levels;
    };
    auto walk = std::make_shared<Walk>();
    Run(
        [walk, root, parts] {
            QString at;
            for (qsizetype depth = 0; depth <= parts.size(); ++depth) {
                devlink::TraceLine(QStringLiteral("Opening %1..\r\n").arg(at));
                HKEY key = 0;
                const LONG result = OpenEditorKey(root, at, &key, &walk->lost);
                if (result != 0) {
                    if (depth == 0)
                        walk->result = result;
                    return;
                }
                Level level;
                level.path = at;
                ReadBranch(root, at, key, &level.subKeys, &level.hasSubKeys);
                CeRegCloseKey(key);
                walk->levels.append(level);
                if (depth == parts.size())
                    return;
                qsizetype found = -1;
                for (qsizetype i = 0; i < level.subKeys.size() && found < 0; ++i)
                    if (level.subKeys[i].compare(parts[depth], Qt::CaseInsensitive) == 0)
                        found = i;
                if (found < 0)
                    return;
                at = Join(at, level.subKeys[found]);
            }
        },
        [this, walk, root] {
            const QString rootName = devlink::RegRootName(root);
            if (walk->lost) {
                ReportLost(rootName);
                return;
            }
            if (walk->result != 0) {
                Tell(QStringLiteral("Error"),
                    QStringLiteral("Unable to open registry key: \"%1\".\r\nError from device: %2\r\n")
                        .arg(rootName, ErrorText(walk->result)),
                    devlink::PromptIcon::Error);
                return;
            }
            SetConnected(true);
            QModelIndex deepest;
            for (const Level& level : walk->levels) {
                const QModelIndex index = IndexOfPath(Join(rootName, level.path));
                QStandardItem* item = ItemOf(index);
                if (!item)
                    break;
                SyncChildren(item, level.subKeys, level.hasSubKeys);
                emit expandRequested(index);
                deepest = index;
            }
            if (deepest.isValid())
                SelectKey(deepest);
        });
}

void RegistryEditorModel::Refresh()
{
    devlink::TraceLine(QStringLiteral("Refresh registry tree.\r\n"));
    QStandardItem* top = m_tree.item(0);
    if (!top)
        return;
    for (int row = 0; row < top->rowCount(); ++row)
        ResetBranch(top->child(row));
    const QString path = m_registryPath;
    m_current = QPersistentModelIndex();
    if (path.contains(QLatin1Char('\\')) || IndexOfPath(path).isValid())
        NavigateToThisRegistryKey(path);
}

void RegistryEditorModel::RefreshValues()
{
    if (ItemOf(m_current) && ItemOf(m_current)->data(RootKeyRole).toUInt())
        LoadKey(m_current, false, true);
}

// ---- Editing ---------------------------------------------------------------

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

void RegistryEditorModel::ExportKey(const QString& fileName)
{
    HKEY root = 0;
    QString path;
    if (!CurrentKey(&root, &path))
        return;
    auto why = std::make_shared<QString>();
    auto ok = std::make_shared<bool>(false);
    Run([=] { *ok = devlink::ExportDeviceRegKey(root, path, fileName, why.get()); },
        [this, ok, why] {
            if (!*ok)
                Tell(QStringLiteral("Error"), *why, devlink::PromptIcon::Error);
        });
}

void RegistryEditorModel::ImportFile(const QString& fileName)
{
    if (!CheckWritable())
        return;
    auto why = std::make_shared<QString>();
    auto ok = std::make_shared<bool>(false);
    Run(
        [=] {
            devlink::RegImportReport report;
            *ok = devlink::ImportDeviceRegFile(fileName, &report, why.get());
        },
        [this, ok, why] {
            if (!*ok)
                Tell(QStringLiteral("Error"), *why, devlink::PromptIcon::Error);
            Refresh();
        });
}

// ---- Connection ------------------------------------------------------------

void RegistryEditorModel::OnActiveSyncDisconnected()
{
    SetConnected(false);
}

void RegistryEditorModel::OnActiveSyncConnected()
{
    devlink::TraceLine(QStringLiteral("\r\nCRegistryEditor(): Reconnecting to RAPI...\r\n"));
    auto ok = std::make_shared<bool>(false);
    Run([ok] { *ok = devlink::ConnectWithRetries(); },
        [this, ok] {
            if (!*ok)
                return;
            SetConnected(true);
            if (ItemOf(m_current))
                SelectKey(m_current);
        });
}

} // namespace tools
