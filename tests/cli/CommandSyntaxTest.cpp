// How the cli reads a command's words: options anywhere after the command,
// "--name value" and "--name=value", "--" before positional words that begin
// with "-", --help, and the usage errors; plus the help texts and the small
// helpers that shape a request.
#include "cli/AgentToolCommands.h"
#include "cli/Command.h"
#include "cli/CommandTable.h"
#include "cli/DatabaseCommands.h"
#include "cli/LinkSession.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

using cli::CommandSyntax;
using cli::ParseCommand;
using cli::ParsedCommand;

namespace {

QStringList Words(std::initializer_list<const char*> words)
{
    QStringList list;
    for (const char* w : words)
        list << QString::fromUtf8(w);
    return list;
}

CommandSyntax SqlLike()
{
    CommandSyntax syntax;
    syntax.name = QStringLiteral("sql");
    syntax.arguments = QStringLiteral("DB SQL");
    syntax.description = QStringLiteral("Runs one statement.\n");
    syntax.options = { { QStringLiteral("format"), QStringLiteral("FORMAT"), QStringLiteral("The format.") },
        { QStringLiteral("yes"), QString(), QStringLiteral("Answer Yes.") } };
    syntax.minArguments = 2;
    syntax.maxArguments = 2;
    return syntax;
}

TEST(CliCommandArguments, OptionsStandAnywhereAfterTheCommand)
{
    ParsedCommand p;
    QString error;
    ASSERT_TRUE(
        ParseCommand(SqlLike(), Words({ "--format", "tsv", "\\a.sdf", "--yes", "SELECT 1" }), &p, &error))
        << error.toStdString();
    EXPECT_EQ(p.arguments, Words({ "\\a.sdf", "SELECT 1" }));
    EXPECT_EQ(p.Value(QStringLiteral("format")), QStringLiteral("tsv"));
    EXPECT_TRUE(p.Has(QStringLiteral("yes")));
    EXPECT_FALSE(p.helpRequested);

    ASSERT_TRUE(ParseCommand(SqlLike(), Words({ "\\a.sdf", "--format=json", "x" }), &p, &error));
    EXPECT_EQ(p.Value(QStringLiteral("format")), QStringLiteral("json"));
    EXPECT_FALSE(p.Has(QStringLiteral("yes")));
    // An option's value may itself begin with "-"; "-x" alone is positional.
    ASSERT_TRUE(ParseCommand(SqlLike(), Words({ "\\a.sdf", "--format", "--yes", "-1" }), &p, &error));
    EXPECT_EQ(p.Value(QStringLiteral("format")), QStringLiteral("--yes"));
    EXPECT_EQ(p.arguments, Words({ "\\a.sdf", "-1" }));
}

TEST(CliCommandArguments, ShortOptionsAndWordsThatOnlyLookLikeOptions)
{
    CommandSyntax get;
    get.name = QStringLiteral("get");
    get.options
        = { { QStringLiteral("recursive"), QString(), QStringLiteral("Folders too."), QStringLiteral("r") } };
    get.maxArguments = -1;
    ParsedCommand p;
    QString error;
    // "-" (standard output), a negative number and an SQL comment are words, not options.
    ASSERT_TRUE(ParseCommand(get, Words({ "\\a", "-r", "-", "-1", "-- note" }), &p, &error))
        << error.toStdString();
    EXPECT_EQ(p.arguments, Words({ "\\a", "-", "-1", "-- note" }));
    EXPECT_TRUE(p.Has(QStringLiteral("recursive")));
    ASSERT_TRUE(ParseCommand(get, Words({ "--socket=/s", "\\a" }), &p, &error));
    EXPECT_EQ(p.Value(QStringLiteral("socket")), QStringLiteral("/s"));
    ASSERT_TRUE(ParseCommand(get, Words({ "-h" }), &p, &error));
    EXPECT_TRUE(p.helpRequested);

    // After the path of attrib, "-r" and "-h" are its changes.
    CommandSyntax attrib;
    attrib.name = QStringLiteral("attrib");
    attrib.maxArguments = -1;
    attrib.optionsEndAtFirstArgument = true;
    ASSERT_TRUE(ParseCommand(attrib, Words({ "\\f.txt", "-r", "-h" }), &p, &error)) << error.toStdString();
    EXPECT_EQ(p.arguments, Words({ "\\f.txt", "-r", "-h" }));
    EXPECT_FALSE(p.helpRequested);
}

TEST(CliCommandArguments, AMistypedCommandGetsTheNameItMeant)
{
    const QStringList names
        = Words({ "ls", "get", "put", "sql", "tables", "schema", "device-id", "drop-table" });
    EXPECT_EQ(cli::ClosestName(QStringLiteral("tabels"), names), QStringLiteral("tables"));
    EXPECT_EQ(cli::ClosestName(QStringLiteral("SQL"), names), QStringLiteral("sql"));
    EXPECT_EQ(cli::ClosestName(QStringLiteral("deviceid"), names), QStringLiteral("device-id"));
    EXPECT_EQ(cli::ClosestName(QStringLiteral("drop"), names), QStringLiteral("drop-table"));
    EXPECT_EQ(cli::ClosestName(QStringLiteral("frobnicate"), names), QString());
    EXPECT_EQ(cli::ClosestName(QStringLiteral("xy"), names), QString());
}

TEST(CliCommandArguments, DoubleDashEndsTheOptions)
{
    ParsedCommand p;
    QString error;
    ASSERT_TRUE(ParseCommand(SqlLike(), Words({ "--yes", "--", "\\a.sdf", "--help" }), &p, &error));
    EXPECT_EQ(p.arguments, Words({ "\\a.sdf", "--help" }));
    EXPECT_FALSE(p.helpRequested);
    EXPECT_TRUE(cli::AsksForHelp(Words({ "x", "--help" })));
    EXPECT_FALSE(cli::AsksForHelp(Words({ "--", "--help" })));
}

TEST(CliCommandArguments, UsageErrorsSayWhat)
{
    ParsedCommand p;
    QString error;
    EXPECT_FALSE(ParseCommand(SqlLike(), Words({ "\\a.sdf" }), &p, &error));
    EXPECT_EQ(error, QStringLiteral("sql takes DB SQL"));
    EXPECT_FALSE(ParseCommand(SqlLike(), Words({ "a", "b", "c" }), &p, &error));
    EXPECT_EQ(error, QStringLiteral("sql takes DB SQL"));
    EXPECT_FALSE(ParseCommand(SqlLike(), Words({ "a", "b", "--colour" }), &p, &error));
    EXPECT_EQ(error, QStringLiteral("sql: unknown option --colour"));
    EXPECT_FALSE(ParseCommand(SqlLike(), Words({ "a", "b", "-q" }), &p, &error));
    EXPECT_EQ(error, QStringLiteral("sql: unknown option -q"));
    EXPECT_FALSE(ParseCommand(SqlLike(), Words({ "a", "b", "--format" }), &p, &error));
    EXPECT_EQ(error, QStringLiteral("sql: missing value after '--format'"));
    EXPECT_FALSE(ParseCommand(SqlLike(), Words({ "a", "b", "--yes=no" }), &p, &error));
    EXPECT_EQ(error, QStringLiteral("sql: unexpected value after '--yes'"));
    // Help wins over every other problem.
    EXPECT_TRUE(ParseCommand(SqlLike(), Words({ "--colour", "--help" }), &p, &error));
    EXPECT_TRUE(p.helpRequested);
    EXPECT_TRUE(error.isEmpty());
    CommandSyntax none;
    none.name = QStringLiteral("ps");
    EXPECT_FALSE(ParseCommand(none, Words({ "x" }), &p, &error));
    EXPECT_EQ(error, QStringLiteral("ps takes no arguments"));
}

TEST(CliCommandArguments, HelpTextListsUsageAndOptions)
{
    EXPECT_EQ(cli::CommandHelp(SqlLike()).toStdString(),
        "Usage: quorvane-cli [--socket PATH] sql [OPTIONS] DB SQL\n"
        "\n"
        "Runs one statement.\n"
        "\n"
        "Options:\n"
        "  --format FORMAT  The format.\n"
        "  --yes            Answer Yes.\n"
        "  -h, --help       Show this help and exit.\n");
}

TEST(CliCommandTable, EveryCommandOnceWithHelp)
{
    const QVector<cli::CommandGroup> groups = cli::AllCommands();
    QStringList names;
    for (const auto& group : groups)
        for (const auto& command : group.commands) {
            EXPECT_FALSE(names.contains(command.syntax.name)) << command.syntax.name.toStdString();
            names << command.syntax.name;
            EXPECT_FALSE(command.syntax.summary.isEmpty()) << command.syntax.name.toStdString();
            EXPECT_TRUE(command.syntax.description.endsWith(QLatin1Char('\n')))
                << command.syntax.name.toStdString();
        }
    EXPECT_EQ(names,
        Words({ "info", "ls", "get", "put", "rm", "mkdir", "rmdir", "mv", "attrib", "reg", "run",
            "find-databases", "install", "sql", "script", "export", "schema", "tables", "newdb", "compact",
            "rename-table", "drop-table", "deploy", "ps", "kill", "reset", "device-id" }));
    const cli::Command* sql = cli::FindCommand(groups, QStringLiteral("sql"));
    ASSERT_TRUE(sql);
    EXPECT_TRUE(sql->connectsItself);
    EXPECT_FALSE(cli::FindCommand(groups, QStringLiteral("ls"))->connectsItself);
    EXPECT_EQ(cli::FindCommand(groups, QStringLiteral("SQL")), nullptr);
    const QString help = cli::ProgramHelp(groups);
    EXPECT_TRUE(help.startsWith(QStringLiteral("Usage: quorvane-cli [--socket PATH] COMMAND [ARGS...]\n")));
    EXPECT_TRUE(help.contains(
        QStringLiteral("  sql             run one SQL statement; print its rows or the rows affected\n")))
        << help.toStdString();
}

// export takes any number of tables after the database, and its target and
// login options anywhere among them.
TEST(CliCommandArguments, ExportTablesAndTargetOptions)
{
    const QVector<cli::CommandGroup> groups = cli::AllCommands();
    const cli::Command* command = cli::FindCommand(groups, QStringLiteral("export"));
    ASSERT_TRUE(command);
    EXPECT_TRUE(command->connectsItself);
    cli::ParsedCommand parsed;
    QString error;
    ASSERT_TRUE(cli::ParseCommand(command->syntax,
        Words({ "\\a.sdf", "Orders", "--odbc", "Sales", "Order Details", "--user", "me", "--odbc-password",
            "p;w", "--replace", "--password", "dev" }),
        &parsed, &error))
        << error.toStdString();
    EXPECT_EQ(parsed.arguments, Words({ "\\a.sdf", "Orders", "Order Details" }));
    EXPECT_EQ(parsed.Value("odbc").toStdString(), "Sales");
    EXPECT_EQ(parsed.Value("odbc-password").toStdString(), "p;w");
    EXPECT_EQ(parsed.Value("password").toStdString(), "dev");
    EXPECT_TRUE(parsed.Has("replace"));
    EXPECT_FALSE(parsed.Has("structure-only"));

    EXPECT_FALSE(cli::ParseCommand(command->syntax, Words({ "--to", "x.db" }), &parsed, &error))
        << "the database is required";
    EXPECT_FALSE(cli::ParseCommand(command->syntax, Words({ "\\a.sdf", "--to" }), &parsed, &error))
        << "--to needs its file";
}

TEST(CliRequestText, LineBreaksBecomeCrLfAndNamesWithSpacesGetBrackets)
{
    EXPECT_EQ(cli::RequestTextOf(QStringLiteral("SELECT a\nFROM t\r\nWHERE b = 'x\ry'")),
        QStringLiteral("SELECT a\r\nFROM t\r\nWHERE b = 'x\r\ny'"));
    EXPECT_EQ(cli::RequestTextOf(QStringLiteral("a\tb")), QStringLiteral("a\tb"));
    EXPECT_EQ(cli::QuotedTableName(QStringLiteral("Order Details")), QStringLiteral("[Order Details]"));
    EXPECT_EQ(cli::QuotedTableName(QStringLiteral("Orders")), QStringLiteral("Orders"));
}

TEST(CliKillOutcome, SuccessOnlyWhenTheNameIsGone)
{
    QString reason;
    const QStringList left = Words({ "NK.EXE", "gwes.exe", "Quorvane2003.exe" });
    EXPECT_TRUE(cli::KillSucceeded(QStringLiteral("pword.exe"), QStringLiteral("Success."), left, &reason));
    EXPECT_TRUE(reason.isEmpty());
    EXPECT_FALSE(cli::KillSucceeded(QStringLiteral("pword.exe"), QString(), left, &reason));
    EXPECT_EQ(reason, QStringLiteral("Couldn't find process."));
    EXPECT_FALSE(cli::KillSucceeded(
        QStringLiteral("gwes.exe"), QStringLiteral("Couldn't open process."), left, &reason));
    EXPECT_EQ(reason, QStringLiteral("Couldn't open process."));
    EXPECT_FALSE(cli::KillSucceeded(QStringLiteral("gwes.exe"), QStringLiteral("Success."), left, &reason));
    EXPECT_EQ(reason, QStringLiteral("Failed."));
}

TEST(CliTimeoutOption, WholeSecondsOnly)
{
    int seconds = -1;
    EXPECT_TRUE(cli::ParseTimeout(QStringLiteral("0"), &seconds));
    EXPECT_EQ(seconds, 0);
    EXPECT_TRUE(cli::ParseTimeout(QStringLiteral("90"), &seconds));
    EXPECT_EQ(seconds, 90);
    EXPECT_FALSE(cli::ParseTimeout(QStringLiteral("-1"), &seconds));
    EXPECT_FALSE(cli::ParseTimeout(QStringLiteral("1.5"), &seconds));
    EXPECT_FALSE(cli::ParseTimeout(QStringLiteral("soon"), &seconds));
    EXPECT_FALSE(cli::ParseTimeout(QStringLiteral("999999"), &seconds));
    EXPECT_EQ(seconds, 90);
}

// The manual page and the bash completion name every command and option
// the program has; the completion, run in bash, offers them.
TEST(CliCommandTable, ManualPageAndCompletionKnowEveryCommand)
{
    QFile manual(QStringLiteral(QV_SOURCE_DIR "/cli/quorvane-cli.1"));
    QFile completion(QStringLiteral(QV_SOURCE_DIR "/cli/quorvane-cli.bash"));
    ASSERT_TRUE(manual.open(QIODevice::ReadOnly));
    ASSERT_TRUE(completion.open(QIODevice::ReadOnly));
    const QString page = QString::fromUtf8(manual.readAll()),
                  script = QString::fromUtf8(completion.readAll());
    for (const auto& group : cli::AllCommands()) {
        for (const auto& command : group.commands) {
            QString roff = command.syntax.name;
            roff.replace(QLatin1Char('-'), QStringLiteral("\\-"));
            EXPECT_TRUE(
                page.contains(QStringLiteral(".B ") + roff) || page.contains(QStringLiteral(".BR ") + roff))
                << command.syntax.name.toStdString();
            EXPECT_TRUE(
                script.contains(QRegularExpression(QStringLiteral("\\b%1\\b").arg(command.syntax.name))))
                << command.syntax.name.toStdString();
            for (const auto& option : command.syntax.options)
                EXPECT_TRUE(script.contains(QStringLiteral("--") + option.name))
                    << command.syntax.name.toStdString() << " --" << option.name.toStdString();
        }
    }
    // What bash offers after "quorvane-cli ta", "sql a b --fo" and "--format ".
    const QString run = QStringLiteral(
        "_init_completion() { cur=${COMP_WORDS[COMP_CWORD]}; prev=${COMP_WORDS[COMP_CWORD-1]}; "
        "words=(\"${COMP_WORDS[@]}\"); cword=$COMP_CWORD; }; _filedir() { :; }; source '%1'; "
        "offer() { COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1)); COMPREPLY=(); _quorvane_cli; "
        "echo \"${COMPREPLY[*]}\"; }; "
        "offer quorvane-cli ta; offer quorvane-cli sql a b --fo; offer quorvane-cli sql --format ''; "
        "offer quorvane-cli reg ''; offer quorvane-cli get -")
                            .arg(completion.fileName());
    QProcess bash;
    bash.start(QStringLiteral("/bin/bash"), { QStringLiteral("-c"), run });
    ASSERT_TRUE(bash.waitForFinished(30000));
    EXPECT_EQ(QString::fromUtf8(bash.readAllStandardOutput()).toStdString(),
        "tables\n--format\ntable tsv csv json raw\nquery set add delete export import\n--help --socket "
        "--recursive\n");
}

} // namespace
