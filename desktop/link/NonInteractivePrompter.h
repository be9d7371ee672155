// The prompter of the command-line program: it prints every message on a
// stream (standard error by default) and answers without asking anyone.
//
//   SafeAnswers   every question gets the answer that changes nothing:
//                 Cancel, else No, else Abort; the SQL error dialog OK (no
//                 retry); the connection-error dialog Cancel.
//   AnswerYes     a question with Yes or OK gets that answer (a command run
//                 with "--yes"); Retry is never chosen, so nothing repeats
//                 without end; the dialogs answer as above.
//
// The running-application notice prints nothing. Safe from any thread; each
// message is written whole.
#pragma once

#include "desktop/link/Prompter.h"

#include <cstdio>
#include <mutex>

namespace devlink {

class NonInteractivePrompter : public Prompter {
public:
    enum class Mode { SafeAnswers, AnswerYes };

    explicit NonInteractivePrompter(Mode mode = Mode::SafeAnswers, std::FILE* stream = stderr);

    void SetMode(Mode mode);
    Mode mode() const;

    PromptAnswer Ask(const PromptRequest& request) override;
    ConnectionErrorAnswer AskConnectionError(const ConnectionErrorRequest& request) override;
    SqlErrorAnswer AskSqlError(const SqlErrorRequest& request) override;
    // Prints the question; Yes with AnswerYes, else No (the file is kept).
    PromptAnswer AskOverwrite(const OverwriteRequest& request) override;
    void ShowRunningApplication(const RunningApplicationNotice& notice) override;

    // The answer Ask gives for a button set in `mode`.
    static PromptAnswer AnswerFor(PromptButtons buttons, Mode mode);

    // "caption: text" as printed: CR LF and lone CR become LF, trailing white
    // space is dropped.
    static QString PrintedText(const QString& caption, const QString& text);

private:
    void Print(const QString& text);

    mutable std::mutex m_mutex;
    Mode m_mode;
    std::FILE* m_stream;
};

} // namespace devlink
