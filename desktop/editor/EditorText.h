// The built-in editor's view of a device file's bytes: which kind of text
// they hold and the bytes that save it back unchanged in kind.
//
// A file is UTF-16 (little-endian) when it starts with the byte-order mark
// FF FE, or when each of its first byte pairs (up to 300 bytes) holds a
// non-zero byte and then a zero one; anything else is 8-bit text, one
// character per byte. Line ends are shown as single line breaks and written
// back as they were ("\r\n" when the file had them).
//
// Pure functions; safe from any thread.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace editor {

struct DeviceText {
    QString text; // as the editor shows it: "\n" line ends, no byte-order mark
    bool isAnsi = false; // 8-bit text
    bool hasMark = false; // a UTF-16 file that started with FF FE
    bool crlf = false; // the file's line ends were "\r\n"
};

DeviceText DecodeDeviceText(const QByteArray& bytes);

// The bytes of `text` in the kind of `like`. False when the text holds a
// character that an 8-bit file cannot (*bytes is then empty).
bool EncodeDeviceText(const QString& text, const DeviceText& like, QByteArray* bytes);

// The backup name of `path` while it is saved: the path and "%02d" with 2,
// 3, ... 99, the first that `exists` says is free (99 when none is).
QString BackupName(const QString& path, const std::function<bool(const QString&)>& exists);

} // namespace editor
