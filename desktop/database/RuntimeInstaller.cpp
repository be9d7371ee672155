#include "desktop/database/RuntimeInstaller.h"

#include "desktop/explorer/CabInstall.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/link/DeviceSession.h"
#include "platform/rapi/Rapi.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QPointer>

namespace database {

RuntimeInstaller::RuntimeInstaller(const RuntimePresence& presence, bool osAtLeast5, bool automatic,
    const QString& cabDirectory, QObject* parent)
    : QObject(parent)
    , m_osAtLeast5(osAtLeast5)
    , m_automatic(automatic)
    , m_cabDirectory(cabDirectory)
{
    m_texts = RuntimeWindowState(presence, RuntimeCabsPresent(RuntimeCabNames(2, osAtLeast5), cabDirectory),
        RuntimeCabsPresent(RuntimeCabNames(3, osAtLeast5), cabDirectory));
    connect(&m_countdown, &QTimer::timeout, this, &RuntimeInstaller::Tick);
    connect(&m_deviceCheck, &QTimer::timeout, this, &RuntimeInstaller::CheckDevice);
}

RuntimeInstaller::~RuntimeInstaller()
{
    devlink::DeviceSession::Instance().Forget(this);
}

QString RuntimeInstaller::cancelText() const
{
    return m_counting ? QStringLiteral("Cancel (%1)").arg(m_secondsLeft) : QStringLiteral("Cancel");
}

void RuntimeInstaller::Start(int tickMs, int deviceCheckMs)
{
    m_deviceCheck.start(deviceCheckMs);
    if (!m_automatic)
        return;
    m_counting = true;
    m_secondsLeft = 11;
    m_countdown.start(tickMs);
    emit cancelTextChanged();
}

void RuntimeInstaller::Tick()
{
    if (!m_counting)
        return;
    --m_secondsLeft;
    emit cancelTextChanged();
    if (m_secondsLeft <= 0) {
        m_countdown.stop();
        m_counting = false;
        emit closeRequested(QStringLiteral("countdown"));
    }
}

void RuntimeInstaller::SetDisplayWhenConnects(bool display)
{
    SetDisplayWhenDeviceConnects(display);
    m_countdown.stop();
    if (m_counting) {
        m_counting = false;
        emit cancelTextChanged();
    }
}

void RuntimeInstaller::CheckDevice()
{
    // The installation's own device work tells of a vanished device.
    if (m_installing || m_checking)
        return;
    m_checking = true;
    auto gone = std::make_shared<bool>(false);
    devlink::DeviceSession::Instance().Start(
        this,
        [gone](devlink::RequestContext&) {
            if (CeGetFileAttributes(reinterpret_cast<LPCWSTR>(u"\\")) == INVALID_FILE_ATTRIBUTES) {
                *gone = true;
                devlink::UninitRapi();
            }
        },
        [this, gone](devlink::RequestEnd) {
            m_checking = false;
            if (*gone && !m_installing) {
                m_deviceCheck.stop();
                m_countdown.stop();
                emit closeRequested(QStringLiteral("device"));
            }
        });
}

void RuntimeInstaller::CancelCopy()
{
    if (m_request)
        devlink::DeviceSession::Instance().Cancel(m_request);
}

void RuntimeInstaller::Install(bool want20, bool want30)
{
    const RuntimeInstallTiming timing = m_timing;
    if (m_installing)
        return;
    QStringList files;
    if (want20 && m_texts.engine20.enabled)
        for (const QString& name : RuntimeCabNames(2, m_osAtLeast5))
            files << m_cabDirectory + QLatin1Char('/') + name;
    if (want30 && m_texts.engine30.enabled)
        for (const QString& name : RuntimeCabNames(3, m_osAtLeast5))
            files << m_cabDirectory + QLatin1Char('/') + name;
    m_countdown.stop();
    m_counting = false;
    emit cancelTextChanged();
    m_installing = true;
    emit progressChanged();
    QPointer<RuntimeInstaller> self(this);
    auto end = std::make_shared<RuntimeInstallEnd>(RuntimeInstallEnd::Done);
    m_request = devlink::DeviceSession::Instance().Start(
        this,
        [files, timing, end, self](devlink::RequestContext& cx) {
            RuntimeInstallHooks hooks;
            // Each CAB's copy is counted into a job the copy window shows.
            hooks.copy = [&cx, self](const QString& localPath, const QString& devicePath) {
                auto job = std::make_shared<explorer::CopyJob>(true);
                job->totalBytes = quint64(QFileInfo(localPath).size());
                job->SetTexts(QDir::toNativeSeparators(localPath), devicePath);
                job->startMs = QDateTime::currentMSecsSinceEpoch();
                ++job->fileNumber;
                cx.Post([self, job] {
                    if (self)
                        emit self->copyStarted(job);
                });
                const devlink::CopyOutcome outcome = explorer::CopyCabToDevice(
                    localPath, devicePath, [job](quint64 copied, qint64) { job->copiedBytes = copied; });
                job->done = true;
                cx.Post([self] {
                    if (self)
                        emit self->copyEnded();
                });
                return outcome.copied();
            };
            hooks.installing = [&cx, self](const QString& name) {
                cx.Post([self, name] {
                    if (self) {
                        self->m_installingFile = name;
                        emit self->progressChanged();
                    }
                });
            };
            hooks.status = [&cx, self](const QString& text) {
                cx.Post([self, text] {
                    if (self) {
                        self->m_statusLine = text;
                        emit self->progressChanged();
                    }
                });
            };
            *end = InstallRuntimeCabs(files, hooks, timing);
        },
        [this, end](devlink::RequestEnd) {
            m_request = 0;
            m_installing = false;
            emit progressChanged();
            emit closeRequested(
                *end == RuntimeInstallEnd::Done ? QStringLiteral("installed") : QStringLiteral("failed"));
        });
}

} // namespace database
