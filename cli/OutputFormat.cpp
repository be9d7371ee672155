#include "cli/OutputFormat.h"

#include <algorithm>

namespace cli {
namespace {

// Code point ranges of East Asian wide and full-width characters.
struct Range {
    char32_t first, last;
};
constexpr Range kWide[] = {
    { 0x1100, 0x115F }, // Hangul Jamo initials
    { 0x231A, 0x231B }, { 0x2329, 0x232A }, { 0x23E9, 0x23EC }, { 0x23F0, 0x23F0 }, { 0x23F3, 0x23F3 },
    { 0x25FD, 0x25FE }, { 0x2614, 0x2615 }, { 0x2648, 0x2653 }, { 0x267F, 0x267F }, { 0x2693, 0x2693 },
    { 0x26A1, 0x26A1 }, { 0x26AA, 0x26AB }, { 0x26BD, 0x26BE }, { 0x26C4, 0x26C5 }, { 0x26CE, 0x26CE },
    { 0x26D4, 0x26D4 }, { 0x26EA, 0x26EA }, { 0x26F2, 0x26F3 }, { 0x26F5, 0x26F5 }, { 0x26FA, 0x26FA },
    { 0x26FD, 0x26FD }, { 0x2705, 0x2705 }, { 0x270A, 0x270B }, { 0x2728, 0x2728 }, { 0x274C, 0x274C },
    { 0x274E, 0x274E }, { 0x2753, 0x2755 }, { 0x2757, 0x2757 }, { 0x2795, 0x2797 }, { 0x27B0, 0x27B0 },
    { 0x27BF, 0x27BF }, { 0x2B1B, 0x2B1C }, { 0x2B50, 0x2B50 }, { 0x2B55, 0x2B55 },
    { 0x2E80, 0x303E }, // CJK radicals .. CJK symbols and punctuation
    { 0x3041, 0x33FF }, // Hiragana .. CJK compatibility
    { 0x3400, 0x4DBF }, // CJK extension A
    { 0x4E00, 0x9FFF }, // CJK unified ideographs
    { 0xA000, 0xA4CF }, // Yi
    { 0xA960, 0xA97F }, // Hangul Jamo extended A
    { 0xAC00, 0xD7A3 }, // Hangul syllables
    { 0xF900, 0xFAFF }, // CJK compatibility ideographs
    { 0xFE10, 0xFE19 }, // vertical forms
    { 0xFE30, 0xFE6F }, // CJK compatibility forms, small forms
    { 0xFF00, 0xFF60 }, // full-width forms
    { 0xFFE0, 0xFFE6 }, { 0x16FE0, 0x16FE4 }, { 0x17000, 0x18CFF }, // Tangut
    { 0x1B000, 0x1B2FF }, // Kana supplement, Nushu
    { 0x1F004, 0x1F004 }, { 0x1F0CF, 0x1F0CF }, { 0x1F18E, 0x1F18E }, { 0x1F191, 0x1F19A },
    { 0x1F200, 0x1F251 }, { 0x1F300, 0x1F64F }, // pictographs and emoticons
    { 0x1F680, 0x1F6FF }, // transport and map symbols
    { 0x1F7E0, 0x1F7EB }, { 0x1F90C, 0x1F9FF }, // supplemental symbols and pictographs
    { 0x1FA70, 0x1FAFF }, { 0x20000, 0x3FFFD }, // CJK extensions B and beyond
};

int CodePointWidth(char32_t c)
{
    if (c < 0x20 || (c >= 0x7F && c < 0xA0))
        return 0;
    if (c < 0x300)
        return 1;
    switch (QChar::category(c)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_Enclosing:
    case QChar::Other_Format:
        return 0;
    default:
        break;
    }
    if (c >= 0x1160 && c <= 0x11FF) // Hangul medial vowels and finals join the syllable
        return 0;
    const Range* end = std::end(kWide);
    const Range* found
        = std::lower_bound(std::begin(kWide), end, c, [](const Range& r, char32_t v) { return r.last < v; });
    return found != end && c >= found->first ? 2 : 1;
}

// The code points of a text, a lone surrogate counting as one of its own.
template <typename F> void ForEachCodePoint(const QString& text, F f)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < n && text[i + 1].isLowSurrogate()) {
            f(QChar::surrogateToUcs4(c, text[i + 1]), 2);
            ++i;
        } else {
            f(char32_t(c.unicode()), 1);
        }
    }
}

