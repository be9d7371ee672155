// The Run window (caption "Quorvane"): a device program's path and its
// parameters, "&Run" to start it on the device, "OK" to close, and a status
// line with the device's last error of the start. It shows
// RunCommandModel: the fields come from the last run.
//
// Threads: window thread only.
#pragma once

#include "desktop/tools/RunCommandModel.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tools {

class CRunWindow : public QDialog {
    Q_OBJECT
public:
    explicit CRunWindow(QWidget* parent = nullptr);

    RunCommandModel* model() { return &m_model; }

private:
    RunCommandModel m_model;
    QLineEdit* m_filename = nullptr;
    QLineEdit* m_parameters = nullptr;
    QPushButton* m_runButton = nullptr;
    QLabel* m_status = nullptr;
};

} // namespace tools
