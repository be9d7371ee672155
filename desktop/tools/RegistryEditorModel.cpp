#include "desktop/tools/RegistryEditorModel.h"

#include "desktop/link/DeviceLink.h"
#include "desktop/settings/SettingsStore.h"
#include "desktop/tools/RegistryEditorSupport.h"
#include "desktop/tools/RegistryText.h"
#include "desktop/ui/PromptFromWindow.h"
#include "platform/rapi/Rapi.h"

namespace tools {

using namespace regedit;

namespace {

const QString kTopName = QStringLiteral("Mobile Device");
constexpr HKEY kRoots[] = { HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE };

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
