// The desktop program's own word grammar.
#include "desktop/shell/CommandLine.h"
#include "desktop/explorer/FileOpenRules.h"

#include <gtest/gtest.h>

using shell::ParseCommandLine;
using Mode = shell::StartRequest::Mode;

namespace {

QStringList Words(std::initializer_list<const char*> words)
{
    QStringList list;
    for (const char* word : words)
        list.append(QString::fromUtf8(word));
    return list;
}

TEST(CommandLine, SingleWordsChooseTheirMode)
{
    EXPECT_EQ(ParseCommandLine({}).mode, Mode::MainWindow);
    EXPECT_EQ(ParseCommandLine(Words({ "--help" })).mode, Mode::Help);
    EXPECT_EQ(ParseCommandLine(Words({ "--version" })).mode, Mode::Version);
    EXPECT_EQ(ParseCommandLine(Words({ "-connected" })).mode, Mode::Connected);
    EXPECT_EQ(ParseCommandLine(Words({ "/x-connected" })).mode, Mode::Connected);
    EXPECT_EQ(ParseCommandLine(Words({ "-disconnected" })).mode, Mode::Disconnected);
    EXPECT_EQ(ParseCommandLine(Words({ "-UpGrade" })).mode, Mode::Upgrade);
    EXPECT_EQ(ParseCommandLine(Words({ "-REGISTRY" })).mode, Mode::Registry);
}

TEST(CommandLine, NoticesMatchOnlyInTheirOwnCaseAndAlone)
{
    // ActiveSync writes them in lower case; anything else is a file name.
    shell::StartRequest upper = ParseCommandLine(Words({ "-CONNECTED" }));
    EXPECT_EQ(upper.mode, Mode::TextFile);
    EXPECT_EQ(upper.path, QStringLiteral("-CONNECTED"));
    shell::StartRequest two = ParseCommandLine(Words({ "-connected", "now" }));
    EXPECT_EQ(two.mode, Mode::TextFile);
    EXPECT_EQ(two.path, QStringLiteral("-connected now"));
}

TEST(CommandLine, PasswordWordsRunUpToTable)
{
    shell::StartRequest request = ParseCommandLine(Words({ "-pass", "a", "b", "-table", "T", "x.sdf" }));
    EXPECT_EQ(request.mode, Mode::Database);
    EXPECT_EQ(request.password, QStringLiteral("a b"));
    EXPECT_TRUE(request.passwordGiven);
    EXPECT_EQ(request.table, QStringLiteral("T"));
    EXPECT_EQ(request.path, QStringLiteral("x.sdf"));

    request = ParseCommandLine(Words({ "\\My", "Documents\\Orders.SDF", "-PASSWORD", "open", "sesame" }));
    EXPECT_EQ(request.mode, Mode::Database);
    EXPECT_EQ(request.path, QStringLiteral("\\My Documents\\Orders.SDF"));
    EXPECT_EQ(request.password, QStringLiteral("open sesame"));
    EXPECT_TRUE(request.table.isEmpty());

    // Without "-pass" the window asks for a password when it needs one.
    request = ParseCommandLine(Words({ "\\Orders.sdf", "-Table", "Order", "Details" }));
    EXPECT_FALSE(request.passwordGiven);
    EXPECT_EQ(request.table, QStringLiteral("Order"));
    EXPECT_EQ(request.path, QStringLiteral("\\Orders.sdf Details"));
    EXPECT_EQ(request.mode, Mode::TextFile);
}

TEST(CommandLine, APathWithSpacesComesBackWhole)
{
    shell::StartRequest request = ParseCommandLine(Words({ "\\My", "Documents\\read", "me.txt" }));
    EXPECT_EQ(request.mode, Mode::TextFile);
    EXPECT_EQ(request.path, QStringLiteral("\\My Documents\\read me.txt"));
}

TEST(CommandLine, MissingPartsAreErrors)
{
    shell::StartRequest request = ParseCommandLine(Words({ "x.sdf", "-table" }));
    EXPECT_EQ(request.mode, Mode::Invalid);
    EXPECT_EQ(request.error, QStringLiteral("-table needs the name of a table"));
    request = ParseCommandLine(Words({ "-pass", "x.sdf" }));
    EXPECT_EQ(request.mode, Mode::Invalid);
    EXPECT_EQ(request.error, QStringLiteral("no device file was named"));
}

TEST(CommandLine, ADatabaseHandedToANewCopyComesBackWholeWithoutAPassword)
{
    // The new copy takes the remembered password itself (none is given here).
    const QString path = QStringLiteral("\\My Documents\\Order  Book -pass.sdf");
    const shell::StartRequest request = ParseCommandLine(explorer::SeparateDatabaseArguments(path));
    EXPECT_EQ(request.mode, Mode::Database);
    EXPECT_EQ(request.path, path);
    EXPECT_FALSE(request.passwordGiven);
    EXPECT_TRUE(request.table.isEmpty());
}

} // namespace
