#include "desktop/explorer/DeviceDragData.h"

#include "desktop/link/DeviceLink.h"

#include <QUrl>

namespace explorer {
namespace {

const QString kUriList = QStringLiteral("text/uri-list");

} // namespace

DeviceDragData::DeviceDragData(QStringList localPaths, std::function<bool()> fetch)
    : m_paths(std::move(localPaths))
    , m_fetch(std::move(fetch))
{
}

QStringList DeviceDragData::formats() const
{
    return { kUriList };
}

bool DeviceDragData::hasFormat(const QString& mimeType) const
{
    return mimeType == kUriList;
}

QVariant DeviceDragData::retrieveData(const QString& mimeType, QMetaType type) const
{
    if (mimeType != kUriList)
        return {};
    if (!m_fetched) {
        m_fetched = true;
        m_fetchedWhole = m_fetch && m_fetch();
    }
    // A target gets no paths of files that did not arrive whole.
    if (!m_fetchedWhole)
        return {};
    QList<QUrl> urls;
    for (const QString& path : m_paths)
        urls.append(QUrl::fromLocalFile(path));
    if (type.id() == QMetaType::QByteArray || type.id() == QMetaType::QString) {
        QByteArray text;
        for (const QUrl& url : std::as_const(urls))
            text += url.toEncoded() + "\r\n";
        return type.id() == QMetaType::QString ? QVariant(QString::fromUtf8(text)) : QVariant(text);
    }
    QList<QVariant> list;
    for (const QUrl& url : std::as_const(urls))
        list.append(url);
    return list;
}

} // namespace explorer
