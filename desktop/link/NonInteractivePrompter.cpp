#include "desktop/link/NonInteractivePrompter.h"

namespace devlink {

NonInteractivePrompter::NonInteractivePrompter(Mode mode, std::FILE* stream)
    : m_mode(mode)
    , m_stream(stream)
{
}

void NonInteractivePrompter::SetMode(Mode mode)
{
    std::lock_guard lock(m_mutex);
    m_mode = mode;
}

NonInteractivePrompter::Mode NonInteractivePrompter::mode() const
{
    std::lock_guard lock(m_mutex);
    return m_mode;
}

PromptAnswer NonInteractivePrompter::AnswerFor(PromptButtons buttons, Mode mode)
{
    if (mode == Mode::AnswerYes) {
        const QList<PromptAnswer> set = ButtonsOf(buttons);
        if (set.contains(PromptAnswer::Yes))
            return PromptAnswer::Yes;
        if (set.contains(PromptAnswer::Ok))
            return PromptAnswer::Ok;
    }
    return SafeAnswer(buttons);
}

QString NonInteractivePrompter::PrintedText(const QString& caption, const QString& text)
{
    QString body = text;
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    body.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    while (!body.isEmpty() && body.back().isSpace())
        body.chop(1);
    if (caption.isEmpty())
        return body;
    return caption + QStringLiteral(": ") + body;
}

PromptAnswer NonInteractivePrompter::Ask(const PromptRequest& request)
{
    PromptAnswer answer = AnswerFor(request.buttons, mode());
    QString printed = PrintedText(request.caption, request.text);
    if (ButtonsOf(request.buttons).size() > 1)
        printed += QStringLiteral("\n[") + AnswerName(answer) + QStringLiteral("]");
    Print(printed);
    return answer;
}

ConnectionErrorAnswer NonInteractivePrompter::AskConnectionError(const ConnectionErrorRequest& request)
{
    Print(PrintedText(request.caption, request.message + QStringLiteral("\n") + request.advice));
    return ConnectionErrorAnswer::Cancel;
}

SqlErrorAnswer NonInteractivePrompter::AskSqlError(const SqlErrorRequest& request)
{
    QString text = QStringLiteral("An error occurred whilst trying to run the following SQL:\n") + request.sql
        + QStringLiteral("\nError: ") + request.error + QStringLiteral("\nError code: ") + request.errorCode
        + QStringLiteral("\nDetails: ") + request.details;
    Print(PrintedText(QString(), text));
    SqlErrorAnswer answer;
    answer.sql = request.sql;
    return answer;
}

PromptAnswer NonInteractivePrompter::AskOverwrite(const OverwriteRequest& request)
{
    Print(PrintedText(QStringLiteral("Overwrite existing file ?"),
        QStringLiteral("The file \"%1\" already exists in the directory:\n%2")
            .arg(request.fileName, request.deviceDir)));
    return mode() == Mode::AnswerYes ? PromptAnswer::Yes : PromptAnswer::No;
}

void NonInteractivePrompter::ShowRunningApplication(const RunningApplicationNotice&) { }

void NonInteractivePrompter::Print(const QString& text)
{
    if (!m_stream)
        return;
    QByteArray bytes = text.toUtf8();
    bytes.append('\n');
    std::lock_guard lock(m_mutex);
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), m_stream);
    std::fflush(m_stream);
}

} // namespace devlink
