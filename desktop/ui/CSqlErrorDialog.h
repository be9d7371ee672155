// The SQL error dialog: a statement the device refused, shown for editing,
// with the error, its code and its details; "OK" gives up, "&Retry" runs the
// SQL as the user left it. An internal command shows its note in a
// disabled box.
//
// Threads: window thread only.
#pragma once

#include "desktop/link/Prompter.h"

#include <QDialog>

class QPlainTextEdit;

namespace ui {

class CSqlErrorDialog : public QDialog {
    Q_OBJECT
public:
    explicit CSqlErrorDialog(const devlink::SqlErrorRequest& request, QWidget* parent = nullptr);

    // Escape and the close box count as "OK".
    void reject() override;

signals:
    // Emitted once, as the dialog closes.
    void answered(const devlink::SqlErrorAnswer& answer);

private:
    void Finish(bool retry);

    QPlainTextEdit* m_sqlEdit = nullptr;
    bool m_finished = false;
};

} // namespace ui
