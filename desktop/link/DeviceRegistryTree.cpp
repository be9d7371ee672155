#include "desktop/link/DeviceRegistryTree.h"

#include "desktop/link/DeviceLink.h"
#include "platform/rapi/Rapi.h"
#include "platform/registry/RegFile.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>

namespace devlink {
namespace {

constexpr DWORD kMaxValueName = 16384;
constexpr DWORD kMaxKeyName = 256;

LPCWSTR W(const std::u16string& s)
{
    return s.c_str();
}

QString Join(const QString& path, const QString& name)
{
    return path.isEmpty() ? name : path + QLatin1Char('\\') + name;
}

std::vector<std::uint8_t> Bytes(const QByteArray& data)
{
    return std::vector<std::uint8_t>(data.begin(), data.end());
}

// Opens an existing key; 0 with *result when it cannot.
HKEY OpenExisting(HKEY root, const QString& path, LONG* result)
{
    const std::u16string name = DevicePath(path);
    HKEY key = 0;
    *result = CeRegOpenKeyEx(root, W(name), 0, 0, &key);
    return *result == 0 ? key : 0;
}

LONG CreateKey(HKEY root, const QString& path)
{
    const std::u16string name = DevicePath(path);
    HKEY key = 0;
    DWORD disposition = 0;
    const LONG result = CeRegCreateKeyEx(root, W(name), 0, nullptr, 0, 0, nullptr, &key, &disposition);
    if (result == 0)
        CeRegCloseKey(key);
    return result;
}

bool KeyExists(HKEY root, const QString& path)
{
    LONG result = 0;
    HKEY key = OpenExisting(root, path, &result);
    if (key)
        CeRegCloseKey(key);
    return key != 0;
}

LONG SetValue(HKEY root, const QString& path, const QString& name, DWORD type, const QByteArray& data)
{
    LONG result = 0;
    HKEY key = OpenExisting(root, path, &result);
    if (!key)
        return result;
    const std::u16string valueName = DevicePath(name);
    result = CeRegSetValueEx(
        key, W(valueName), 0, type, reinterpret_cast<const BYTE*>(data.constData()), DWORD(data.size()));
    CeRegCloseKey(key);
    return result;
}

// Deleting what is not there is no failure, as in the hive's own import.
LONG DeleteValue(HKEY root, const QString& path, const QString& name)
{
    LONG result = 0;
    HKEY key = OpenExisting(root, path, &result);
    if (!key)
        return result == LONG(ERROR_FILE_NOT_FOUND) ? 0 : result;
    const std::u16string valueName = DevicePath(name);
    result = CeRegDeleteValue(key, W(valueName));
    CeRegCloseKey(key);
    return result == LONG(ERROR_FILE_NOT_FOUND) ? 0 : result;
}

LONG DeleteKey(HKEY root, const QString& path)
{
    const std::u16string name = DevicePath(path);
    const LONG result = CeRegDeleteKey(root, W(name));
    return result == LONG(ERROR_FILE_NOT_FOUND) ? 0 : result;
}

// `value` of key `path`; *present false when it is not there.
LONG QueryValue(HKEY root, const QString& path, const QString& name, bool* present, DeviceRegValue* value)
{
    *present = false;
    LONG result = 0;
    HKEY key = OpenExisting(root, path, &result);
    if (!key)
        return result == LONG(ERROR_FILE_NOT_FOUND) ? 0 : result;
    const std::u16string valueName = DevicePath(name);
    result = ReadSizedValue(
        [&](BYTE* data, DWORD* size) {
            return CeRegQueryValueEx(key, W(valueName), nullptr, &value->type, data, size);
        },
        &value->data);
    CeRegCloseKey(key);
    if (result == LONG(ERROR_FILE_NOT_FOUND))
        return 0;
    *present = result == 0;
    value->name = name;
    return result;
}

LONG WriteTree(HKEY root, const QString& path, const std::vector<reg::KeyEntry>& keys)
{
    for (const reg::KeyEntry& entry : keys) {
        const QString keyPath = Join(path, QString::fromStdU16String(entry.path));
        if (LONG result = CreateKey(root, keyPath))
            return result;
        for (const reg::ValueEntry& value : entry.values) {
            const QByteArray data(
                reinterpret_cast<const char*>(value.data.data()), qsizetype(value.data.size()));
            if (LONG result
                = SetValue(root, keyPath, QString::fromStdU16String(value.name), value.type, data))
                return result;
        }
    }
    return 0;
}

// How to take one change back: a value as it was (or its absence), a key
// that did not exist, or a whole subtree that was deleted.
struct Undo {
    enum Kind { None, RestoreValue, RemoveValue, RemoveKey, RestoreTree } kind = None;
    HKEY root = 0;
    QString path;
    DeviceRegValue value;
    std::vector<reg::KeyEntry> tree;
};

LONG PrepareUndo(const reg::Change& change, Undo* undo)
{
    undo->root = change.root;
    const QString path = QString::fromStdU16String(change.path);
    switch (change.kind) {
    case reg::Change::CreateKey: {
        // The first component that is missing goes again, with all below it.
        const QStringList parts = path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
        QString prefix;
        for (const QString& part : parts) {
            prefix = Join(prefix, part);
            if (!KeyExists(change.root, prefix)) {
                undo->kind = Undo::RemoveKey;
                undo->path = prefix;
                break;
            }
        }
        return 0;
    }
    case reg::Change::SetValue:
    case reg::Change::DeleteValue: {
        bool present = false;
        undo->path = path;
        if (LONG result
            = QueryValue(change.root, path, QString::fromStdU16String(change.name), &present, &undo->value))
            return result;
        undo->value.name = QString::fromStdU16String(change.name);
        undo->kind = present ? Undo::RestoreValue : Undo::RemoveValue;
        return 0;
    }
    case reg::Change::DeleteKey:
        undo->path = path;
        if (!KeyExists(change.root, path))
            return 0;
        undo->kind = Undo::RestoreTree;
        return ReadDeviceRegTree(change.root, path, &undo->tree);
    }
    return 0;
}

LONG ApplyChange(const reg::Change& change)
{
    const QString path = QString::fromStdU16String(change.path);
    const QString name = QString::fromStdU16String(change.name);
    switch (change.kind) {
    case reg::Change::CreateKey:
        return CreateKey(change.root, path);
    case reg::Change::DeleteKey:
        return DeleteKey(change.root, path);
    case reg::Change::SetValue: {
        const QByteArray data(
            reinterpret_cast<const char*>(change.data.data()), qsizetype(change.data.size()));
        return SetValue(change.root, path, name, change.type, data);
    }
    case reg::Change::DeleteValue:
        return DeleteValue(change.root, path, name);
    }
    return LONG(ERROR_INVALID_PARAMETER);
}

LONG ApplyUndo(const Undo& undo)
{
    switch (undo.kind) {
    case Undo::None:
        return 0;
    case Undo::RestoreValue:
        return SetValue(undo.root, undo.path, undo.value.name, undo.value.type, undo.value.data);
    case Undo::RemoveValue:
        return DeleteValue(undo.root, undo.path, undo.value.name);
    case Undo::RemoveKey:
        return DeleteKey(undo.root, undo.path);
    case Undo::RestoreTree:
        return WriteTree(undo.root, undo.path, undo.tree);
    }
    return 0;
}

QString FailureText(LONG result)
{
    const HRESULT transport = CeRapiGetError();
    const QString text = DeviceErrorText(transport != S_OK ? DWORD(transport) : DWORD(result)).trimmed();
    return text.isEmpty() ? QStringLiteral("error %1").arg(result) : text;
}

} // namespace

LONG ReadSizedValue(const std::function<LONG(BYTE* data, DWORD* size)>& read, QByteArray* data)
{
    constexpr int kTries = 8;
    constexpr DWORD kSpare = 256;
    LONG result = 0;
    DWORD room = 0;
    for (int attempt = 0; attempt < kTries; ++attempt) {
        DWORD size = 0;
        result = read(nullptr, &size);
        if (result != 0)
            return result;
        room = std::max(size, room) + (attempt > 0 ? kSpare : 0);
        data->resize(qsizetype(room));
        size = room;
        result = read(reinterpret_cast<BYTE*>(data->data()), &size);
        if (result == LONG(ERROR_MORE_DATA))
            continue;
        data->resize(result == 0 ? qsizetype(size) : 0);
        return result;
    }
    return result;
}

LONG ReadRegValueAt(HKEY key, DWORD index, DeviceRegValue* value)
{
    std::vector<WCHAR> name(kMaxValueName);
    DWORD nameLength = 0;
    const LONG result = ReadSizedValue(
        [&](BYTE* data, DWORD* size) {
            nameLength = kMaxValueName;
            return CeRegEnumValue(key, index, name.data(), &nameLength, nullptr, &value->type, data, size);
        },
        &value->data);
    value->name = QString::fromUtf16(name.data(), std::min(nameLength, kMaxValueName));
    return result;
}

LONG ReadRegValues(HKEY key, QVector<DeviceRegValue>* values)
{
    for (DWORD index = 0;; ++index) {
        DeviceRegValue value;
        const LONG result = ReadRegValueAt(key, index, &value);
        if (result == LONG(ERROR_NO_MORE_ITEMS))
            return 0;
        if (result != 0)
            return result;
        values->append(value);
    }
}

LONG ReadRegSubKeys(HKEY key, QStringList* names)
{
    for (DWORD index = 0;; ++index) {
        WCHAR name[kMaxKeyName];
        DWORD length = kMaxKeyName;
        const LONG result = CeRegEnumKeyEx(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == LONG(ERROR_NO_MORE_ITEMS))
            return 0;
        if (result != 0)
            return result;
        names->append(QString::fromUtf16(name, std::min(length, kMaxKeyName)));
    }
}

LONG CountRegSubKeys(HKEY root, const QString& path, DWORD* count)
{
    LONG result = 0;
    HKEY key = OpenExisting(root, path, &result);
    if (!key)
        return result;
    *count = 0;
    result = CeRegQueryInfoKey(
        key, nullptr, nullptr, nullptr, count, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    CeRegCloseKey(key);
    return result;
}

LONG ReadDeviceRegTree(HKEY root, const QString& path, std::vector<reg::KeyEntry>* keys)
{
    // Pre-order with an explicit stack of relative paths.
    std::vector<QString> pending { QString() };
    while (!pending.empty()) {
        const QString relative = pending.back();
        pending.pop_back();
        LONG result = 0;
        HKEY key = OpenExisting(root, Join(path, relative), &result);
        if (!key)
            return result;
        QVector<DeviceRegValue> values;
        QStringList subKeys;
        result = ReadRegValues(key, &values);
        if (result == 0)
            result = ReadRegSubKeys(key, &subKeys);
        CeRegCloseKey(key);
        if (result != 0)
            return result;
        reg::KeyEntry entry;
        entry.path = relative.toStdU16String();
        for (const DeviceRegValue& value : values)
            entry.values.push_back({ value.name.toStdU16String(), value.type, Bytes(value.data) });
        keys->push_back(std::move(entry));
        for (auto it = subKeys.crbegin(); it != subKeys.crend(); ++it)
            pending.push_back(Join(relative, *it));
    }
    return 0;
}

LONG RenameDeviceRegKey(HKEY root, const QString& path, const QString& newName)
{
    const QString oldName = path.section(QLatin1Char('\\'), -1);
    if (newName.isEmpty() || newName.contains(QLatin1Char('\\'))
        || newName.compare(oldName, Qt::CaseInsensitive) == 0)
        return LONG(ERROR_INVALID_PARAMETER);
    const QString target = Join(path.section(QLatin1Char('\\'), 0, -2), newName);
    if (KeyExists(root, target))
        return LONG(ERROR_ALREADY_EXISTS);
    std::vector<reg::KeyEntry> tree;
    LONG result = ReadDeviceRegTree(root, path, &tree);
    if (result == 0)
        result = WriteTree(root, target, tree);
    if (result == 0)
        result = DeleteKey(root, path);
    if (result != 0)
        DeleteKey(root, target);
    return result;
}

bool ExportDeviceRegKey(HKEY root, const QString& path, const QString& fileName, QString* why)
{
    std::vector<reg::KeyEntry> tree;
    if (LONG result = ReadDeviceRegTree(root, path, &tree)) {
        *why = QStringLiteral("Unable to read the registry key \"%1\": %2")
                   .arg(Join(RegRootName(root), path), FailureText(result));
        return false;
    }
    std::u16string text;
    std::string error;
    if (!reg::FormatRegFile(root, path.toStdU16String(), tree, &text, &error)) {
        *why = QStringLiteral("Cannot export: %1.").arg(QString::fromStdString(error));
        return false;
    }
    const std::vector<std::uint8_t> bytes = reg::EncodeRegFile(text);
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)
        || file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()))
            != qint64(bytes.size())
        || !file.commit()) {
        *why = QStringLiteral("Unable to write the file \"%1\": %2").arg(fileName, file.errorString());
        return false;
    }
    return true;
}

