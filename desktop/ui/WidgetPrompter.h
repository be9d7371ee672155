// The prompter of the desktop program: every message box and dialog of the
// prompt interface becomes a real window on the window thread.
//
//   Ask                  a QMessageBox with the request's caption, text, icon,
//                        buttons and default button;
//   AskConnectionError   CConnectionErrorDialog, which retries by itself;
//   AskSqlError          CSqlErrorDialog;
//   AskOverwrite         COverwriteDialog;
//   ShowRunningApplication  CRunningApplicationBox, which closes itself; the
//                        caller does not wait for it.
//
// A request from another thread (the device session's worker) is carried to
// the window thread, where the window opens without an event loop of its
// own, and the asking thread waits until the user has answered. A box with
// an owner is modal to the owner's window when that window still exists,
// else to the whole program.
//
// A request asked on the window thread itself cannot be answered without a
// local event loop; windows ask through AskFromWindow (PromptFromWindow.h)
// instead, and this path remains only so that a stray call does not hang.
//
// When the program quits (or the prompter is destroyed) every open request
// gets its safe answer, so that no asking thread waits for ever.
//
// Threads: create and destroy it on the window thread with a QApplication
// alive; the Prompter operations are safe from any thread.
#pragma once

#include "desktop/link/Prompter.h"

#include <QObject>
#include <QWidget>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <set>

namespace ui {

class WidgetPrompter : public QObject, public devlink::Prompter {
    Q_OBJECT
public:
    explicit WidgetPrompter(QObject* parent = nullptr);
    // Unsets itself as the program's prompter and answers what is still open.
    ~WidgetPrompter() override;

    devlink::PromptAnswer Ask(const devlink::PromptRequest& request) override;
    devlink::ConnectionErrorAnswer AskConnectionError(
        const devlink::ConnectionErrorRequest& request) override;
    devlink::SqlErrorAnswer AskSqlError(const devlink::SqlErrorRequest& request) override;
    devlink::PromptAnswer AskOverwrite(const devlink::OverwriteRequest& request) override;
    void ShowRunningApplication(const devlink::RunningApplicationNotice& notice) override;

    // How long the running-application box stays (3000 ms).
    void SetRunningApplicationMs(int milliseconds) { m_runningApplicationMs = milliseconds; }

private:
    struct Pending;

    // Runs `open` on the window thread and waits until it has called its
    // answer function; returns what it was given, or `safe` when the program
    // quits first. `open` gets the function to call with the answer.
    template <typename Answer>
    Answer Carry(std::function<void(std::function<void(Answer)>)> open, Answer safe);

    // Gives every open request its safe answer; nothing opens afterwards.
    void AnswerAllSafely();

    std::mutex m_mutex;
    // Signalled when the last asker on another thread has left Carry, so
    // that the destructor never frees what such an asker still touches.
    std::condition_variable m_askersGone;
    int m_otherThreadAskers = 0;
    bool m_closing = false;
    std::set<std::shared_ptr<Pending>> m_pending;
    int m_runningApplicationMs = 3000;
};

// The widget that a prompt's `owner` names, when it is a widget that still
// exists; else null. Window thread only: the pointer is compared with the
// living widgets before it is followed, so a window that closed meanwhile
// is never touched.
QWidget* LiveOwnerWidget(QObject* owner);

} // namespace ui
