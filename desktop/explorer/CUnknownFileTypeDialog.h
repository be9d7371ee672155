// The "Unknown file type" dialog: how files of one extension are to be
// opened from now on. It shows the remembered choice (else "Open it on the
// device." when the device has a program for the extension, else the copy
// to the PC), the device program (enabled only for opening on the device)
// and the editor's separate-process box (enabled only for the editor). OK
// with the device method checks on the device that the program exists and
// keeps the dialog open when it does not; otherwise it stores the choice.
//
// Threads: window thread only.
#pragma once

#include "desktop/explorer/FileOpenRules.h"

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;

namespace explorer {

// What the device says about an extension: its own program for it (empty
// when none was found) and the description of its file type.
struct DeviceAssociation {
    QString application;
    QString description;
};

// Reads the device's association of `extension` under HKEY_CLASSES_ROOT.
// Run on the device session's worker.
DeviceAssociation ReadDeviceAssociation(const QString& extension);

class CUnknownFileTypeDialog : public QDialog {
    Q_OBJECT
public:
    CUnknownFileTypeDialog(
        const QString& extension, const DeviceAssociation& association, QWidget* parent = nullptr);

    OpenMethod method() const;
    QString application() const;

    void accept() override;

private:
    void UpdateFields();
    void Store();

    QString m_extension;
    QButtonGroup* m_methods = nullptr;
    QLineEdit* m_application = nullptr;
    QCheckBox* m_separate = nullptr;
    bool m_checking = false;
};

} // namespace explorer
