// The "Install a cab file" dialog: the CAB's file name, the application it
// holds ("(Unknown)" until read, and when it cannot be read), the notice
// "This application is already installed on your device." in bold for an
// installed one, "Don't delete the .cab file afterwards.", the skip-warning
// box (only for an installed application), "&Install" and "Cancel". A thin
// widget over CabInstallerController.
//
// Threads: window thread only.
#pragma once

#include "desktop/explorer/CabInstallerController.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;

namespace explorer {

class CCabInstallerDialog : public QDialog {
    Q_OBJECT
public:
    explicit CCabInstallerDialog(const QString& devicePath, QWidget* parent = nullptr);

    CabInstallerController* controller() { return &m_controller; }
    void accept() override;

private:
    void ShowPackage();

    CabInstallerController m_controller;
    QLabel* m_application = nullptr;
    QLabel* m_installedNotice = nullptr;
    QCheckBox* m_dontDelete = nullptr;
    QCheckBox* m_skipWarning = nullptr;
    QPushButton* m_install = nullptr;
};

// Opens the dialog for the device file `devicePath`; it deletes itself
// when closed.
CCabInstallerDialog* ShowCabInstaller(const QString& devicePath, QWidget* parent);

} // namespace explorer
