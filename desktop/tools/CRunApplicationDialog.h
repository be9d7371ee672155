// The "Run an application" window: the device program about to be run, its
// parameters (those kept for it fill the field, selected, with the check box
// ticked) and "Don't ask me this again - always use these parameters
// whenever I run this application.". "OK" keeps or forgets the parameters
// as the check box says, starts the program on the device and closes.
//
// Threads: window thread only.
#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;

namespace tools {

class CRunApplicationDialog : public QDialog {
    Q_OBJECT
public:
    // `runner` is the object whose device request starts the program: it
    // must outlive this window (the explorer, the main window).
    CRunApplicationDialog(
        const QString& programPath, const QString& parameters, QObject* runner, QWidget* parent = nullptr);

    void accept() override;

private:
    QString m_programPath;
    QObject* m_runner;
    QLineEdit* m_parameters = nullptr;
    QCheckBox* m_alwaysBox = nullptr;
};

} // namespace tools
