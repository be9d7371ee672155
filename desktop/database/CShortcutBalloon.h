// The balloon of the database window's shortcut tip: a small frame beside
// the tip's picture that follows its window and goes away when the window
// loses the focus or closes, or when it is clicked.
//
// Threads: window thread only.
#pragma once

#include <QLabel>

namespace database {

class CShortcutBalloon : public QLabel {
    Q_OBJECT
public:
    // The balloon points at `anchor` and belongs to its window.
    explicit CShortcutBalloon(QWidget* anchor);

    // Shows `html` (a title line and the text) beside the anchor.
    void ShowText(const QString& html);

signals:
    void closed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void Place();

    QWidget* m_anchor;
};

} // namespace database
