#include "desktop/tools/RegistryFind.h"

#include "desktop/link/DeviceLink.h"
#include "desktop/link/DeviceRegistryTree.h"
#include "desktop/tools/RegistryText.h"
#include "platform/rapi/Rapi.h"

#include <QRegularExpression>

#include <atomic>
#include <mutex>

namespace tools {
namespace {

constexpr HKEY kRoots[] = { HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE };

QString Join(const QString& path, const QString& name)
{
    return path.isEmpty() ? name : path + QLatin1Char('\\') + name;
}

} // namespace

bool FindOptions::Matches(const QString& candidate) const
{
    if (text.isEmpty())
        return false;
    const Qt::CaseSensitivity cs = matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    if (!wholeWord)
        return candidate.contains(text, cs);
    // A word is not part of a longer run of letters, digits or "_".
    const QRegularExpression word(
        QStringLiteral("(?<![\\w])%1(?![\\w])").arg(QRegularExpression::escape(text)),
        matchCase ? QRegularExpression::NoPatternOption : QRegularExpression::CaseInsensitiveOption);
    return word.match(candidate).hasMatch();
}

// What the search and the window share.
struct RegistryFind::Shared {
    std::atomic<int> keysSearched { 0 };
    std::mutex mutex;
    QString at; // the key being searched
    bool found = false;
    QString keyPath;
    QString valueName;
};

namespace {

// One search, on the worker.
class Search {
public:
    Search(const FindOptions& options, const devlink::CancelToken& token, RegistryFind::Shared* shared)
        : m_options(options)
        , m_token(token)
        , m_shared(shared)
    {
    }

    // From the start of the registry, or after `fromKey` (and `fromValue`).
    void Run(const QString& fromKey, const QString& fromValue);

private:
    // Key `path` below `root` (full name `full`): its own name when
    // `checkName`, its values after `afterValue` (all when null), then its
    // sub-keys. True when a match was found (or the search was cancelled).
    bool Subtree(HKEY root, const QString& path, const QString& full, bool checkName,
        const QString& afterValue, bool skipValues);
    bool Values(HKEY key, const QString& full, const QString& afterValue);
    bool Found(const QString& full, const QString& value)
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->found = true;
        m_shared->keyPath = full;
        m_shared->valueName = value;
        return true;
    }
    QStringList SubKeys(HKEY root, const QString& path)
    {
        QStringList names;
        const std::u16string name = devlink::DevicePath(path);
        HKEY key = 0;
        if (CeRegOpenKeyEx(root, name.c_str(), 0, 0, &key) != 0)
            return names;
        devlink::ReadRegSubKeys(key, &names);
        CeRegCloseKey(key);
        return names;
    }

    const FindOptions& m_options;
    const devlink::CancelToken& m_token;
    RegistryFind::Shared* m_shared;
};

bool Search::Values(HKEY key, const QString& full, const QString& afterValue)
{
    QVector<devlink::DeviceRegValue> values;
    devlink::ReadRegValues(key, &values);
    qsizetype first = 0;
    if (!afterValue.isNull()) {
        for (qsizetype i = 0; i < values.size(); ++i)
            if (values[i].name.compare(afterValue, Qt::CaseInsensitive) == 0)
                first = i + 1;
    }
    for (qsizetype i = first; i < values.size(); ++i) {
        const devlink::DeviceRegValue& value = values[i];
        if (m_options.values && m_options.Matches(value.name))
            return Found(full, value.name);
        if (m_options.data
            && (value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ)
            && m_options.Matches(RegDataText(value.type, value.data)))
            return Found(full, value.name);
    }
    return false;
}

bool Search::Subtree(HKEY root, const QString& path, const QString& full, bool checkName,
    const QString& afterValue, bool skipValues)
{
    if (m_token.IsCancelled())
        return true;
    ++m_shared->keysSearched;
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->at = full;
    }
    if (checkName && m_options.keys && m_options.Matches(full.section(QLatin1Char('\\'), -1)))
        return Found(full, QString());
    if (!skipValues && (m_options.values || m_options.data)) {
        const std::u16string name = devlink::DevicePath(path);
        HKEY key = 0;
        if (CeRegOpenKeyEx(root, name.c_str(), 0, 0, &key) == 0) {
            const bool hit = Values(key, full, afterValue);
            CeRegCloseKey(key);
            if (hit)
                return true;
        }
    }
    const QStringList subKeys = SubKeys(root, path);
    for (const QString& sub : subKeys)
        if (Subtree(root, Join(path, sub), Join(full, sub), true, QString(), false))
            return true;
    return false;
}

