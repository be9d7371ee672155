// How a quorvane-cli command is described and how its words are read (with
// QCommandLineParser): positional arguments and options ("--format tsv",
// "--format=tsv", flags such as "--yes", short forms such as "-r"), and
// "-h"/"--help" for the command's help.
//
// Options may stand anywhere among the words; "--" ends them. A word that
// begins with "-" but not with a letter after its dashes ("-", "-1",
// "-- comment") is a positional argument, as is anything that follows the
// first positional argument of a command whose options end there (run: the
// device program's own command line follows).
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
    QString shortName = {}; // one letter ("r" for "-r"), or empty
};

struct CommandSyntax {
    QString name;
    QString arguments; // the usage's positional part: "DB SQL"
    QString summary; // one line, for the program's command list
    QString description; // the command's own help text (may span lines)
    QVector<OptionSpec> options;
    int minArguments = 0;
    int maxArguments = 0; // -1: no limit
    bool optionsEndAtFirstArgument = false;
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

// The options every command takes besides its own: --socket PATH.
QVector<OptionSpec> GlobalOptions();

// Reads `args` (the words after the command name). False with a reason in
// *error ("sql: unknown option --colour") for an unknown option, an option
// without its value, a flag given a value, or the wrong number of positional
// arguments. "-h" or "--help" before a "--" sets helpRequested and succeeds
// whatever else is wrong.
bool ParseCommand(
    const CommandSyntax& syntax, const QStringList& args, ParsedCommand* parsed, QString* error);

// True when "-h" or "--help" stands among `args` before a "--" (and, with
// `stopAtFirstArgument`, before the first positional argument).
bool AsksForHelp(const QStringList& args, bool stopAtFirstArgument = false);

// "Usage: quorvane-cli NAME [OPTIONS] ARGS", the description and the
// options, each on its own line, ending in a line break.
QString CommandHelp(const CommandSyntax& syntax);

// The name among `names` that `typed` most likely meant: the one a small
// number of edits away (a letter missing, extra, wrong or two swapped), or
// the only one that starts with it; empty when none is close.
QString ClosestName(const QString& typed, const QStringList& names);

} // namespace cli