bool ImportDeviceRegFile(const QString& fileName, RegImportReport* report, QString* why)
{
    *report = RegImportReport();
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("Unable to read the file \"%1\": %2").arg(fileName, file.errorString());
        return false;
    }
    const QByteArray bytes = file.readAll();
    std::vector<reg::Change> changes;
    std::string error;
    if (!reg::ParseRegFile(reg::DecodeRegFile(Bytes(bytes)), &changes, &error)) {
        *why = QStringLiteral("\"%1\" is not a valid registry file: %2. Nothing was imported.")
                   .arg(fileName, QString::fromStdString(error));
        return false;
    }
    report->changes = int(changes.size());
    std::vector<Undo> undos;
    undos.reserve(changes.size());
    LONG failure = 0;
    for (const reg::Change& change : changes) {
        Undo undo;
        failure = PrepareUndo(change, &undo);
        if (failure == 0)
            failure = ApplyChange(change);
        if (failure != 0)
            break;
        undos.push_back(std::move(undo));
    }
    report->applied = int(undos.size());
    if (failure == 0)
        return true;
    const QString cause = FailureText(failure);
    report->undone = true;
    for (auto it = undos.rbegin(); it != undos.rend(); ++it) {
        if (ApplyUndo(*it) != 0) {
            report->undoFailed = true;
            break;
        }
    }
    if (report->undoFailed) {
        *why = QStringLiteral("The import of \"%1\" failed after %2 of its %3 changes (%4), and they could "
                              "not be undone.")
                   .arg(fileName)
                   .arg(report->applied)
                   .arg(report->changes)
                   .arg(cause);
        return false;
    }
    report->applied = 0;
    *why = QStringLiteral("The import of \"%1\" failed (%2); nothing was changed.").arg(fileName, cause);
    return false;
}