void Search::Run(const QString& fromKey, const QString& fromValue)
{
    HKEY root = 0;
    QString path;
    qsizetype firstRoot = 0;
    if (devlink::SplitRegKeyPath(fromKey, &root, &path)) {
        const QString rootName = devlink::RegRootName(root);
        // The starting key's own values after the match, then what lies
        // below it; a key name that matched goes on with all its values.
        if (Subtree(root, path, Join(rootName, path), false, fromValue, false))
            return;
        // Then the later siblings of the key and of each of its parents.
        QString child = path;
        while (!child.isEmpty()) {
            const QString parent = child.section(QLatin1Char('\\'), 0, -2);
            const QString name = child.section(QLatin1Char('\\'), -1);
            const QStringList siblings = SubKeys(root, parent);
            bool after = false;
            for (const QString& sibling : siblings) {
                if (after
                    && Subtree(root, Join(parent, sibling), Join(Join(rootName, parent), sibling), true,
                        QString(), false))
                    return;
                if (sibling.compare(name, Qt::CaseInsensitive) == 0)
                    after = true;
            }
            child = parent;
        }
        firstRoot = std::find(std::begin(kRoots), std::end(kRoots), root) - std::begin(kRoots) + 1;
    }
    for (qsizetype i = firstRoot; i < qsizetype(std::size(kRoots)); ++i)
        if (Subtree(kRoots[i], QString(), devlink::RegRootName(kRoots[i]), false, QString(), false))
            return;
}

} // namespace

RegistryFind::RegistryFind(QObject* parent)
    : QObject(parent)
{
    m_timer.setInterval(200);
    connect(&m_timer, &QTimer::timeout, this, &RegistryFind::OnTick);
}

RegistryFind::~RegistryFind()
{
    devlink::DeviceSession::Instance().Forget(this);
}

void RegistryFind::Start(const FindOptions& options, const QString& fromKey, const QString& fromValue)
{
    if (isRunning() || options.text.isEmpty())
        return;
    m_options = options;
    auto shared = std::make_shared<Shared>();
    m_shared = shared;
    m_started.start();
    m_timer.start();
    SetStatus(QStringLiteral("Searching for \"%1\"...").arg(options.text));
    m_requestId = devlink::DeviceSession::Instance().Start(
        this,
        [shared, options, fromKey, fromValue](devlink::RequestContext& request) {
            Search(options, request.token(), shared.get()).Run(fromKey, fromValue);
        },
        [this, shared](devlink::RequestEnd end) {
            m_requestId = 0;
            m_timer.stop();
            const bool cancelled = end != devlink::RequestEnd::Ran || shared != m_shared;
            bool hit = false;
            QString key, value;
            {
                std::lock_guard lock(shared->mutex);
                hit = shared->found;
                key = shared->keyPath;
                value = shared->valueName;
            }
            if (cancelled || (!hit && m_shared == nullptr)) {
                SetStatus(QStringLiteral("Search cancelled."));
            } else if (hit) {
                SetStatus(QString());
                emit found(key, value);
            } else {
                SetStatus(QStringLiteral("Finished searching through the registry."));
                emit notFound();
            }
            emit finished();
        });
}

void RegistryFind::Cancel()
{
    if (!isRunning())
        return;
    devlink::DeviceSession::Instance().Cancel(m_requestId);
    m_shared = nullptr;
}

void RegistryFind::OnTick()
{
    if (!m_shared)
        return;
    QString at;
    {
        std::lock_guard lock(m_shared->mutex);
        at = m_shared->at;
    }
    const qint64 seconds = m_started.elapsed() / 1000;
    // How much of the registry is left cannot be known without reading it
    // all; the count and the time taken show that the search goes on.
    SetStatus(QStringLiteral("%1:%2  %3 keys searched: %4")
                  .arg(seconds / 60, 2, 10, QLatin1Char('0'))
                  .arg(seconds % 60, 2, 10, QLatin1Char('0'))
                  .arg(m_shared->keysSearched.load())
                  .arg(at));
}

void RegistryFind::SetStatus(const QString& text)
{
    if (text == m_statusText)
        return;
    m_statusText = text;
    emit statusTextChanged(text);
}

} // namespace tools
