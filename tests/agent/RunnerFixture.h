// Runs the agent's request runner in this process on a database made by the
// engine, with the status values in memory and the output in memory.
#pragma once

#include "AgentTestSupport.h"

#include "agent/RequestRunner.h"
#include "agent/RequestText.h"
#include "exchange/OutputCollector.h"
#include "exchange/Text.h"

#include <gtest/gtest.h>

namespace agenttest {

class RunnerTest : public ::testing::Test {
protected:
    RunnerTest()
        : m_files(m_folder.path())
    {
    }

    // The database "\db.sdf" of engine `version` with `statements` run on it.
    void Database(
        const std::vector<std::string>& statements, int version = 3, std::u16string_view password = u"")
    {
        MakeDatabase(m_files.Host(u"\\db.sdf"), version, statements, password);
    }

    // Runs `request` as the dispatcher would (a table view when the request
    // names one table) and returns the output's text.
    std::u16string Run(std::string_view request, int agentVersion = 3, std::u16string_view password = u"")
    {
        agent::RunArguments arguments;
        arguments.databasePath = u"\\db.sdf";
        arguments.password = std::u16string(password);
        std::u16string text = U(request);
        arguments.asciiSchema = text == u"SCHEMA-ASCII";
        arguments.binarySchema = text == u"SCHEMA-BINARY";
        if (auto view = agent::ParseTableView(text)) {
            arguments.tableName = view->tableName;
            arguments.tableSource = view->source;
        } else {
            arguments.statementText = text;
        }
        context = std::make_unique<agent::AgentContext>(
            agent::VariantFor(agentVersion), status, m_files, [this](std::u16string_view id) {
                return id == engine::kEngine20Class ? engine20Installed : engine30Installed;
            });
        exchange::MemorySink sink;
        ok = agent::RunRequest(*context, arguments, sink);
        return exchange::FromUtf16LeBytes(sink.bytes());
    }

    std::string ErrorText() const { return context ? S(context->errorText) : ""; }

    // Rows of a query as the engine holds them now, one value per line.
    std::u16string Query(std::string_view sql)
    {
        MemoryStatus quiet;
        agent::AgentContext c(agent::Engine30Variant(), quiet, m_files, AllInstalled);
        agent::RunArguments arguments;
        arguments.databasePath = u"\\db.sdf";
        arguments.statementText = U(sql);
        exchange::MemorySink sink;
        EXPECT_TRUE(agent::RunRequest(c, arguments, sink)) << S(c.errorText);
        return exchange::FromUtf16LeBytes(sink.bytes());
    }

    testsupport::TempDir m_folder { "qvagent" };
    HostFiles m_files;
    MemoryStatus status;
    std::unique_ptr<agent::AgentContext> context;
    bool ok = false;
    bool engine20Installed = true;
    bool engine30Installed = true;
};

} // namespace agenttest
