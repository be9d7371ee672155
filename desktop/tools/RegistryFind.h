// The registry editor's search: the next key name, value name or text data
// that matches, after a given key (and value), in the order the tree shows
// the keys (depth first, HKEY_CLASSES_ROOT, HKEY_CURRENT_USER,
// HKEY_LOCAL_MACHINE). It runs on the device session, so the window stays
// usable; the status text tells how far it has come and Cancel stops it.
//
// Threads: window thread only; the search itself runs on the session's worker.
#pragma once

#include "desktop/link/DeviceSession.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <memory>

namespace tools {

struct FindOptions {
    QString text;
    bool keys = true; // look at key names
    bool values = true; // value names
    bool data = true; // the data of text values
    bool matchCase = false;
    bool wholeWord = false;

    // Whether `candidate` matches.
    bool Matches(const QString& candidate) const;
};

class RegistryFind : public QObject {
    Q_OBJECT
public:
    // What a running search shares with this object.
    struct Shared;

    explicit RegistryFind(QObject* parent = nullptr);
    ~RegistryFind() override;

    const FindOptions& options() const { return m_options; }
    bool isRunning() const { return m_requestId != 0; }
    QString statusText() const { return m_statusText; }

    // Searches after key `fromKey` (a full path; empty: from the start) and,
    // when `fromValue` is not null, after that value of it.
    void Start(const FindOptions& options, const QString& fromKey, const QString& fromValue);
    void Cancel();

signals:
    // A match: the key, and the value (null when the key's name matched).
    void found(const QString& keyPath, const QString& valueName);
    // The search went through the registry without a further match.
    void notFound();
    void statusTextChanged(const QString& text);
    // The search has ended, whichever way.
    void finished();

private:
    void OnTick();
    void SetStatus(const QString& text);

    FindOptions m_options;
    QString m_statusText;
    devlink::DeviceSession::RequestId m_requestId = 0;
    std::shared_ptr<Shared> m_shared;
    QTimer m_timer;
    QElapsedTimer m_started;
};

} // namespace tools
