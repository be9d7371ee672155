#include "desktop/link/AsciiSchema.h"

#include "desktop/link/AgentInvocation.h"
#include "desktop/link/DeviceTextFile.h"
#include "desktop/link/ResultsLoader.h"

namespace devlink {

std::optional<QString> ReadAsciiSchema(const QString& databasePath, const QString& password, bool* succeeded)
{
    // Only the status line of the answer tells whether the text was written.
    DatabaseRequest request;
    request.databasePath = databasePath;
    request.password = password;
    request.sql = ContractText(contract::kSchemaAsciiRequest);
    const bool success = ResultsLoader(request).LoadResults(-1, true);
    if (succeeded)
        *succeeded = success;
    if (!success)
        return std::nullopt;
    DeviceTextFile file;
    if (!file.Read(kAsciiSchemaPath, false))
        return std::nullopt;
    return QString::fromStdU16String(file.Text());
}

} // namespace devlink
