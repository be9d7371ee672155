#include "desktop/tools/DeviceResetter.h"

#include "desktop/link/DeviceSession.h"
#include "desktop/link/Prompter.h"
#include "desktop/link/UtilityModes.h"
#include "desktop/ui/PromptFromWindow.h"

#include <memory>

namespace tools {

DeviceResetter::DeviceResetter(QObject* parent)
    : QObject(parent)
{
}

DeviceResetter::~DeviceResetter()
{
    devlink::DeviceSession::Instance().Forget(this);
}

QString DeviceResetter::NotResetText()
{
    return QStringLiteral("Your device was not reset.");
}

void DeviceResetter::Start(bool hard)
{
    if (m_running)
        return;
    m_running = true;
    auto started = std::make_shared<bool>(false);
    devlink::DeviceSession::Instance().Start(
        this,
        [started, hard](devlink::RequestContext&) {
            *started = devlink::StartDeviceReset(hard);
            if (!*started)
                return;
            devlink::RunningApplicationNotice notice;
            notice.programPath = devlink::UtilityAgentPath(hard ? 3 : 2);
            notice.labelHidden = true;
            notice.text = hard ? QStringLiteral("Hard-reseting your device..")
                               : QStringLiteral("Soft-reseting your device..");
            devlink::CurrentPrompter().ShowRunningApplication(notice);
        },
        [this, started](devlink::RequestEnd) {
            m_running = false;
            if (*started) {
                emit deviceGone();
            } else {
                // The window stays connected: nothing happened to the device.
                ui::TellFromWindow(
                    parent(), QStringLiteral("Quorvane"), NotResetText(), devlink::PromptIcon::Information);
            }
            emit finished(*started);
        });
}

} // namespace tools
