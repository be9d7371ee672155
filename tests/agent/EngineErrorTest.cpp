#include "AgentTestSupport.h"

#include "agent/EngineError.h"
#include "engine/ErrorInfo.h"

#include <gtest/gtest.h>

using namespace agent;
using agenttest::MemoryStatus;
using agenttest::S;
using agenttest::U;

namespace {

engine::ErrorRecord Record(
    std::uint32_t code, std::string_view description, std::vector<std::string> parameters = {})
{
    engine::ErrorRecord record;
    record.result = static_cast<engine::HRESULT>(code);
    record.description = U(description);
    for (const auto& p : parameters)
        record.parameters.push_back(U(p));
    return record;
}

std::string Message(const std::vector<engine::ErrorRecord>& records, MemoryStatus& log,
    bool* needsEngine3 = nullptr, bool check = false)
{
    EngineErrorScope scope { log, check, needsEngine3 };
    return S(FormatErrorRecords(records, scope));
}

} // namespace

TEST(EngineError, DescriptionGetsCodeAndFullStop)
{
    MemoryStatus log;
    EXPECT_EQ(Message({ Record(0x80004005, "The database file is corrupted") }, log),
        "0x80004005\r\nThe database file is corrupted.");
}

TEST(EngineError, ParametersWithoutBracketsAreListed)
{
    MemoryStatus log;
    EXPECT_EQ(Message({ Record(0x80040e37, "The specified table does not exist", { "p", "q" }) }, log),
        "0x80040e37\r\nThe specified table does not exist (p, q).");
    // Empty parameters are left out of the list but keep their positions.
    EXPECT_EQ(Message({ Record(0x80040e37, "Missing", { "", "q" }) }, log), "0x80040e37\r\nMissing (q).");
    auto lines = log.LogLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Error argument 1:  q"), lines.end());
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Error argument 0:  "), 0);
}

TEST(EngineError, ParametersFillTheBracketSlots)
{
    MemoryStatus log;
    EXPECT_EQ(Message({ Record(0x80040e14,
                          "There was an error parsing the query. [ Token line number,Token line offset,Token "
                          "in error ]",
                          { "1", "8", "FRM" }) },
                  log),
        "0x80040e14\r\nThere was an error parsing the query. [1,8,FRM ].");
    // A slot without its parameter keeps its text; a parameter beyond the
    // slots is listed.
    EXPECT_EQ(Message({ Record(0x80040e14, "Bad [ a,b ]", { "", "B", "extra" }) }, log),
        "0x80040e14\r\nBad [ a,B ] (extra).");
    // A comma inside a parameter does not shift the later slots.
    EXPECT_EQ(
        Message({ Record(0x80040e2f, "Duplicate [ Table name,Constraint name ]", { "T,U", "PK" }) }, log),
        "0x80040e2f\r\nDuplicate [T,U,PK ].");
}

TEST(EngineError, LoginFailureWithoutDescriptionAsksForThePassword)
{
    MemoryStatus log;
    bool needs = true;
    EXPECT_EQ(Message({ Record(0x80040e4d, "") }, log, &needs, true),
        "0x80040e4d\r\nLogin failed.  Check your password.");
    EXPECT_FALSE(needs);
    // With a description, the description is the message.
    needs = true;
    EXPECT_EQ(Message({ Record(0x80040e4d, "The specified password does not match the database password") },
                  log, &needs, true),
        "0x80040e4d\r\nThe specified password does not match the database password.");
    EXPECT_TRUE(needs);
}

TEST(EngineError, UnknownErrorWithoutDescription)
{
    MemoryStatus log;
    EXPECT_EQ(Message({ Record(0x8000ffff, "") }, log), "0x8000ffff\r\nUnknown error");
}

TEST(EngineError, TheLastRecordIsTheMessageAndEveryRecordIsLogged)
{
    MemoryStatus log;
    EXPECT_EQ(
        Message({ Record(0x80004005, "first"), Record(0x80040e14, "second") }, log), "0x80040e14\r\nsecond.");
    auto lines = log.LogLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "\r\n");
    EXPECT_EQ(lines[1], "Number of error records: 2");
    EXPECT_EQ(S(log.StatusHistory().back()), lines.back());
}

TEST(EngineError, NotAValidDatabaseFileSendsTheRequestToTheEngine30Agent)
{
    MemoryStatus log;
    bool needs = false;
    Message({ Record(0x800300fb, "THE FILE IS NOT A VALID DATABASE FILE") }, log, &needs, true);
    EXPECT_TRUE(needs);
    // The engine-3.0 agent does not test it, nor do compaction and creation.
    needs = false;
    Message({ Record(0x800300fb, "The file is not a valid database file") }, log, &needs, false);
    EXPECT_FALSE(needs);
    Message({ Record(0x800300fb, "The file is not a valid database file") }, log, nullptr, true);
}

TEST(EngineError, NoErrorObjectAppendsABareLineBreak)
{
    MemoryStatus log;
    // A successful engine call leaves no records behind.
    std::unique_ptr<engine::Provider> provider;
    ASSERT_EQ(
        engine::CreateProvider(engine::kEngine30Class, agenttest::AllInstalled, provider), engine::S_OK);
    std::u16string text = u"Unable to open this database.";
    EXPECT_TRUE(AppendEngineError({ log, false, nullptr }, text));
    EXPECT_EQ(S(text), "Unable to open this database.\r\n");
}

TEST(EngineError, AppendTakesTheEngineRecordsOfThisThread)
{
    testsupport::TempDir folder { "qvagent" };
    MemoryStatus log;
    std::unique_ptr<engine::Provider> provider;
    ASSERT_EQ(
        engine::CreateProvider(engine::kEngine30Class, agenttest::AllInstalled, provider), engine::S_OK);
    engine::DataSourceProperties properties { folder.path() / "missing.sdf", u"" };
    provider->SetProperties(properties);
    ASSERT_TRUE(engine::Failed(provider->Initialize()));
    std::u16string text = u"Unable to open this database.";
    EXPECT_TRUE(AppendEngineError({ log, false, nullptr }, text));
    EXPECT_TRUE(S(text).starts_with("Unable to open this database.\r\n0x80030002\r\n")) << S(text);
    EXPECT_TRUE(S(text).ends_with(".")) << S(text);
    // The records are taken once.
    std::u16string again;
    AppendEngineError({ log, false, nullptr }, again);
    EXPECT_EQ(again, u"\r\n");
}
