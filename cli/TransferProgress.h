// The progress line of a copy on a terminal: shown on standard error once a
// file has taken more than two seconds, redrawn at most five times a second,
// and cleared when the file is done or a message must be printed.
//
// Called from the thread that copies; messages from any thread go through
// Print, which keeps them off the progress line.
#pragma once

#include <QElapsedTimer>
#include <QString>

#include <mutex>

namespace cli {

// "name  45%  12.3 MB of 27.0 MB  2.1 MB/s  00:05 left" for `copied` bytes of
// `total` (-1: unknown, then without percent and time left) after
// `elapsedMs`; the rate and time left once the rate is known.
QString ProgressText(const QString& name, quint64 copied, qint64 total, qint64 elapsedMs);

// "512 bytes", "12.3 kB", "27.0 MB", "1.5 GB".
QString ByteText(quint64 bytes);

class TransferProgress {
public:
    // `shown`: whether a line may be drawn at all (standard error is a terminal).
    explicit TransferProgress(bool shown);

    // A new file starts.
    void Start(const QString& name);
    // After each block.
    void Update(quint64 copied, qint64 total);
    // The file is done: its line goes.
    void Finish();
    // Prints a message line ("quorvane-cli: ...") on standard error.
    void Print(const QString& text);

private:
    void ClearLine();

    std::mutex m_mutex;
    const bool m_shown;
    QString m_name;
    QElapsedTimer m_started;
    QElapsedTimer m_drawn;
    bool m_lineShown = false;
};

} // namespace cli
