#include "cli/CommandSyntax.h"

namespace cli {
namespace {

const OptionSpec* FindOption(const CommandSyntax& syntax, const QString& name)
{
    for (const OptionSpec& option : syntax.options)
        if (option.name == name)
            return &option;
    return nullptr;
}

} // namespace

bool ParseCommand(const CommandSyntax& syntax, const QStringList& args, ParsedCommand* parsed, QString* error)
{
    *parsed = ParsedCommand();
    error->clear();
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& word = args[i];
        if (optionsEnded || !word.startsWith(QLatin1String("--"))) {
            parsed->arguments << word;
            continue;
        }
        if (word == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (word == QLatin1String("--help")) {
            parsed->helpRequested = true;
            continue;
        }
        QString name = word.mid(2);
        QString value;
        const qsizetype equals = name.indexOf(QLatin1Char('='));
        const bool inlineValue = equals >= 0;
        if (inlineValue) {
            value = name.mid(equals + 1);
            name.truncate(equals);
        }
        const OptionSpec* option = FindOption(syntax, name);
        if (!option) {
            if (error->isEmpty())
                *error = QStringLiteral("%1: unknown option --%2").arg(syntax.name, name);
            continue;
        }
        if (option->valueName.isEmpty()) {
            if (inlineValue && error->isEmpty())
                *error = QStringLiteral("%1: --%2 takes no value").arg(syntax.name, name);
        } else if (!inlineValue) {
            if (i + 1 >= args.size()) {
                if (error->isEmpty())
                    *error = QStringLiteral("%1: --%2 needs a value").arg(syntax.name, name);
                continue;
            }
            value = args[++i];
        }
        parsed->values.insert(name, value);
    }
    if (parsed->helpRequested) {
        error->clear();
        return true;
    }
    if (!error->isEmpty())
        return false;
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
    options.append({ QStringLiteral("help"), QString(), QStringLiteral("Show this help and exit.") });
    QStringList left;
    qsizetype width = 0;
    for (const OptionSpec& option : options) {
        QString words = QStringLiteral("  --") + option.name;
        if (!option.valueName.isEmpty())
            words += QLatin1Char(' ') + option.valueName;
        width = std::max(width, words.size());
        left << words;
    }
    for (qsizetype i = 0; i < options.size(); ++i)
        text += left[i].leftJustified(width + 2) + options[i].help + QLatin1Char('\n');
    return text;
}

} // namespace cli
