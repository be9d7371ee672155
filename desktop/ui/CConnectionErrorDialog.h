// The "Connection error" dialog: the device did not answer. It says so,
// offers "&Retry" (the default) and "Cancel", and while it is open tries the
// connection by itself every retry interval; when a try succeeds it closes
// with Connected (its `connected` field set).
//
// A try runs off the window thread (a try may wait for the device's answer);
// a button pressed while one runs is answered once it has ended, so the
// caller never connects while a try of the dialog still does.
//
// Threads: window thread only.
#pragma once

#include "desktop/link/Prompter.h"

#include <QDialog>
#include <QTimer>

#include <optional>

class QPushButton;

namespace ui {

class CConnectionErrorDialog : public QDialog {
    Q_OBJECT
public:
    explicit CConnectionErrorDialog(
        const devlink::ConnectionErrorRequest& request, QWidget* parent = nullptr);

    // Set when a try of the dialog connected.
    bool connected() const { return m_connected; }

    // Escape and the close box count as "Cancel".
    void reject() override;

signals:
    // Emitted once, as the dialog closes.
    void answered(devlink::ConnectionErrorAnswer answer);

private:
    void Choose(devlink::ConnectionErrorAnswer answer);
    void StartTry();
    void OnTryEnded(bool connected);
    void Finish(devlink::ConnectionErrorAnswer answer);

    std::function<bool()> m_tryConnect;
    QTimer m_retryTimer;
    bool m_tryRunning = false;
    bool m_connected = false;
    bool m_finished = false;
    std::optional<devlink::ConnectionErrorAnswer> m_chosen;
    QPushButton* m_retryButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
};

} // namespace ui
