#include "desktop/tools/RegistryEditorSupport.h"

#include "desktop/link/DeviceLink.h"
#include "desktop/tools/RegistryEditorModel.h"
#include "platform/rapi/Rapi.h"

namespace tools::regedit {

QString Join(const QString& path, const QString& name)
{
    return path.isEmpty() ? name : path + QLatin1Char('\\') + name;
}

std::u16string U(const QString& text)
{
    return devlink::DevicePath(text);
}

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

QString ErrorText(LONG result)
{
    const HRESULT transport = CeRapiGetError();
    return devlink::DeviceErrorText(transport != S_OK ? DWORD(transport) : DWORD(result));
}

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

void ReadKey(HKEY root, const QString& path, KeyRead* read)
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

} // namespace tools::regedit
