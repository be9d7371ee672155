// One read of a device text file written by the agent (results file, schema
// file, process list): read whole, deleted on the device once read (except
// DBSchema.bin, which the export reads again), and split into lines.
//
// One object per read; it owns the text. Use it on one thread.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace devlink {

class DeviceTextFile {
public:
    // One attempt: the size comes from the device's listing (20000 bytes when
    // that fails), the file is opened (RapiCeCreateFile, read access, open-
    // existing), read and closed. When the read succeeded and the path does
    // not contain "\DBSchema.bin", the file is deleted on the device. A text
    // starting with U+0007 (the binary schema), or `splitLines` false, is not
    // split. On failure it waits two seconds (dispatching events) and
    // returns false.
    bool Read(const QString& path, bool splitLines);

    // The file's bytes and the text they hold (UTF-16LE; a last odd byte
    // becomes a character of its own).
    const QByteArray& Bytes() const { return m_bytes; }
    const std::u16string& Text() const { return m_text; }

    // The lines, in order: a line ends at CR LF; an empty line ends the
    // sequence (see exchange::SplitDeviceLines). The text is split once;
    // LineViews point into Text().
    const std::vector<std::u16string_view>& LineViews() const { return m_lines; }
    QStringList Lines() const;
    std::optional<QString> FirstLine();
    std::optional<QString> NextLine();

private:
    QByteArray m_bytes;
    std::u16string m_text;
    std::vector<std::u16string_view> m_lines;
    std::size_t m_next = 0;
};

} // namespace devlink
