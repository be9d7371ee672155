// What a drag out of the file list offers: the local paths of device files
// in the drag folder, as file URLs. The paths are empty placeholders when
// the drag begins; the first time a drop target asks for the URLs the real
// files are fetched from the device (`fetch`), so a drag that ends nowhere,
// or on a target that refuses it, copies nothing.
//
// Threads: window thread only (Qt asks for the data there).
#pragma once

#include <QMimeData>
#include <QStringList>

#include <functional>

namespace explorer {

class DeviceDragData : public QMimeData {
    Q_OBJECT
public:
    // `fetch` replaces the placeholders with the device's files; true when
    // every one arrived.
    DeviceDragData(QStringList localPaths, std::function<bool()> fetch);

    QStringList formats() const override;
    bool hasFormat(const QString& mimeType) const override;
    // Whether the files were fetched (asked for) and arrived.
    bool fetched() const { return m_fetched; }
    bool fetchedWhole() const { return m_fetchedWhole; }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

private:
    QStringList m_paths;
    std::function<bool()> m_fetch;
    mutable bool m_fetched = false;
    mutable bool m_fetchedWhole = false;
};

} // namespace explorer
