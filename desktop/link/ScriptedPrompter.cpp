#include "desktop/link/ScriptedPrompter.h"

#include <QThread>

namespace devlink {

void ScriptedPrompter::QueueAnswer(PromptAnswer answer)
{
    std::lock_guard lock(m_mutex);
    m_answers.push_back(answer);
}

void ScriptedPrompter::QueueConnectionAnswer(ConnectionErrorAnswer answer, int maxAttempts)
{
    std::lock_guard lock(m_mutex);
    m_connectionAnswers.push_back({ answer, maxAttempts });
}

void ScriptedPrompter::QueueSqlErrorAnswer(bool retry, const QString& editedSql)
{
    std::lock_guard lock(m_mutex);
    m_sqlAnswers.push_back({ retry, editedSql });
}

void ScriptedPrompter::QueueOverwriteAnswer(PromptAnswer answer, bool toggleAlways)
{
    std::lock_guard lock(m_mutex);
    m_overwriteAnswers.push_back({ answer, toggleAlways });
}

void ScriptedPrompter::SetHook(std::function<void(const Record&)> hook)
{
    std::lock_guard lock(m_mutex);
    m_hook = std::move(hook);
}

QList<ScriptedPrompter::Record> ScriptedPrompter::Records() const
{
    std::lock_guard lock(m_mutex);
    return m_records;
}

int ScriptedPrompter::Count() const
{
    std::lock_guard lock(m_mutex);
    return int(m_records.size());
}

int ScriptedPrompter::UnexpectedCount() const
{
    std::lock_guard lock(m_mutex);
    return m_unexpected;
}

int ScriptedPrompter::PendingAnswers() const
{
    std::lock_guard lock(m_mutex);
    return int(
        m_answers.size() + m_connectionAnswers.size() + m_sqlAnswers.size() + m_overwriteAnswers.size());
}

void ScriptedPrompter::Clear()
{
    std::lock_guard lock(m_mutex);
    m_answers.clear();
    m_connectionAnswers.clear();
    m_sqlAnswers.clear();
    m_overwriteAnswers.clear();
    m_records.clear();
    m_unexpected = 0;
}

void ScriptedPrompter::Add(const Record& record)
{
    std::function<void(const Record&)> hook;
    {
        std::lock_guard lock(m_mutex);
        m_records.append(record);
        hook = m_hook;
    }
    if (hook)
        hook(record);
}

PromptAnswer ScriptedPrompter::Ask(const PromptRequest& request)
{
    Record record;
    record.kind = Kind::Message;
    record.caption = request.caption;
    record.text = request.text;
    record.icon = request.icon;
    record.buttons = request.buttons;
    record.defaultButton = request.defaultButton;
    record.hasOwner = request.owner != nullptr;
    {
        std::lock_guard lock(m_mutex);
        bool usable = !m_answers.empty() && ButtonsOf(request.buttons).contains(m_answers.front());
        if (usable) {
            record.answer = m_answers.front();
            m_answers.pop_front();
        } else {
            record.answer = SafeAnswer(request.buttons);
            ++m_unexpected;
        }
    }
    Add(record);
    return record.answer;
}

ConnectionErrorAnswer ScriptedPrompter::AskConnectionError(const ConnectionErrorRequest& request)
{
    Record record;
    record.kind = Kind::ConnectionError;
    record.caption = request.caption;
    record.text = request.message + QStringLiteral("\n") + request.advice;
    record.buttons = PromptButtons::RetryCancel;
    record.defaultButton = PromptAnswer::Retry;
    record.retryIntervalMs = request.retryIntervalMs;
    ConnectionStep step { ConnectionErrorAnswer::Cancel, 0 };
    {
        std::lock_guard lock(m_mutex);
        if (!m_connectionAnswers.empty()) {
            step = m_connectionAnswers.front();
            m_connectionAnswers.pop_front();
        } else {
            ++m_unexpected;
        }
    }
    ConnectionErrorAnswer answer = step.answer;
    if (answer == ConnectionErrorAnswer::Connected) {
        answer = ConnectionErrorAnswer::Cancel;
        for (int attempt = 0; attempt < step.maxAttempts; ++attempt) {
            QThread::msleep(static_cast<unsigned long>(request.retryIntervalMs));
            if (request.tryConnect && request.tryConnect()) {
                answer = ConnectionErrorAnswer::Connected;
                break;
            }
        }
    }
    record.connectionAnswer = answer;
    Add(record);
    return answer;
}

SqlErrorAnswer ScriptedPrompter::AskSqlError(const SqlErrorRequest& request)
{
    Record record;
    record.kind = Kind::SqlError;
    record.text
        = request.error + QStringLiteral("\n") + request.errorCode + QStringLiteral("\n") + request.details;
    record.sqlError = request;
    record.hasOwner = request.owner != nullptr;
    SqlErrorAnswer answer;
    answer.sql = request.sql;
    {
        std::lock_guard lock(m_mutex);
        if (!m_sqlAnswers.empty()) {
            answer.retry = m_sqlAnswers.front().retry;
            if (!m_sqlAnswers.front().sql.isEmpty())
                answer.sql = m_sqlAnswers.front().sql;
            m_sqlAnswers.pop_front();
        } else {
            ++m_unexpected;
        }
    }
    record.sqlRetry = answer.retry;
    Add(record);
    return answer;
}

PromptAnswer ScriptedPrompter::AskOverwrite(const OverwriteRequest& request)
{
    Record record;
    record.kind = Kind::Overwrite;
    record.caption = QStringLiteral("Overwrite existing file ?");
    record.text = QStringLiteral("The file \"%1\" already exists in the directory:\n%2")
                      .arg(request.fileName, request.deviceDir);
    record.buttons = PromptButtons::YesAllNoAllCancel;
    record.defaultButton = request.focusOnNo ? PromptAnswer::No : PromptAnswer::Yes;
    record.overwrite = request;
    record.hasOwner = request.owner != nullptr;
    OverwriteStep step { PromptAnswer::Cancel, false };
    {
        std::lock_guard lock(m_mutex);
        if (!m_overwriteAnswers.empty()
            && ButtonsOf(record.buttons).contains(m_overwriteAnswers.front().answer)) {
            step = m_overwriteAnswers.front();
            m_overwriteAnswers.pop_front();
        } else {
            ++m_unexpected;
        }
    }
    if (step.toggleAlways && request.alwaysOverwriteChanged)
        request.alwaysOverwriteChanged(true);
    record.answer = step.answer;
    Add(record);
    return step.answer;
}

void ScriptedPrompter::ShowRunningApplication(const RunningApplicationNotice& notice)
{
    Record record;
    record.kind = Kind::RunningApplication;
    record.caption = QStringLiteral("Running the application:");
    record.text = notice.text.isEmpty() ? notice.programPath : notice.text;
    record.notice = notice;
    Add(record);
}

} // namespace devlink
