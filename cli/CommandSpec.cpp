#include "cli/CommandSpec.h"

namespace cli {
namespace {

const OptionSpec* FindOption(const CommandSpec& spec, const QString& name)
{
    for (const OptionSpec& option : spec.options)
        if (option.name == name)
            return &option;
    return nullptr;
}

} // namespace

bool ParseCommand(const CommandSpec& spec, const QStringList& args, ParsedCommand* parsed, QString* error)
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
        const OptionSpec* option = FindOption(spec, name);
        if (!option) {
            if (error->isEmpty())
                *error = QStringLiteral("%1: unknown option --%2").arg(spec.name, name);
            continue;
        }
        if (option->valueName.isEmpty()) {
            if (inlineValue && error->isEmpty())
                *error = QStringLiteral("%1: --%2 takes no value").arg(spec.name, name);
        } else if (!inlineValue) {
            if (i + 1 >= args.size()) {
                if (error->isEmpty())
                    *error = QStringLiteral("%1: --%2 needs a value").arg(spec.name, name);
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
    if (count < spec.minArguments || (spec.maxArguments >= 0 && count > spec.maxArguments)) {
        *error = spec.arguments.isEmpty() ? QStringLiteral("%1 takes no arguments").arg(spec.name)
                                          : QStringLiteral("%1 takes %2").arg(spec.name, spec.arguments);
        return false;
    }
    return true;
}

QString CommandHelp(const CommandSpec& spec)
{
    QString text = QStringLiteral("Usage: quorvane-cli [--socket PATH] ") + spec.name;
    if (!spec.options.isEmpty())
        text += QStringLiteral(" [OPTIONS]");
    if (!spec.arguments.isEmpty())
        text += QLatin1Char(' ') + spec.arguments;
    text += QStringLiteral("\n\n") + spec.description;
    if (!text.endsWith(QLatin1Char('\n')))
        text += QLatin1Char('\n');
    text += QStringLiteral("\nOptions:\n");
    QVector<OptionSpec> options = spec.options;
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
