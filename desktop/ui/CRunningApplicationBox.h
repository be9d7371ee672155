// The running-application box: "Running the application:" over the device
// program that was started, or a text of its own with the label hidden (a
// reset). It closes itself after a while (three seconds in the program).
//
// Threads: window thread only.
#pragma once

#include "desktop/link/Prompter.h"

#include <QDialog>

namespace ui {

class CRunningApplicationBox : public QDialog {
    Q_OBJECT
public:
    CRunningApplicationBox(
        const devlink::RunningApplicationNotice& notice, int closeAfterMs, QWidget* parent = nullptr);
};

} // namespace ui
