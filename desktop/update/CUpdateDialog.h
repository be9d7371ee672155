// The "Online update" dialog: opens with a check for a newer release and
// shows DescribeUpdate's texts, refreshed once a second and whenever the work
// ends. After a check that found a newer release "&Download" fetches it;
// after a finished download "OK" ends the dialog as accepted, which means
// "downloaded". Leaving while a download runs first asks "Cancel downloading
// new version ?" (caption "Online update").
//
// Threads: window thread only.
#pragma once

#include "desktop/update/OnlineUpdateThread.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace update {

class CUpdateDialog : public QDialog {
    Q_OBJECT
public:
    // Starts the check at once.
    explicit CUpdateDialog(QWidget* parent = nullptr);

    OnlineUpdateThread* update() { return &m_update; }

public slots:
    // Asks first while a download runs.
    void reject() override;

private:
    void Refresh();
    void StartDownload();

    OnlineUpdateThread m_update;
    QTimer m_timer;
    QElapsedTimer m_elapsed;
    bool m_asking = false;
    QLabel* m_releaseLine = nullptr;
    QLabel* m_statusLine = nullptr;
    QLabel* m_featuresHeading = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_timeLeft = nullptr;
    QPlainTextEdit* m_features = nullptr;
    QPushButton* m_download = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_close = nullptr;
};

} // namespace update
