#include "desktop/link/AsciiSchema.h"

#include "desktop/link/AgentInvocation.h"
#include "desktop/link/DeviceTextFile.h"
#include "desktop/link/ResultsLoader.h"

namespace devlink {

std::optional<QString> ReadAsciiSchema(const QString& databasePath, const QString& password)
{
    // Only the status line of the answer tells whether the text was written.
    DatabaseRequest request;
    request.databasePath = databasePath;
    request.password = password;
    request.sql = ContractText(contract::kSchemaAsciiRequest);
    if (!ResultsLoader(request).LoadResults(-1, true))
        return std::nullopt;
    DeviceTextFile file;
    if (!file.Read(kAsciiSchemaPath, false))
        return std::nullopt;
    return QString::fromStdU16String(file.Text());
}

} // namespace devlink
