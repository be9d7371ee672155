// Keeps a window's rectangle in the settings under the name the window gives
// ("MainWndRect", "TroubleshooterWindow"), as the text "left,top,right,bottom"
// of its frame-less geometry.
//
// Restore() places the window where the setting says. A missing or
// malformed setting, or a rectangle that is empty, smaller than 100 by 60
// pixels or lies off every screen, leaves the window where it is: a bad
// stored value never hides a window. Afterwards each move and resize of the
// shown window is stored half a second after the last one (dragging does
// not write the hive at every step), and at once when the window hides.
//
// Threads: window thread only.
#pragma once

#include <QObject>
#include <QRect>
#include <QString>
#include <QTimer>

class QWidget;

namespace ui {

class WindowPlacement : public QObject {
    Q_OBJECT
public:
    // Follows `window` (and is its child) from now on.
    WindowPlacement(QWidget* window, const QString& settingName);

    // True when the stored rectangle was applied.
    bool Restore();
    // Stores the window's rectangle now.
    void SaveNow();

    // Whether `rect` may be given to a window: big enough and on a screen.
    static bool Usable(const QRect& rect);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_window;
    QString m_settingName;
    QTimer m_saveTimer;
};

} // namespace ui
