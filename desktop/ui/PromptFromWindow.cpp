#include "desktop/ui/PromptFromWindow.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

namespace ui {

QThreadPool& HelperThreads()
{
    static QThreadPool* pool = [] {
        auto* made = new QThreadPool;
        made->setMaxThreadCount(64);
        return made;
    }();
    return *pool;
}

void AskFromWindow(
    const devlink::PromptRequest& request, QObject* context, std::function<void(devlink::PromptAnswer)> then)
{
    QPointer<QObject> guard(context);
    HelperThreads().start([request, guard, then = std::move(then)] {
        const devlink::PromptAnswer answer = devlink::CurrentPrompter().Ask(request);
        if (!then)
            return;
        // Through the application object, which outlives every window.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [guard, then, answer] {
                if (guard)
                    then(answer);
            },
            Qt::QueuedConnection);
    });
}

void TellFromWindow(QObject* owner, const QString& caption, const QString& text, devlink::PromptIcon icon)
{
    devlink::PromptRequest request;
    request.caption = caption;
    request.text = text;
    request.icon = icon;
    request.buttons = devlink::PromptButtons::Ok;
    request.owner = owner;
    AskFromWindow(request, owner);
}

} // namespace ui