// A number as the agent prints one: digits, at most one decimal separator
// ("." or the "," of some desktops), a leading minus.
bool LooksNumeric(const QString& text)
{
    qsizetype i = text.startsWith(QLatin1Char('-')) ? 1 : 0;
    bool digits = false, separator = false;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isDigit() && c.unicode() < 128) {
            digits = true;
        } else if ((c == u'.' || c == u',') && !separator) {
            separator = true;
        } else {
            return false;
        }
    }
    return digits;
}

// Numbers line up on the right. A query reports long texts, bits and
// identifiers with the integer type too, so the cells decide as well.
bool IsRightAligned(const devlink::QueryResult& result, int column)
{
    const devlink::ColumnKind kind = result.columns[column].kind;
    if (kind != devlink::ColumnKind::Integer && kind != devlink::ColumnKind::Real)
        return false;
    for (qsizetype r = 0; r < result.rows.size(); ++r) {
        const QStringList& row = result.rows[r];
        if (column >= row.size() || CellKindAt(result, r, column) == devlink::CellKind::Null)
            continue;
        if (!LooksNumeric(row[column]))
            return false;
    }
    return true;
}

// Cuts `text` to at most `maxWidth` columns, the last three being "...".
QString Clip(const QString& text, int width, int maxWidth)
{
    if (maxWidth <= 0 || width <= maxWidth)
        return text;
    const int keep = std::max(0, maxWidth - 3);
    qsizetype end = 0;
    int used = 0;
    bool full = false;
    ForEachCodePoint(text, [&](char32_t c, int units) {
        const int w = CodePointWidth(c);
        if (full || used + w > keep) {
            full = true;
            return;
        }
        used += w;
        end += units;
    });
    return text.left(end) + QStringLiteral("...");
}

QString Pad(const QString& text, int width, int target, bool right)
{
    const QString fill(std::max(0, target - width), QLatin1Char(' '));
    return right ? fill + text : text + fill;
}

} // namespace

std::optional<OutputFormat> ParseOutputFormat(const QString& name)
{
    if (name == QLatin1String("table"))
        return OutputFormat::Table;
    if (name == QLatin1String("tsv"))
        return OutputFormat::Tsv;
    if (name == QLatin1String("csv"))
        return OutputFormat::Csv;
    if (name == QLatin1String("json"))
        return OutputFormat::Json;
    if (name == QLatin1String("raw"))
        return OutputFormat::Raw;
    return std::nullopt;
}

QString OutputFormatNames()
{
    return QStringLiteral("table, tsv, csv, json or raw");
}

devlink::CellKind CellKindAt(const devlink::QueryResult& result, qsizetype row, qsizetype column)
{
    if (row >= result.cellKinds.size() || column >= result.cellKinds[row].size())
        return devlink::CellKind::Value;
    return result.KindOf(row, column);
}

void AppendWithVisibleBreaks(QString& out, const QString& text, bool escapeBackslash)
{
    // Plain runs go in whole: this runs for every cell of a streamed table.
    qsizetype plainFrom = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        QLatin1String shown;
        switch (text[i].unicode()) {
        case u'\\':
            shown = escapeBackslash ? QLatin1String("\\\\") : QLatin1String("\\");
            break;
        case u'\t':
            shown = QLatin1String("\\t");
            break;
        case u'\n':
            shown = QLatin1String("\\n");
            break;
        case u'\r':
            shown = QLatin1String("\\r");
            break;
        default:
            continue;
        }
        out.append(text.constData() + plainFrom, i - plainFrom);
        out += shown;
        plainFrom = i + 1;
    }
    out.append(text.constData() + plainFrom, text.size() - plainFrom);
}

QString WithVisibleBreaks(const QString& text, bool escapeBackslash)
{
    QString out;
    out.reserve(text.size());
    AppendWithVisibleBreaks(out, text, escapeBackslash);
    return out;
}

QString ShownCell(const QString& cell, devlink::CellKind kind)
{
    if (kind == devlink::CellKind::Binary)
        return QStringLiteral("(Binary: %1)").arg(cell.mid(1));
    return cell;
}

int DisplayWidth(const QString& text)
{
    int width = 0;
    ForEachCodePoint(text, [&](char32_t c, int) { width += CodePointWidth(c); });
    return width;
}

