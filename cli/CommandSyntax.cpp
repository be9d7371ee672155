#include "cli/CommandSyntax.h"

#include <QCommandLineParser>

#include <algorithm>

namespace cli {
namespace {

const QString kHelp = QStringLiteral("help");

// Only words like "-x..." and "--x..." are options to QCommandLineParser
// here; it would take "-1" or "-- comment" for options too.
bool LooksLikeOption(const QString& word)
{
    const qsizetype dashes = word.startsWith(QLatin1String("--")) ? 2
        : word.startsWith(QLatin1Char('-'))                       ? 1
                                                                  : 0;
    if (dashes == 2 && word.size() == 2)
        return true; // "--" itself ends the options
    if (dashes == 0 || word.size() <= dashes)
        return false;
    const QChar first = word[dashes];
    return first.unicode() < 128 && first.isLetter();
}

// Stands in for a word that must stay positional: QCommandLineParser sees
// a plain word and the original comes back after parsing.
QString Placeholder(qsizetype index)
{
    return QStringLiteral("\x01%1").arg(index);
}

QString OptionWord(const QString& name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// QCommandLineParser's sentence as the tail of ours: "Missing value after
// '--format'." -> "missing value after '--format'".
QString Reason(QString text)
{
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    if (!text.isEmpty())
        text[0] = text[0].toLower();
    return text;
}

// Edits (insert, delete, replace, swap of neighbours) from `a` to `b`.
int EditDistance(const QString& a, const QString& b)
{
    const qsizetype n = a.size(), m = b.size();
    QVector<QVector<int>> d(n + 1, QVector<int>(m + 1));
    for (qsizetype i = 0; i <= n; ++i)
        d[i][0] = int(i);
    for (qsizetype j = 0; j <= m; ++j)
        d[0][j] = int(j);
    for (qsizetype i = 1; i <= n; ++i) {
        for (qsizetype j = 1; j <= m; ++j) {
            const int cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({ d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost });
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[n][m];
}

} // namespace

QVector<OptionSpec> GlobalOptions()
{
    return { { QStringLiteral("socket"), QStringLiteral("PATH"),
        QStringLiteral("The device's socket (default: the usual one; QUORVANE_HOME moves it).") } };
}

bool AsksForHelp(const QStringList& args, bool stopAtFirstArgument)
{
    for (const QString& word : args) {
        if (word == QLatin1String("--") || (stopAtFirstArgument && !LooksLikeOption(word)))
            return false;
        if (word == QLatin1String("--help") || word == QLatin1String("-h"))
            return true;
    }
    return false;
}

bool ParseCommand(const CommandSyntax& syntax, const QStringList& args, ParsedCommand* parsed, QString* error)
{
    *parsed = ParsedCommand();
    error->clear();
    if (AsksForHelp(args, syntax.optionsEndAtFirstArgument)) {
        parsed->helpRequested = true;
        return true;
    }
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    if (syntax.optionsEndAtFirstArgument)
        parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    QVector<OptionSpec> options = syntax.options + GlobalOptions();
    options.append({ kHelp, QString(), QString(), QStringLiteral("h") });
    for (const OptionSpec& option : options) {
        QStringList names;
        if (!option.shortName.isEmpty())
            names << option.shortName;
        names << option.name;
        parser.addOption(QCommandLineOption(names, option.help, option.valueName));
    }
    QStringList words { QStringLiteral("quorvane-cli") };
    QStringList kept; // the words that placeholders stand for
    for (const QString& word : args) {
        if (LooksLikeOption(word)) {
            words << word;
        } else {
            words << Placeholder(kept.size());
            kept << word;
        }
    }
    auto original = [&](const QString& word) {
        if (!word.startsWith(QChar(1)))
            return word;
        bool ok = false;
        const qsizetype index = word.mid(1).toLongLong(&ok);
        return ok && index >= 0 && index < kept.size() ? kept[index] : word;
    };
    if (!parser.parse(words)) {
        const QStringList unknown = parser.unknownOptionNames();
        *error = unknown.isEmpty()
            ? QStringLiteral("%1: %2").arg(syntax.name, Reason(parser.errorText()))
            : QStringLiteral("%1: unknown option %2").arg(syntax.name, OptionWord(unknown.first()));
        return false;
    }
    for (const QString& word : parser.positionalArguments())
        parsed->arguments << original(word);
    for (const OptionSpec& option : options)
        if (option.name != kHelp && parser.isSet(option.name))
            parsed->values.insert(option.name, original(parser.value(option.name)));
    const int count = int(parsed->arguments.size());
    if (count < syntax.minArguments || (syntax.maxArguments >= 0 && count > syntax.maxArguments)) {
        *error = syntax.arguments.isEmpty()
            ? QStringLiteral("%1 takes no arguments").arg(syntax.name)
            : QStringLiteral("%1 takes %2").arg(syntax.name, syntax.arguments);
        return false;
    }
    return true;
}

QString CommandHelp(const CommandSyntax& syntax)
{
    QString text = QStringLiteral("Usage: quorvane-cli [--socket PATH] ") + syntax.name;
    if (!syntax.options.isEmpty())
        text += QStringLiteral(" [OPTIONS]");
    if (!syntax.arguments.isEmpty())
        text += QLatin1Char(' ') + syntax.arguments;
    text += QStringLiteral("\n\n") + syntax.description;
    if (!text.endsWith(QLatin1Char('\n')))
        text += QLatin1Char('\n');
    text += QStringLiteral("\nOptions:\n");
    QVector<OptionSpec> options = syntax.options;
    options.append({ kHelp, QString(), QStringLiteral("Show this help and exit."), QStringLiteral("h") });
    QStringList left;
    qsizetype width = 0;
    for (const OptionSpec& option : options) {
        QString words = option.shortName.isEmpty()
            ? QStringLiteral("  --") + option.name
            : QStringLiteral("  -%1, --%2").arg(option.shortName, option.name);
        if (!option.valueName.isEmpty())
            words += QLatin1Char(' ') + option.valueName;
        width = std::max(width, words.size());
        left << words;
    }
    for (qsizetype i = 0; i < options.size(); ++i)
        text += left[i].leftJustified(width + 2) + options[i].help + QLatin1Char('\n');
    return text;
}

QString ClosestName(const QString& typed, const QStringList& names)
{
    const QString lower = typed.toLower();
    QString best;
    int bestDistance = lower.size() < 4 ? 2 : 3; // at most one edit for short words, two for longer ones
    for (const QString& name : names) {
        const int distance = EditDistance(lower, name);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = name;
        }
    }
    if (!best.isEmpty() || lower.isEmpty())
        return best;
    QStringList starting;
    for (const QString& name : names)
        if (name.startsWith(lower))
            starting << name;
    return starting.size() == 1 ? starting.first() : QString();
}

} // namespace cli
