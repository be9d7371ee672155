// Opening a database for a request: component runtime, provider object, data
// source with path and password, session, and the list of user tables. Every
// step logs its line and its verdict; a failure leaves its message in the
// run's error text (usually followed by the engine's error) and, in the
// engine-2.0 agent, may decide that the engine-3.0 agent must answer.
#pragma once

#include "agent/AgentContext.h"
#include "engine/Provider.h"
#include "engine/Session.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace agent {

// What stays open for the runner after a successful OpenDatabase. The
// runner closes the parts in reverse order; the destructor closes whatever
// is still open.
struct DatabaseSession {
    std::unique_ptr<engine::Provider> provider; // the provider object, alive for the run
    std::unique_ptr<engine::Provider> dataSource;
    std::unique_ptr<engine::Session> session;
    std::vector<std::u16string> tables; // the table list
    bool tableListOpen = false;

    void CloseTableList();
    void CloseSession();
    void CloseDataSource();
};

// `databasePath` is a device path. True when everything is open.
bool OpenDatabase(AgentContext& context, std::u16string_view databasePath, std::u16string_view password,
    DatabaseSession& database);

} // namespace agent
