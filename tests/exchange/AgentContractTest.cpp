// The names both sides of the agent link derive from the contract: which
// build suits a device, what the hand-over starts, what counts as an agent,
// and where the desktop keeps its copies.
#include "exchange/AgentContract.h"

#include <gtest/gtest.h>

#include <string>

namespace contract {
namespace {

TEST(AgentContract, EachPlatformAndEngineHasItsOwnBuild)
{
    EXPECT_EQ(AgentExeFor(2, u"PocketPC"), u"Quorvane2003.exe");
    EXPECT_EQ(AgentExeFor(3, u"PocketPC"), u"Quorvane2005.exe");
    EXPECT_EQ(AgentExeFor(2, u"Smartphone"), u"QuorvaneSP2003.exe");
    EXPECT_EQ(AgentExeFor(3, u"Smartphone"), u"QuorvaneSP2005.exe");
    EXPECT_EQ(AgentExeFor(2, u"WindowsCE"), u"QuorvaneWCE2003.exe");
    EXPECT_EQ(AgentExeFor(3, u"WindowsCE"), u"QuorvaneWCE2005.exe");
}

TEST(AgentContract, UnknownPlatformIsAPocketPCAndUnknownEngineIsTwo)
{
    EXPECT_EQ(AgentExeFor(3, u"Toaster"), u"Quorvane2005.exe");
    EXPECT_EQ(AgentExeFor(0, u"Smartphone"), u"QuorvaneSP2003.exe");
    EXPECT_EQ(AgentExeFor(4, u""), u"Quorvane2003.exe");
}

TEST(AgentContract, HandOverTagTurnsEachEngine2BuildIntoItsEngine3Sibling)
{
    for (const AgentBuild& build : kAgentBuilds) {
        if (build.engineVersion != 2)
            continue;
        std::u16string sibling(build.exeName);
        const std::size_t at = sibling.find(kEngine2Tag);
        ASSERT_NE(at, std::u16string::npos);
        sibling.replace(at, kEngine2Tag.size(), kEngine3Tag);
        EXPECT_EQ(sibling, AgentExeFor(3, build.platform));
    }
}

TEST(AgentContract, AgentsAreTheSixBuildsAndTheOldNameInAnyCase)
{
    for (const AgentBuild& build : kAgentBuilds)
        EXPECT_TRUE(IsAgentExecutable(build.exeName));
    EXPECT_TRUE(IsAgentExecutable(u"pelmorra.EXE"));
    EXPECT_TRUE(IsAgentExecutable(u"QUORVANEWCE2005.EXE"));
    EXPECT_FALSE(IsAgentExecutable(u"Haltquill.exe"));
    EXPECT_FALSE(IsAgentExecutable(u"Quorvane.exe"));
    EXPECT_FALSE(IsAgentExecutable(u"Quorvane2003.dll"));
    EXPECT_FALSE(IsAgentExecutable(u""));
}

TEST(AgentContract, DesktopKeepsDeviceProgramsUnderDll)
{
    EXPECT_EQ(DesktopCopyName(kStopperExe), u"Haltquill.dll");
    EXPECT_EQ(DesktopCopyName(u"Quorvane2003.exe"), u"Quorvane2003.dll");
    EXPECT_EQ(DesktopCopyName(u"QuorvaneWCE2005.EXE"), u"QuorvaneWCE2005.dll");
    EXPECT_EQ(DesktopCopyName(u"tool"), u"tool.dll");
    EXPECT_EQ(DesktopCopyName(u".exe"), u".dll");
}

TEST(AgentContract, AgentFilesLieInTheAgentFolder)
{
    EXPECT_TRUE(IsAgentFile(u"\\Quorvane\\SQLquery.txt", kQueryFileName));
    EXPECT_FALSE(IsAgentFile(u"\\Quorvane2\\SQLquery.txt", kQueryFileName));
    EXPECT_FALSE(IsAgentFile(u"\\QuorvaneXSQLquery.txt", kQueryFileName));
    EXPECT_FALSE(IsAgentFile(u"\\Quorvane\\x\\SQLquery.txt", kQueryFileName));
}

} // namespace
} // namespace contract
