// The second hard-reset confirmation "Reset your device": "Hard-reset your
// device ?", three radio buttons, a check box and "Yes, hard-reset my
// device.". None of the radio buttons is chosen at first and the focus is on
// "&No". After every click on a radio button or the check box:
//
//   - the check box may be ticked only while "I wish to delete ALL the data
//     on my device." is chosen;
//   - "Yes, hard-reset my device." may be pressed only while that radio
//     button is chosen and the check box is ticked.
//
// Choosing the soft-reset radio button, or "I'm really not sure what I'm
// doing.", explains why (a message box, caption "Quorvane") and cancels the
// window. Accepted means confirmed.
//
// Threads: window thread only.
#pragma once

#include <QDialog>

class QCheckBox;
class QPushButton;
class QRadioButton;

namespace tools {

class CHardResetDialog : public QDialog {
    Q_OBJECT
public:
    explicit CHardResetDialog(QWidget* parent = nullptr);

    static QString SoftResetAdvice();
    static QString NotSureAdvice();

private:
    void UpdateControls();
    void ExplainAndCancel(const QString& text);

    QRadioButton* m_softRadio = nullptr;
    QRadioButton* m_deleteAllRadio = nullptr;
    QRadioButton* m_notSureRadio = nullptr;
    QCheckBox* m_noValueBox = nullptr;
    QPushButton* m_yesButton = nullptr;
};

} // namespace tools