QString FormatTable(const devlink::QueryResult& result, const OutputOptions& options)
{
    const int maxCellWidth = options.maxCellWidth;
    const QString null = options.nullText.value_or(QStringLiteral("(null)"));
    auto cell = [&](qsizetype row, int column) {
        const QStringList& cells = result.rows[row];
        if (column >= cells.size())
            return QString();
        const devlink::CellKind kind = CellKindAt(result, row, column);
        return kind == devlink::CellKind::Null ? null : ShownCell(cells[column], kind);
    };
    const int columns = int(result.columns.size());
    // Each cell once: its one-line, clipped text and that text's width.
    QVector<QVector<QString>> texts(result.rows.size() + 1);
    QVector<QVector<int>> widths(result.rows.size() + 1);
    QVector<int> columnWidth(columns, 0);
    auto take = [&](int line, int column, const QString& raw) {
        QString text = WithVisibleBreaks(raw, false);
        text = Clip(text, DisplayWidth(text), maxCellWidth);
        const int width = DisplayWidth(text);
        texts[line].append(text);
        widths[line].append(width);
        columnWidth[column] = std::max(columnWidth[column], width);
    };
    // Without a header the names take no room.
    for (int c = 0; c < columns; ++c)
        take(0, c, options.header ? result.columns[c].name : QString());
    for (qsizetype r = 0; r < result.rows.size(); ++r)
        for (int c = 0; c < columns; ++c)
            take(int(r + 1), c, cell(r, c));

    QVector<bool> right(columns);
    for (int c = 0; c < columns; ++c)
        right[c] = IsRightAligned(result, c);
    QString out;
    auto emitLine = [&](const QVector<QString>& cells, const QVector<int>& cellWidths, bool header) {
        QString line;
        for (int c = 0; c < columns; ++c) {
            const bool last = c == columns - 1;
            const bool toRight = !header && right[c];
            if (c > 0)
                line += QStringLiteral("  ");
            // The last column needs no trailing padding.
            line += (last && !toRight) ? cells[c] : Pad(cells[c], cellWidths[c], columnWidth[c], toRight);
        }
        out += line + QLatin1Char('\n');
    };
    if (columns > 0) {
        if (options.header) {
            emitLine(texts[0], widths[0], true);
            QVector<QString> rule;
            for (int c = 0; c < columns; ++c)
                rule.append(QString(std::max(1, columnWidth[c]), QLatin1Char('-')));
            QVector<int> ruleWidths = columnWidth;
            for (int& w : ruleWidths)
                w = std::max(1, w);
            emitLine(rule, ruleWidths, true);
        }
        for (qsizetype r = 0; r < result.rows.size(); ++r)
            emitLine(texts[r + 1], widths[r + 1], false);
    }
    return out;
}

QString RowsFoundText(qsizetype rows)
{
    return rows == 1 ? QStringLiteral("1 row found.\n") : QStringLiteral("%1 rows found.\n").arg(rows);
}

QString JsonString(const QString& text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += QLatin1Char('"');
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        const char16_t u = c.unicode();
        if (c.isHighSurrogate() && i + 1 < n && text[i + 1].isLowSurrogate()) {
            out += c;
            out += text[++i];
            continue;
        }
        switch (u) {
        case u'"':
            out += QLatin1String("\\\"");
            continue;
        case u'\\':
            out += QLatin1String("\\\\");
            continue;
        case u'\n':
            out += QLatin1String("\\n");
            continue;
        case u'\r':
            out += QLatin1String("\\r");
            continue;
        case u'\t':
            out += QLatin1String("\\t");
            continue;
        case u'\b':
            out += QLatin1String("\\b");
            continue;
        case u'\f':
            out += QLatin1String("\\f");
            continue;
        default:
            break;
        }
        // Control characters and lone surrogates cannot stand as they are:
        // the first are forbidden, the second are not encodable in UTF-8.
        if (u < 0x20 || u == 0x7F || c.isSurrogate())
            out += QStringLiteral("\\u%1").arg(unsigned(u), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    out += QLatin1Char('"');
    return out;
}

QString FormatRowsAffected(int rowsAffected, OutputFormat format)
{
    switch (format) {
    case OutputFormat::Tsv:
    case OutputFormat::Csv:
        return QString::number(rowsAffected) + QLatin1Char('\n');
    case OutputFormat::Json:
        return QStringLiteral("{\"rowsAffected\":%1}\n").arg(rowsAffected);
    case OutputFormat::Table:
    case OutputFormat::Raw:
        break;
    }
    return rowsAffected == 1 ? QStringLiteral("1 row affected.\n")
                             : QStringLiteral("%1 rows affected.\n").arg(rowsAffected);
}

} // namespace cli
