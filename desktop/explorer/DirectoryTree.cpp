#include "desktop/explorer/DirectoryTree.h"

#include "desktop/explorer/DeviceListing.h"
#include "desktop/link/DeviceLink.h"

#include <algorithm>

namespace explorer {
namespace {

QString LazyText(bool lazy)
{
    return lazy ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
}

bool ReadFolders(const QString& path, QVector<CE_FIND_DATA>* found)
{
    return devlink::RapiCeFindAllFiles(SearchPattern(path), kFolderFields, found);
}

} // namespace

bool ReadInSubdirectoryTree(const QString& path, TreeNode* parent, const QString& selectPath, bool lazy)
{
    devlink::TraceLine(
        QStringLiteral("ReadInSubdirectoryTree(%1, %2, %3)\r\n").arg(path, selectPath, LazyText(lazy)));
    if (lazy && SearchPattern(path).compare(QLatin1String("\\Windows\\*"), Qt::CaseInsensitive) == 0
        && !selectPath.startsWith(QLatin1String("\\Windows"), Qt::CaseInsensitive)) {
        TreeNode placeholder;
        placeholder.name = kPlaceholderText;
        placeholder.placeholder = true;
        parent->children = { placeholder };
        return true;
    }
    QVector<CE_FIND_DATA> found;
    if (!ReadFolders(path, &found))
        return false;
    QVector<TreeNode> children;
    for (const CE_FIND_DATA& record : std::as_const(found)) {
        if (!(record.dwFileAttributes & kAttributeDirectory))
            continue;
        TreeNode child;
        child.name = QString::fromUtf16(record.cFileName);
        child.volume = (record.dwFileAttributes & kAttributeVolume) != 0;
        children.append(child);
        if (lazy)
            break;
    }
    std::stable_sort(children.begin(), children.end(),
        [](const TreeNode& a, const TreeNode& b) { return a.name.toUpper() < b.name.toUpper(); });
    if (!lazy) {
        for (TreeNode& child : children) {
            const QString childPath = JoinDevicePath(path, child.name);
            const bool onTheWay = selectPath.compare(childPath, Qt::CaseInsensitive) == 0
                || selectPath.startsWith(childPath + QLatin1Char('\\'), Qt::CaseInsensitive);
            // A branch that vanished meanwhile only loses its expand button.
            ReadInSubdirectoryTree(childPath, &child, selectPath, !onTheWay);
        }
    }
    parent->children = std::move(children);
    return true;
}

bool ReadDirectoryTree(const QString& selectPath, TreeNode* root)
{
    devlink::TraceLine(QStringLiteral("Reading directory tree..\r\n"));
    TreeNode fresh;
    fresh.name = kRootItemText;
    if (!ReadInSubdirectoryTree(QStringLiteral("\\"), &fresh, selectPath, false))
        return false;
    devlink::TraceLine(QStringLiteral("Finished reading directory tree..\r\n"));
    *root = std::move(fresh);
    return true;
}

bool ReadFolderNames(const QString& path, QStringList* names)
{
    QVector<CE_FIND_DATA> found;
    if (!ReadFolders(path, &found))
        return false;
    names->clear();
    for (const CE_FIND_DATA& record : std::as_const(found))
        if (record.dwFileAttributes & kAttributeDirectory)
            names->append(QString::fromUtf16(record.cFileName));
    return true;
}

} // namespace explorer
