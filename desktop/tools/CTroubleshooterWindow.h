// The troubleshooting log window: the agent's step log of the last request
// (TroubleshooterModel) in a list, F5 to read it again, and "&Export to
// file..." to save it for support. A tool window of the main window, made
// hidden with it and shown and hidden with Ctrl+T; it reads the log when it
// is made and each time it is shown, and does not follow it by itself. Its
// rectangle is kept as the setting "TroubleshooterWindow".
//
// Threads: window thread only.
#pragma once

#include "desktop/tools/TroubleshooterModel.h"

#include <QWidget>

class QFileDialog;
class QPushButton;
class QTreeView;

namespace ui {
class WindowPlacement;
}

namespace tools {

class CTroubleshooterWindow : public QWidget {
    Q_OBJECT
public:
    explicit CTroubleshooterWindow(QWidget* parent = nullptr);

    TroubleshooterModel* model() { return &m_model; }

    // Reads the log again.
    void RefreshDisplay();
    // Asks where to save the log and saves it there.
    void OnExport();
    // Shows the window when hidden (reading the log), hides it when shown.
    void Toggle();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SaveTo(const QString& filePath);

    TroubleshooterModel m_model;
    QTreeView* m_list = nullptr;
    QPushButton* m_exportButton = nullptr;
    ui::WindowPlacement* m_placement = nullptr;
};

} // namespace tools
