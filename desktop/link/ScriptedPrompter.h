// The prompter of tests: answers are queued before the code under test runs,
// and every prompt is recorded (kind, caption, text, icon, buttons, default
// button, the answer given) so that the test can check its exact texts.
//
// A prompt that finds no queued answer of its kind gets the safe answer
// (Cancel, No, Abort; no retry; Cancel for the connection dialog) and counts
// as unexpected. A queued answer that the box does not offer also counts as
// unexpected and is replaced by the safe answer.
//
// Safe from any thread: the link asks from worker threads too.
#pragma once

#include "desktop/link/Prompter.h"

#include <QList>

#include <deque>
#include <functional>
#include <mutex>

namespace devlink {

class ScriptedPrompter : public Prompter {
public:
    enum class Kind { Message, ConnectionError, SqlError, Overwrite, RunningApplication };

    struct Record {
        Kind kind = Kind::Message;
        QString caption;
        QString text; // message text; the dialogs' lines joined by "\n"
        PromptIcon icon = PromptIcon::None;
        PromptButtons buttons = PromptButtons::Ok;
        std::optional<PromptAnswer> defaultButton;
        bool hasOwner = false;
        SqlErrorRequest sqlError; // Kind::SqlError
        OverwriteRequest overwrite; // Kind::Overwrite
        RunningApplicationNotice notice; // Kind::RunningApplication
        int retryIntervalMs = 0; // Kind::ConnectionError
        PromptAnswer answer = PromptAnswer::Ok; // Kind::Message
        ConnectionErrorAnswer connectionAnswer = ConnectionErrorAnswer::Cancel;
        bool sqlRetry = false;
    };

    void QueueAnswer(PromptAnswer answer);
    // Retry or Cancel close the dialog at once. Connected keeps it open: the
    // dialog waits its retry interval and calls tryConnect, up to
    // `maxAttempts` times, closing with Connected on success and with Cancel
    // when every attempt failed.
    void QueueConnectionAnswer(ConnectionErrorAnswer answer, int maxAttempts = 1);
    // OK (retry false) or "&Retry" with the SQL as the user edited it (the
    // shown SQL when `editedSql` is empty).
    void QueueSqlErrorAnswer(bool retry, const QString& editedSql = QString());

    // The overwrite question's answer (Yes, YesToAll, No, NoToAll, Cancel);
    // `toggleAlways` clicks its check box once before answering.
    void QueueOverwriteAnswer(PromptAnswer answer, bool toggleAlways = false);

    // Called with each record as it is made, before the answer is returned
    // (a test may act "while the box is open"). Runs on the asking thread.
    void SetHook(std::function<void(const Record&)> hook);

    QList<Record> Records() const;
    int Count() const;
    int UnexpectedCount() const;
    // Answers queued but never used.
    int PendingAnswers() const;
    void Clear();

    PromptAnswer Ask(const PromptRequest& request) override;
    ConnectionErrorAnswer AskConnectionError(const ConnectionErrorRequest& request) override;
    SqlErrorAnswer AskSqlError(const SqlErrorRequest& request) override;
    PromptAnswer AskOverwrite(const OverwriteRequest& request) override;
    void ShowRunningApplication(const RunningApplicationNotice& notice) override;

private:
    struct ConnectionStep {
        ConnectionErrorAnswer answer;
        int maxAttempts;
    };
    struct OverwriteStep {
        PromptAnswer answer;
        bool toggleAlways;
    };
    struct SqlStep {
        bool retry;
        QString sql;
    };

    void Add(const Record& record);

    mutable std::mutex m_mutex;
    std::deque<PromptAnswer> m_answers;
    std::deque<ConnectionStep> m_connectionAnswers;
    std::deque<SqlStep> m_sqlAnswers;
    std::deque<OverwriteStep> m_overwriteAnswers;
    QList<Record> m_records;
    int m_unexpected = 0;
    std::function<void(const Record&)> m_hook;
};

} // namespace devlink
