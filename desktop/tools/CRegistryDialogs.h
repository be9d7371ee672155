// The registry editor's small dialogs: "Registry edit" for one value, the
// read-only explanation, and the confirmation of value deletion with its
// "&Don't ask me again." box.
//
// Threads: window thread only.
#pragma once

#include "platform/rapi/CeTypes.h"

#include <QByteArray>
#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;

namespace tools {

class RegistryEditorModel;

// "Registry edit": "Value name:", "Value type:" (not editable) and "Value
// data:" as a one-line edit for texts, a multi-line edit for multi-strings
// and binary data (hex pairs), and for DWORDs an edit with "Decimal" and
// "Hexidecimal". OK hands the value to the model, which stores it; in
// read-only mode the dialog only shows the value.
class CRegistryEditDialog : public QDialog {
    Q_OBJECT
public:
    // `isNew`: a new value of `type` (empty name); otherwise the value
    // stored as `storedName` ("" for the unnamed one, shown as "(Default)").
    CRegistryEditDialog(RegistryEditorModel* model, bool isNew, const QString& storedName, DWORD type,
        const QByteArray& data, QWidget* parent = nullptr);

    void accept() override;

private:
    void OnBaseChanged();

    RegistryEditorModel* m_model;
    bool m_isNew;
    QString m_storedName;
    DWORD m_type;
    bool m_hexShown = true;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_dataLine = nullptr;
    QPlainTextEdit* m_dataText = nullptr;
    QRadioButton* m_decimal = nullptr;
    QRadioButton* m_hexadecimal = nullptr;
};

// Why the editor does not change anything, and (behind "How to turn off the
// Read-Only mode.") the setting that unlocks it.
class CRegistryReadOnlyDialog : public QDialog {
    Q_OBJECT
public:
    explicit CRegistryReadOnlyDialog(QWidget* parent = nullptr);

private:
    QLabel* m_how = nullptr;
};

// "This will delete a registry value." / "This will delete these %d
// values.", "Are you sure ?", "&Yes", "&No", "&Cancel" and "&Don't ask me
// again.". answered() carries Yes and the box.
class CDeleteValuesDialog : public QDialog {
    Q_OBJECT
public:
    CDeleteValuesDialog(int count, QWidget* parent = nullptr);

signals:
    void answered(bool yes, bool dontAskAgain);

private:
    QCheckBox* m_dontAsk = nullptr;
};

} // namespace tools
