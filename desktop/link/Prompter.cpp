#include "desktop/link/Prompter.h"

#include "desktop/link/NonInteractivePrompter.h"

#include <atomic>

namespace devlink {
namespace {

std::atomic<Prompter*> g_prompter { nullptr };

Prompter& DefaultPrompter()
{
    static NonInteractivePrompter prompter;
    return prompter;
}

} // namespace

Prompter::~Prompter() = default;

Prompter& CurrentPrompter()
{
    Prompter* prompter = g_prompter.load();
    return prompter ? *prompter : DefaultPrompter();
}

void SetPrompter(Prompter* prompter)
{
    g_prompter.store(prompter);
}

PromptAnswer ShowMessage(
    const QString& caption, const QString& text, PromptIcon icon, PromptButtons buttons, QObject* owner)
{
    PromptRequest request;
    request.caption = caption;
    request.text = text;
    request.icon = icon;
    request.buttons = buttons;
    request.owner = owner;
    return CurrentPrompter().Ask(request);
}

QList<PromptAnswer> ButtonsOf(PromptButtons buttons)
{
    switch (buttons) {
    case PromptButtons::Ok:
        return { PromptAnswer::Ok };
    case PromptButtons::OkCancel:
        return { PromptAnswer::Ok, PromptAnswer::Cancel };
    case PromptButtons::YesNo:
        return { PromptAnswer::Yes, PromptAnswer::No };
    case PromptButtons::YesNoCancel:
        return { PromptAnswer::Yes, PromptAnswer::No, PromptAnswer::Cancel };
    case PromptButtons::RetryCancel:
        return { PromptAnswer::Retry, PromptAnswer::Cancel };
    case PromptButtons::AbortRetryIgnore:
        return { PromptAnswer::Abort, PromptAnswer::Retry, PromptAnswer::Ignore };
    case PromptButtons::YesAllNoAllCancel:
        return { PromptAnswer::Yes, PromptAnswer::YesToAll, PromptAnswer::No, PromptAnswer::NoToAll,
            PromptAnswer::Cancel };
    }
    return { PromptAnswer::Ok };
}

QString AnswerName(PromptAnswer answer)
{
    switch (answer) {
    case PromptAnswer::Ok:
        return QStringLiteral("OK");
    case PromptAnswer::Cancel:
        return QStringLiteral("Cancel");
    case PromptAnswer::Yes:
        return QStringLiteral("Yes");
    case PromptAnswer::No:
        return QStringLiteral("No");
    case PromptAnswer::Retry:
        return QStringLiteral("Retry");
    case PromptAnswer::Abort:
        return QStringLiteral("Abort");
    case PromptAnswer::Ignore:
        return QStringLiteral("Ignore");
    case PromptAnswer::YesToAll:
        return QStringLiteral("Yes to &all");
    case PromptAnswer::NoToAll:
        return QStringLiteral("N&o to all");
    }
    return {};
}

PromptAnswer SafeAnswer(PromptButtons buttons)
{
    const QList<PromptAnswer> set = ButtonsOf(buttons);
    for (PromptAnswer preferred : { PromptAnswer::Cancel, PromptAnswer::No, PromptAnswer::Abort })
        if (set.contains(preferred))
            return preferred;
    return PromptAnswer::Ok;
}

} // namespace devlink
