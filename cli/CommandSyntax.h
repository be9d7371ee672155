// How a quorvane-cli command is described and how its arguments are read:
// a command has positional arguments and options ("--format tsv",
// "--format=tsv", flags such as "--yes"), and "--help" prints its help.
//
// Options may stand anywhere after the command name; "--" ends them, so a
// positional argument may itself begin with "-" (an SQL text "-1", say).
// A value that begins with "-" is still taken as an option's value.
//
// Pure functions over the strings given; safe from any thread.
#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

namespace cli {

struct OptionSpec {
    QString name; // without the leading "--"
    QString valueName; // empty for a flag
    QString help;
};

struct CommandSyntax {
    QString name;
    QString arguments; // the usage's positional part: "DB SQL"
    QString summary; // one line, for the program's command list
    QString description; // the command's own help text (may span lines)
    QVector<OptionSpec> options;
    int minArguments = 0;
    int maxArguments = 0; // -1: no limit
};

struct ParsedCommand {
    QStringList arguments; // positional, in order
    QMap<QString, QString> values; // option name -> value ("" for a flag)
    bool helpRequested = false;

    bool Has(const QString& option) const { return values.contains(option); }
    QString Value(const QString& option, const QString& fallback = QString()) const
    {
        return values.value(option, fallback);
    }
};

// Reads `args` (the words after the command name). False with a reason in
// *error for an unknown option, an option without its value, a flag given a
// value, or the wrong number of positional arguments. "--help" anywhere
// before "--" sets helpRequested and succeeds whatever else is wrong.
bool ParseCommand(
    const CommandSyntax& syntax, const QStringList& args, ParsedCommand* parsed, QString* error);

// "Usage: quorvane-cli NAME [OPTIONS] ARGS", the description and the
// options, each on its own line, ending in a line break.
QString CommandHelp(const CommandSyntax& syntax);

} // namespace cli
