// The splash window of the start-up sequence: the program's picture, a
// status line ("Reading information from your device." and then what the
// StartupSequence announces) and "Please wait...". A timer starts the
// sequence 100 ms after the window opened; another checks every 500 ms
// whether it is done and at least a second has passed (counted as the
// seconds part of the time open, as the original does), then hides the two
// lines, shows "OK" and fades the window out in 101 steps of opacity (255
// down to 0, 2.55 lower each, rounded down) unless the setting
// "SmellTheFlowers" is non-zero; then it closes (accepted). "OK" closes it
// at once. It cannot be closed before the sequence is done.
//
// Shown modally without a local event loop: the caller goes on at
// finished().
//
// Threads: window thread only.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

class QLabel;
class QPushButton;

namespace shell {

class StartupSequence;

class CSplashWindow : public QDialog {
    Q_OBJECT
public:
    CSplashWindow(StartupSequence* sequence, QWidget* parent = nullptr);

    // The opacity (0 to 255) of fade step 0 to 100.
    static int FadeAlpha(int step);
    // The steps taken so far (-1 before the fade).
    int fadeStep() const { return m_fadeStep; }

    void reject() override;

private:
    void OnCloseCheck();
    void OnFadeStep();

    StartupSequence* m_sequence;
    QLabel* m_status = nullptr;
    QLabel* m_pleaseWait = nullptr;
    QPushButton* m_ok = nullptr;
    QTimer m_closeTimer;
    QTimer m_fadeTimer;
    QElapsedTimer m_opened;
    bool m_noFade = false;
    int m_fadeStep = -1;
};

} // namespace shell
