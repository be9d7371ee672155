// The copy progress dialog: "Copying from:", "to:", "Filesize:", "Bytes
// copied:", "Time remaining:" (hidden until a first estimate exists), the
// drawn bar with its percent, and Cancel. It shows a CopyJob that a worker
// fills: every 500 ms it reads the job's counters, so the copy never waits
// for the window. Cancel sets the job's `cancelled` and asks the owner to
// cancel the running request (cancelRequested).
//
// Threads: window thread only.
#pragma once

#include "desktop/explorer/CopyJob.h"

#include <QDialog>
#include <QTimer>

#include <memory>

class QLabel;
class QLineEdit;

namespace explorer {

// The progress area: the inner rectangle filled from the left over the
// percent of its width, the percent drawn centred over it.
class CopyProgressBar : public QWidget {
    Q_OBJECT
public:
    explicit CopyProgressBar(QWidget* parent = nullptr);
    void SetPercent(int percent);
    int percent() const { return m_percent; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_percent = 0;
};

class CCopyProgressDialog : public QDialog {
    Q_OBJECT
public:
    CCopyProgressDialog(std::shared_ptr<CopyJob> job, QWidget* parent = nullptr);

    // Reads the job and shows it (what the 500 ms timer does).
    void Refresh();
    // Escape and the close box cancel, as the Cancel button does.
    void reject() override;
    // The copy ended: the dialog closes and deletes itself.
    void Finish();

signals:
    void cancelRequested();

private:
    std::shared_ptr<CopyJob> m_job;
    QTimer m_timer;
    int m_shownFile = -1;
    bool m_finished = false;
    QLineEdit* m_fromEdit;
    QLineEdit* m_toEdit;
    QLineEdit* m_filesizeEdit;
    QLineEdit* m_bytesCopiedEdit;
    QLabel* m_timeLabel;
    QLineEdit* m_timeEdit;
    CopyProgressBar* m_bar;
};

} // namespace explorer
