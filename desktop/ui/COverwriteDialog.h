// The question before a copy replaces a device file: both files' sizes and
// times, "&Yes", "Yes to &all", "&No", "No to all", "&Cancel", and the check
// box that makes "When file is newer" the copy policy from now on.
//
// Threads: window thread only.
#pragma once

#include "desktop/link/Prompter.h"

#include <QDialog>

namespace ui {

class COverwriteDialog : public QDialog {
    Q_OBJECT
public:
    explicit COverwriteDialog(const devlink::OverwriteRequest& request, QWidget* parent = nullptr);

    // Escape and the close box count as "&Cancel".
    void reject() override;

signals:
    // Emitted once, as the dialog closes.
    void answered(devlink::PromptAnswer answer);

private:
    void Finish(devlink::PromptAnswer answer);

    bool m_finished = false;
};

} // namespace ui
