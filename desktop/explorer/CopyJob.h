// One copy behind a progress dialog: a single file, or a batch of dropped
// PC paths into one device folder. The worker (CopyWorker.h) runs on the
// device session's worker thread and writes the progress; the dialog reads
// it on its timer and writes only `cancelled`. Every field that both sides
// touch is atomic or guarded, so neither ever waits for the other.
//
// Threads: the counters and flags are safe from any thread; `dropList` and
// `toDevice` are set before the worker starts and not changed afterwards.
#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <mutex>

namespace explorer {

class CopyJob {
public:
    static constexpr quint64 kUnknownTotal = ~quint64(0);

    explicit CopyJob(bool toDevice)
        : toDevice(toDevice)
    {
    }

    const bool toDevice;
    // The PC paths of a batch (empty for a single copy).
    QStringList dropList;

    std::atomic<quint64> totalBytes { kUnknownTotal };
    std::atomic<quint64> copiedBytes { 0 };
    // When the current file's worker started (ms since the epoch; 0 before).
    std::atomic<qint64> startMs { 0 };
    // Counts the files begun, so that the dialog knows when to show anew.
    std::atomic<int> fileNumber { 0 };
    std::atomic<bool> done { false };
    std::atomic<bool> cancelled { false };

    // The dialog's "Copying from:" and "to:" texts of the current file.
    void SetTexts(const QString& from, const QString& to)
    {
        std::lock_guard lock(m_mutex);
        m_fromText = from;
        m_toText = to;
    }
    QString fromText() const
    {
        std::lock_guard lock(m_mutex);
        return m_fromText;
    }
    QString toText() const
    {
        std::lock_guard lock(m_mutex);
        return m_toText;
    }

private:
    mutable std::mutex m_mutex;
    QString m_fromText;
    QString m_toText;
};

} // namespace explorer
