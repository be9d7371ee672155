// The engine runtime window ("Quorvane"): what the device lacks, a check box
// for each runtime with its explanation, the file being installed and the
// installation's status line, "&Install" and "&Cancel", and in automatic
// mode the "&Show this warning each time a device connects." box and a
// countdown on the cancel button. A thin widget over RuntimeInstaller.
//
// Threads: window thread only.
#pragma once

#include "desktop/database/RuntimeInstaller.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;

namespace database {

class CEngineRuntimeDialog : public QDialog {
    Q_OBJECT
public:
    CEngineRuntimeDialog(RuntimeInstaller* installer, QWidget* parent = nullptr);

    RuntimeInstaller* installer() const { return m_installer; }

private:
    void ShowProgress();

    RuntimeInstaller* m_installer;
    QCheckBox* m_engine20 = nullptr;
    QCheckBox* m_engine30 = nullptr;
    QCheckBox* m_showEachTime = nullptr;
    QLabel* m_installingFile = nullptr;
    QLabel* m_statusLine = nullptr;
    QPushButton* m_install = nullptr;
    QPushButton* m_cancel = nullptr;
};

// Checks the device's engine runtimes and, as the check decides, opens the
// runtime window: after a connection (`manual` false) only when a runtime
// is missing and "DisplayWhenDeviceConnects" allows, from the menu always.
// The device is read on the device session; the window opens when that
// answer arrives, modal to `parent`. Window thread only.
void CheckEngineRuntimes(bool manual, QWidget* parent);

} // namespace database