bool SplitRegKeyPath(const QString& text, HKEY* root, QString* path)
{
    QString t = text;
    while (t.startsWith(QLatin1Char('\\')))
        t.remove(0, 1);
    const qsizetype slash = t.indexOf(QLatin1Char('\\'));
    const reg::Root found = reg::RootFromName((slash < 0 ? t : t.left(slash)).toStdU16String());
    if (found == 0)
        return false;
    *root = found;
    *path = slash < 0 ? QString() : t.mid(slash + 1);
    while (path->endsWith(QLatin1Char('\\')))
        path->chop(1);
    return true;
}

QString RegRootName(HKEY root)
{
    return QString::fromStdU16String(std::u16string(reg::RootName(root)));
}

bool DeviceRegKeyExists(HKEY root, const QString& path)
{
    return KeyExists(root, path);
}

bool DeviceRegValueExists(HKEY root, const QString& path, const QString& name)
{
    LONG result = 0;
    HKEY key = OpenExisting(root, path, &result);
    if (!key)
        return false;
    const std::u16string value = DevicePath(name);
    DWORD type = 0, size = 0;
    result = CeRegQueryValueEx(key, W(value), nullptr, &type, nullptr, &size);
    CeRegCloseKey(key);
    return result == 0;
}

} // namespace devlink
