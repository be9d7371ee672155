// Creating a new, empty database on the device: the agent's "*CREATE"
// request for a path and an optional password (a password makes a
// protected database), and what became of it.
//
// Threads: where device work runs (the session's worker, or a command-line
// program's main thread); it waits for the agent.
#pragma once

#include <QStringList>

namespace devlink {

struct NewDatabaseResult {
    enum class Outcome {
        NotRun, // the request could not be handed to the agent
        Refused, // the agent answered with a failure (its reason in `reason`, when it gave one)
        Missing, // the agent answered nothing, yet the file is not there
        Created,
    };
    Outcome outcome = Outcome::NotRun;
    QStringList reason; // the agent's failure lines, after "<Failed>"
};

NewDatabaseResult CreateNewDatabase(const QString& databasePath, const QString& password);

} // namespace devlink
