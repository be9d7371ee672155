// The first reset confirmation "Reset your device", in soft or hard mode.
//
//   soft   "&Yes" confirms; "&No" and "&Cancel" cancel.
//   hard   "&Yes" is hidden; "&Yes, I want to delete all of the data on my
//          device." is disabled for its first five seconds, then opens the
//          second confirmation (CHardResetDialog), whose answer is this
//          window's: confirmed there, confirmed here; cancelled there,
//          cancelled here.
//
// Accepted means confirmed. Threads: window thread only.
#pragma once

#include <QDialog>

class QPushButton;

namespace tools {

class CHardResetDialog;

class CResetDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDeleteAllDelayMs = 5000;

    CResetDialog(bool hard, QWidget* parent = nullptr);

    bool isHard() const { return m_hard; }
    // The second confirmation while it is open, else null.
    CHardResetDialog* secondDialog() const { return m_second; }

private:
    void OpenSecondDialog();

    bool m_hard;
    QPushButton* m_deleteAllButton = nullptr;
    CHardResetDialog* m_second = nullptr;
};

} // namespace tools
