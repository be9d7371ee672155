// The tips window: a small balloon in the main window's lower right corner
// with one tip about the program's shortcuts and help, and a button that
// closes it. Each start of the main window shows the tip after the one shown
// last (kept as "NextTip" under the "\Tooltips" key), while the tips switch
// of Preferences is on.
//
// Threads: window thread only.
#pragma once

#include <QFrame>
#include <QStringList>

class QLabel;

namespace shell {

class CTipsWindow : public QFrame {
    Q_OBJECT
public:
    // A child of `parent`, hidden until ShowNextTip.
    explicit CTipsWindow(QWidget* parent);

    // Every tip, in the order they are shown.
    static QStringList Tips();

    // Shows the next tip when tips are switched on; true when one is shown.
    bool ShowNextTip();
    // Shows `text` (CR LF line ends) in place of a tip, whatever the tips
    // switch says: an announcement has its own switch.
    void ShowAnnouncement(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowText(const QString& text);
    void Place();

    QLabel* m_text = nullptr;
};

} // namespace shell
