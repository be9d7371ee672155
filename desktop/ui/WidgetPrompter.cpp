#include "desktop/ui/WidgetPrompter.h"

#include "desktop/link/DeviceLink.h"
#include "desktop/ui/CConnectionErrorDialog.h"
#include "desktop/ui/COverwriteDialog.h"
#include "desktop/ui/CRunningApplicationBox.h"
#include "desktop/ui/CSqlErrorDialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QThread>

#include <condition_variable>

namespace ui {

using devlink::PromptAnswer;
using devlink::PromptButtons;
using devlink::PromptIcon;

namespace {

QMessageBox::StandardButton StandardButtonOf(PromptAnswer answer)
{
    switch (answer) {
    case PromptAnswer::Ok:
        return QMessageBox::Ok;
    case PromptAnswer::Cancel:
        return QMessageBox::Cancel;
    case PromptAnswer::Yes:
        return QMessageBox::Yes;
    case PromptAnswer::No:
        return QMessageBox::No;
    case PromptAnswer::Retry:
        return QMessageBox::Retry;
    case PromptAnswer::Abort:
        return QMessageBox::Abort;
    case PromptAnswer::Ignore:
        return QMessageBox::Ignore;
    case PromptAnswer::YesToAll:
        return QMessageBox::YesToAll;
    case PromptAnswer::NoToAll:
        return QMessageBox::NoToAll;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon IconOf(PromptIcon icon)
{
    switch (icon) {
    case PromptIcon::None:
        return QMessageBox::NoIcon;
    case PromptIcon::Information:
        return QMessageBox::Information;
    case PromptIcon::Warning:
        return QMessageBox::Warning;
    case PromptIcon::Question:
        return QMessageBox::Question;
    case PromptIcon::Error:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

// The exchanged texts end their lines with CR LF; a label wants LF.
QString DisplayText(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

// A box modal to its owner's window, or to the whole program without one.
void ShowModal(QWidget* window, QWidget* owner)
{
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
    window->show();
    window->raise();
    window->activateWindow();
}

QMessageBox* MakeMessageBox(const devlink::PromptRequest& request, QWidget* owner)
{
    auto* box = new QMessageBox(owner);
    box->setObjectName(QStringLiteral("promptBox"));
    box->setWindowTitle(request.caption);
    box->setTextFormat(Qt::PlainText);
    box->setText(DisplayText(request.text));
    box->setIcon(IconOf(request.icon));
    const QList<PromptAnswer> answers = devlink::ButtonsOf(request.buttons);
    for (PromptAnswer answer : answers) {
        QAbstractButton* button = box->addButton(StandardButtonOf(answer));
        // Qt's own words for these differ from the program's.
        if (answer == PromptAnswer::YesToAll || answer == PromptAnswer::NoToAll)
            button->setText(devlink::AnswerName(answer));
    }
    box->setDefaultButton(StandardButtonOf(request.defaultButton.value_or(answers.first())));
    return box;
}

PromptAnswer AnswerOf(QMessageBox* box, PromptButtons buttons)
{
    const QMessageBox::StandardButton clicked = box->standardButton(box->clickedButton());
    for (PromptAnswer answer : devlink::ButtonsOf(buttons))
        if (StandardButtonOf(answer) == clicked)
            return answer;
    // Closed without a button (its window's close box): nothing is changed.
    return devlink::SafeAnswer(buttons);
}

} // namespace

QWidget* LiveOwnerWidget(QObject* owner)
{
    if (!owner)
        return nullptr;
    const QWidgetList widgets = QApplication::allWidgets();
    for (QWidget* widget : widgets)
        if (widget == owner)
            return widget->window();
    return nullptr;
}

struct WidgetPrompter::Pending {
    std::mutex mutex;
    std::condition_variable answered;
    bool done = false;
    std::function<void()> answerSafely;
    std::function<void()> wake; // the window thread's own wait, when it asked
};

WidgetPrompter::WidgetPrompter(QObject* parent)
    : QObject(parent)
{
    if (auto* app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &WidgetPrompter::AnswerAllSafely);
}

WidgetPrompter::~WidgetPrompter()
{
    if (&devlink::CurrentPrompter() == this)
        devlink::SetPrompter(nullptr);
    AnswerAllSafely();
    std::unique_lock lock(m_mutex);
    m_askersGone.wait(lock, [this] { return m_otherThreadAskers == 0; });
}

void WidgetPrompter::AnswerAllSafely()
{
    std::set<std::shared_ptr<Pending>> open;
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
        open = m_pending;
    }
    for (const auto& pending : open)
        pending->answerSafely();
}

template <typename Answer>
Answer WidgetPrompter::Carry(std::function<void(std::function<void(Answer)>)> open, Answer safe)
{
    auto pending = std::make_shared<Pending>();
    auto answer = std::make_shared<Answer>(safe);
    // The first answer counts: a window that answers after the program
    // began to quit changes nothing.
    std::function<void(Answer)> give = [pending, answer](Answer value) {
        std::function<void()> wake;
        {
            std::lock_guard lock(pending->mutex);
            if (pending->done)
                return;
            *answer = value;
            pending->done = true;
            wake = pending->wake;
        }
        pending->answered.notify_all();
        if (wake)
            wake();
    };
    pending->answerSafely = [give, safe] { give(safe); };
    const bool onWindowThread = QThread::currentThread() == thread();
    {
        std::lock_guard lock(m_mutex);
        if (m_closing)
            return safe;
        m_pending.insert(pending);
        if (!onWindowThread)
            ++m_otherThreadAskers;
    }
    if (onWindowThread) {
        devlink::TraceLine(QStringLiteral("A prompt was asked on the window thread.\r\n"));
        QEventLoop loop;
        {
            std::lock_guard lock(pending->mutex);
            pending->wake = [&loop] { loop.quit(); };
        }
        open(give);
        bool done = false;
        {
            std::lock_guard lock(pending->mutex);
            done = pending->done;
        }
        if (!done)
            loop.exec();
        std::lock_guard lock(pending->mutex);
        pending->wake = nullptr;
    } else {
        QMetaObject::invokeMethod(
            this, [open, give] { open(give); }, Qt::QueuedConnection);
        std::unique_lock lock(pending->mutex);
        pending->answered.wait(lock, [&] { return pending->done; });
    }
    {
        std::lock_guard lock(m_mutex);
        m_pending.erase(pending);
        // Notified under the lock: the destructor may free the condition
        // variable as soon as it sees the count reach zero.
        if (!onWindowThread && --m_otherThreadAskers == 0)
            m_askersGone.notify_all();
    }
    std::lock_guard lock(pending->mutex);
    return *answer;
}

PromptAnswer WidgetPrompter::Ask(const devlink::PromptRequest& request)
{
    return Carry<PromptAnswer>(
        [request](std::function<void(PromptAnswer)> give) {
            QMessageBox* box = MakeMessageBox(request, LiveOwnerWidget(request.owner));
            const PromptButtons buttons = request.buttons;
            QObject::connect(
                box, &QMessageBox::finished, box, [box, buttons, give] { give(AnswerOf(box, buttons)); });
            ShowModal(box, box->parentWidget());
        },
        devlink::SafeAnswer(request.buttons));
}

devlink::ConnectionErrorAnswer WidgetPrompter::AskConnectionError(
    const devlink::ConnectionErrorRequest& request)
{
    return Carry<devlink::ConnectionErrorAnswer>(
        [request](std::function<void(devlink::ConnectionErrorAnswer)> give) {
            auto* dialog = new CConnectionErrorDialog(request);
            QObject::connect(dialog, &CConnectionErrorDialog::answered, dialog, give);
            ShowModal(dialog, nullptr);
        },
        devlink::ConnectionErrorAnswer::Cancel);
}

devlink::SqlErrorAnswer WidgetPrompter::AskSqlError(const devlink::SqlErrorRequest& request)
{
    devlink::SqlErrorAnswer safe;
    safe.sql = request.sql;
    return Carry<devlink::SqlErrorAnswer>(
        [request](std::function<void(devlink::SqlErrorAnswer)> give) {
            QWidget* owner = LiveOwnerWidget(request.owner);
            auto* dialog = new CSqlErrorDialog(request, owner);
            QObject::connect(dialog, &CSqlErrorDialog::answered, dialog, give);
            ShowModal(dialog, owner);
        },
        safe);
}

devlink::PromptAnswer WidgetPrompter::AskOverwrite(const devlink::OverwriteRequest& request)
{
    return Carry<PromptAnswer>(
        [request](std::function<void(PromptAnswer)> give) {
            QWidget* owner = LiveOwnerWidget(request.owner);
            auto* dialog = new COverwriteDialog(request, owner);
            QObject::connect(dialog, &COverwriteDialog::answered, dialog, give);
            ShowModal(dialog, owner);
        },
        PromptAnswer::Cancel);
}

void WidgetPrompter::ShowRunningApplication(const devlink::RunningApplicationNotice& notice)
{
    // A notice: nobody waits for it.
    const int milliseconds = m_runningApplicationMs;
    QMetaObject::invokeMethod(
        this,
        [notice, milliseconds] {
            auto* box = new CRunningApplicationBox(notice, milliseconds);
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->show();
        },
        Qt::QueuedConnection);
}

} // namespace ui
