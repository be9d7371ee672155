// Stands in for the desktop's viewer in tests: registered for "file" URLs
// (QDesktopServices::setUrlHandler), it remembers the local files it was
// asked to open instead of starting a program. List this header in a test
// target's sources so that it is run through moc.
#pragma once

#include <QObject>
#include <QStringList>
#include <QUrl>

namespace windowtest {

class ViewerRecorder : public QObject {
    Q_OBJECT
public:
    QStringList opened;
public slots:
    void Open(const QUrl& url) { opened << url.toLocalFile(); }
};

} // namespace windowtest
