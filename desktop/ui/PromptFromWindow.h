// Message boxes asked by a window. The prompt interface answers
// synchronously; a window must not wait for an answer on its own thread (that
// needs a local event loop), so the question is asked on a helper thread,
// where the program's prompter may block: the widget prompter carries it
// back to the window thread as a box modal to `request.owner`, a test's
// scripted prompter answers it at once.
//
// Threads: call from the window thread.
#pragma once

#include "desktop/link/Prompter.h"

#include <QObject>

#include <functional>

class QThreadPool;

namespace ui {

// Threads for what a window hands off and that may wait long (a prompt's
// answer, a connection try): apart from Qt's global pool, whose few threads
// must stay free for short work, and with room for every open window.
QThreadPool& HelperThreads();

// Asks `request`; `then` (when set) runs later on the window thread with the
// answer, unless `context` has been destroyed meanwhile.
void AskFromWindow(const devlink::PromptRequest& request, QObject* context,
    std::function<void(devlink::PromptAnswer)> then = {});

// A message box with one "OK" button, owned by `owner`'s window.
void TellFromWindow(QObject* owner, const QString& caption, const QString& text, devlink::PromptIcon icon);

} // namespace ui
