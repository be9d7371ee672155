#include "cli/SqlScript.h"

#include <QStringDecoder>

namespace cli {
namespace {

// A line holding only "GO" (surrounding blanks allowed) from `at`, the
// start of a line; its length up to the end of the line, or -1.
qsizetype GoLineLength(const QString& text, qsizetype at)
{
    qsizetype end = text.indexOf(QLatin1Char('\n'), at);
    if (end < 0)
        end = text.size();
    const QString line = text.mid(at, end - at).trimmed();
    return line.compare(QLatin1String("GO"), Qt::CaseInsensitive) == 0 ? end - at : -1;
}

// Builds the statements while the text is scanned.
class Splitter {
public:
    void Add(QChar c, int line)
    {
        if (m_current.trimmed().isEmpty() && !c.isSpace())
            m_firstLine = line;
        m_current += c;
    }
    void End()
    {
        const QString text = m_current.trimmed();
        if (!text.isEmpty())
            m_split.statements.append({ text, m_firstLine });
        m_current.clear();
    }
    ScriptSplit Fail(const QString& what, int line)
    {
        ScriptSplit failed;
        failed.error = what;
        failed.errorLine = line;
        return failed;
    }
    ScriptSplit Take() { return std::move(m_split); }

private:
    ScriptSplit m_split;
    QString m_current;
    int m_firstLine = 1;
};

} // namespace

QString DecodeScriptFile(const QByteArray& bytes, QString* error)
{
    auto encoding = QStringConverter::encodingForData(bytes);
    // UTF-16 without a mark: ASCII text has a zero byte beside every character.
    if (!encoding && bytes.size() >= 2 && bytes.size() % 2 == 0) {
        if (bytes[0] != 0 && bytes[1] == 0)
            encoding = QStringConverter::Utf16LE;
        else if (bytes[0] == 0 && bytes[1] != 0)
            encoding = QStringConverter::Utf16BE;
    }
    QStringDecoder decoder(encoding.value_or(QStringConverter::Utf8));
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        *error = QStringLiteral("the file is neither UTF-8 nor UTF-16 text");
        return QString();
    }
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

ScriptSplit SplitSqlScript(const QString& text)
{
    Splitter out;
    int line = 1;
    bool atLineStart = true;
    for (qsizetype i = 0; i < text.size();) {
        const QChar c = text[i];
        const QChar next = i + 1 < text.size() ? text[i + 1] : QChar();
        if (atLineStart) {
            const qsizetype go = GoLineLength(text, i);
            if (go >= 0) {
                out.End();
                i += go;
                atLineStart = false;
                continue;
            }
        }
        atLineStart = false;
        if (c == QLatin1Char('\n')) {
            out.Add(c, line);
            ++line;
            ++i;
            atLineStart = true;
        } else if (c == QLatin1Char('-') && next == QLatin1Char('-')) {
            // Up to the line break, which stays.
            while (i < text.size() && text[i] != QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('/') && next == QLatin1Char('*')) {
            const int opened = line;
            int depth = 0;
            do {
                if (text[i] == QLatin1Char('/') && i + 1 < text.size() && text[i + 1] == QLatin1Char('*')) {
                    ++depth;
                    i += 2;
                } else if (text[i] == QLatin1Char('*') && i + 1 < text.size()
                    && text[i + 1] == QLatin1Char('/')) {
                    --depth;
                    i += 2;
                } else {
                    if (text[i] == QLatin1Char('\n'))
                        ++line;
                    ++i;
                }
            } while (depth > 0 && i < text.size());
            if (depth > 0)
                return out.Fail(QStringLiteral("a comment (/*) is not closed"), opened);
            // Keeps words on either side apart.
            out.Add(QLatin1Char(' '), line);
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('[')) {
            // Quoted to its closing character; a doubled one stands for itself.
            const QChar close = c == QLatin1Char('[') ? QLatin1Char(']') : c;
            const int opened = line;
            out.Add(c, line);
            ++i;
            bool closed = false;
            while (i < text.size()) {
                const QChar q = text[i];
                out.Add(q, line);
                ++i;
                if (q == QLatin1Char('\n'))
                    ++line;
                if (q == close) {
                    if (i < text.size() && text[i] == close) {
                        out.Add(close, line);
                        ++i;
                        continue;
                    }
                    closed = true;
                    break;
                }
            }
            if (!closed) {
                const QString what = c == QLatin1Char('[')
                    ? QStringLiteral("a bracketed name ([) is not closed")
                    : c == QLatin1Char('"') ? QStringLiteral("a quoted name (\") is not closed")
                                            : QStringLiteral("a quoted text (') is not closed");
                return out.Fail(what, opened);
            }
        } else if (c == QLatin1Char(';')) {
            out.End();
            ++i;
        } else {
            out.Add(c, line);
            ++i;
        }
    }
    out.End();
    return out.Take();
}

} // namespace cli
