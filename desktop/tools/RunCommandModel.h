// Running a device program from the desktop, without the windows:
//
//   RunCommandModel     the Run window's fields, kept as "RunFilename" and
//                       "RunParameters"; "&Run" starts the program on the
//                       device session (the running-application box says
//                       so) and, when the file is on the device, shows
//                       "Last error: %08x  %s" three seconds later: the
//                       device's error code of the start and its text.
//   remembered parameters   per program, the setting "PARAMS_" + its device
//                       path with every "\" made "_", which the "Run an
//                       application" window fills in and keeps.
//
// Threads: window thread only; the device is used on the session's worker.
#pragma once

#include "desktop/settings/ProgramParameters.h"
#include "platform/rapi/CeTypes.h"

#include <QObject>
#include <QString>
#include <QTimer>

namespace tools {

class RunCommandModel : public QObject {
    Q_OBJECT
public:
    explicit RunCommandModel(QObject* parent = nullptr);
    ~RunCommandModel() override;

    // The last program and parameters run ("" when none were kept).
    QString filename() const { return m_filename; }
    QString parameters() const { return m_parameters; }
    QString statusText() const { return m_statusText; }
    bool isRunning() const { return m_running; }

    // Starts `filename` with `parameters` and returns at once; runFinished
    // follows. Ignored while a start runs.
    void Run(const QString& filename, const QString& parameters);

    // How long after a start the last error is shown (3000 ms).
    void SetLastErrorDelayMs(int milliseconds) { m_lastErrorTimer.setInterval(milliseconds); }

    static QString LastErrorText(DWORD code);

signals:
    void runningChanged(bool running);
    void statusTextChanged(const QString& text);
    void runFinished(bool started);

private:
    QString m_filename, m_parameters, m_statusText;
    bool m_running = false;
    DWORD m_lastError = 0;
    QTimer m_lastErrorTimer;
};

// The parameters remembered per program live with the other settings.
using settings::ParamsSettingName;
using settings::RememberedParameters;
using settings::RememberParameters;

} // namespace tools
