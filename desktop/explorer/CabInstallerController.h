// The CAB installer dialog's state without a window: the package read from
// the device when the dialog opens, and the installation with the two
// check boxes stored as their settings first.
//
// Threads: window thread only; device work runs on the device session.
#pragma once

#include "desktop/explorer/CabInstall.h"

#include <QObject>

namespace explorer {

class CabInstallerController : public QObject {
    Q_OBJECT
public:
    explicit CabInstallerController(const QString& devicePath, QObject* parent = nullptr);
    ~CabInstallerController() override;

    const CabPackage& package() const { return m_package; }
    bool loaded() const { return m_loaded; }
    // The check boxes' first states, from their settings.
    bool dontDeleteCab() const { return m_dontDeleteCab; }
    bool skipWarning() const { return m_skipWarning; }
    // "Skip the "<application> is already installed.  Re-install?" warning on the device."
    QString skipWarningText() const;

    // Reads the package on the device; `loadedChanged` follows.
    void Load();
    // Stores both boxes and starts the device's installer; `installStarted`
    // follows with whether it could be started.
    void Install(bool dontDeleteCab, bool skipWarning);

signals:
    void loadedChanged();
    void installStarted(bool started);

private:
    CabPackage m_package;
    bool m_loaded = false;
    bool m_dontDeleteCab = true;
    bool m_skipWarning = true;
};

} // namespace explorer
