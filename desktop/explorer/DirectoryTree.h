// The device's folder tree as it is read, before it is shown: read on the
// device session's worker, handed to the window thread as plain data.
//
// Only the branches on the way to the selected folder are read completely;
// every other branch is read one level deep with at most one child (enough
// for its expand button), and "\Windows", which holds very many folders,
// gets the placeholder child "ActiveSync" instead of a read unless the
// selection lies inside it.
//
// Uses the program's device connection; call where device work may run.
#pragma once

#include <QString>
#include <QVector>

namespace explorer {

struct TreeNode {
    QString name;
    bool volume = false; // a mounted storage card (attribute 0x100)
    bool placeholder = false; // stands in for folders not read
    QVector<TreeNode> children; // in ascending order of upper-case name
};

// The name of the tree's root item and of the placeholder.
inline const QString kRootItemText = QStringLiteral("Mobile Device");
inline const QString kPlaceholderText = QStringLiteral("ActiveSync");

// Fills `parent->children` below device folder `path`. With `lazy`, at
// most the first folder is read (and "\Windows" is not read at all unless
// `selectPath` lies inside it). Without it, every folder is read and each
// child is read again: completely when `selectPath` lies in it, else lazily.
// False when the device listing failed.
bool ReadInSubdirectoryTree(const QString& path, TreeNode* parent, const QString& selectPath, bool lazy);

// The whole tree from the root item, read for `selectPath`. False when the
// root could not be listed.
bool ReadDirectoryTree(const QString& selectPath, TreeNode* root);

// The names of the device's root folders (for the poll); false on failure.
bool ReadFolderNames(const QString& path, QStringList* names);

} // namespace explorer
