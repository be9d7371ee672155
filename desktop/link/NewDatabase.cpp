#include "desktop/link/NewDatabase.h"

#include "desktop/link/AgentInvocation.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/link/DeviceTextFile.h"

namespace devlink {

NewDatabaseResult CreateNewDatabase(const QString& databasePath, const QString& password)
{
    NewDatabaseResult result;
    if (!CreateCEQueryFile(databasePath, password, ContractText(contract::kCreateRequest), false))
        return result;
    // A created database leaves no results file; a failure leaves its reason.
    if (DeviceFileExists(kResultsFilePath)) {
        result.outcome = NewDatabaseResult::Outcome::Refused;
        DeviceTextFile file;
        if (file.Read(kResultsFilePath, true) && file.Lines().size() > 1
            && file.Lines().first() == QLatin1String("<Failed>"))
            result.reason = file.Lines().mid(1);
        return result;
    }
    result.outcome = DeviceFileExists(databasePath) ? NewDatabaseResult::Outcome::Created
                                                    : NewDatabaseResult::Outcome::Missing;
    return result;
}

} // namespace devlink
