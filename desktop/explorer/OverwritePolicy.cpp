#include "desktop/explorer/OverwritePolicy.h"

#include "desktop/explorer/DeviceDateText.h"
#include "desktop/explorer/DeviceFileOperations.h"
#include "desktop/explorer/DeviceListing.h"
#include "desktop/explorer/FileSizeText.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/link/Prompter.h"
#include "desktop/settings/SettingsStore.h"

#include <QFileInfo>
#include <QLocale>

#include <algorithm>

namespace explorer {
namespace {

using devlink::PromptAnswer;

QString QuestionTime(const QDateTime& time)
{
    return QLocale::c().toString(time.toLocalTime(), QStringLiteral("MMM dd yyyy  HH:mm:ss"));
}

QString SizeText(quint64 size)
{
    return FormatFileSize(quint32(std::min<quint64>(size, 0xFFFFFFFFu)));
}

void TraceTime(const char* side, const QString& path, const QDateTime& time)
{
    const QDateTime local = time.toLocalTime();
    devlink::TraceLine(QStringLiteral("%1's \"%2\" was created on %3/%4/%5 %6:%7.\r\n")
                           .arg(QLatin1String(side), path)
                           .arg(local.date().day())
                           .arg(local.date().month())
                           .arg(local.date().year())
                           .arg(local.time().hour())
                           .arg(local.time().minute(), 2, 10, QLatin1Char(' ')));
}

OverwriteDecision Traced(OverwriteDecision decision)
{
    devlink::TraceLine(decision == OverwriteDecision::Copy ? QStringLiteral("Copy this file.\r\n")
                                                           : QStringLiteral("DON'T copy this file.\r\n"));
    return decision;
}

OverwriteDecision Ask(const QFileInfo& pc, const QString& devicePath, const CE_FIND_DATA& found,
    const QDateTime& deviceTime, int* overwriteChoice)
{
    if (*overwriteChoice == kOverwriteYesToAll)
        return OverwriteDecision::Copy;
    if (*overwriteChoice == kOverwriteNoToAll)
        return OverwriteDecision::Skip;
    devlink::OverwriteRequest request;
    request.fileName = LastComponent(devicePath);
    request.deviceDir = ParentDevicePath(devicePath);
    if (pc.exists()) {
        request.pcSizeText = SizeText(quint64(pc.size()));
        request.pcTimeText = QuestionTime(pc.lastModified());
    }
    request.deviceSizeText = SizeText((quint64(found.nFileSizeHigh) << 32) | found.nFileSizeLow);
    request.deviceTimeText = QuestionTime(deviceTime);
    const QDateTime pcTime = pc.lastModified();
    request.focusOnNo = pcTime.isValid() && deviceTime.isValid()
        && pcTime.toSecsSinceEpoch() < deviceTime.toSecsSinceEpoch();
    request.alwaysOverwriteChanged = [](bool checked) {
        settings::WriteDword(QStringLiteral("CopyFilesWhen"), checked ? kCopyWhenNewer : kCopyPrompt);
    };
    switch (devlink::CurrentPrompter().AskOverwrite(request)) {
    case PromptAnswer::Yes:
        return OverwriteDecision::Copy;
    case PromptAnswer::YesToAll:
        *overwriteChoice = kOverwriteYesToAll;
        return OverwriteDecision::Copy;
    case PromptAnswer::NoToAll:
        *overwriteChoice = kOverwriteNoToAll;
        return OverwriteDecision::Skip;
    case PromptAnswer::No:
        return OverwriteDecision::Skip;
    default:
        return OverwriteDecision::Cancel;
    }
}

} // namespace

int CopyFilesWhen()
{
    quint32 value = kCopyPrompt;
    if (!settings::ReadDword(QStringLiteral("CopyFilesWhen"), &value) || value > quint32(kCopyNever))
        return kCopyPrompt;
    return int(value);
}

bool PcCopyIsNewer(const QDateTime& pcTime, const QDateTime& deviceTime)
{
    if (!pcTime.isValid() || !deviceTime.isValid())
        return true;
    return pcTime.toSecsSinceEpoch() > deviceTime.toSecsSinceEpoch();
}

OverwriteDecision DecideOverwrite(const QString& pcPath, const QString& devicePath, int* overwriteChoice)
{
    CE_FIND_DATA found {};
    const int policy = CopyFilesWhen();
    if (!FindEntry(devicePath, &found)) {
        if (policy == kCopyWhenNewer)
            devlink::TraceLine(
                QStringLiteral("Couldn't find the file: \"%1\" on the device.\r\n").arg(devicePath));
        return OverwriteDecision::Copy;
    }
    const QFileInfo pc(pcPath);
    const QDateTime deviceTime = DeviceFileTime(found.ftLastWriteTime);
    switch (policy) {
    case kCopyPrompt: {
        const OverwriteDecision decision = Ask(pc, devicePath, found, deviceTime, overwriteChoice);
        return decision == OverwriteDecision::Cancel ? decision : Traced(decision);
    }
    case kCopyWhenNewer: {
        const QDateTime pcTime = pc.lastModified();
        if (deviceTime.isValid())
            TraceTime("Device", devicePath, deviceTime);
        if (pcTime.isValid())
            TraceTime("Server", pcPath, pcTime);
        return Traced(PcCopyIsNewer(pcTime, deviceTime) ? OverwriteDecision::Copy : OverwriteDecision::Skip);
    }
    case kCopyAlways:
        return Traced(OverwriteDecision::Copy);
    default:
        return Traced(OverwriteDecision::Skip);
    }
}

} // namespace explorer
