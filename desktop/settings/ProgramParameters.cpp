#include "desktop/settings/ProgramParameters.h"

#include "desktop/settings/SettingsStore.h"

namespace settings {

QString ParamsSettingName(const QString& programPath)
{
    QString name = programPath;
    return QStringLiteral("PARAMS_") + name.replace(QLatin1Char('\\'), QLatin1Char('_'));
}

bool RememberedParameters(const QString& programPath, QString* parameters)
{
    return ReadString(ParamsSettingName(programPath), parameters);
}

void RememberParameters(const QString& programPath, const QString& parameters, bool remember)
{
    if (remember)
        WriteString(ParamsSettingName(programPath), parameters);
    else
        DeleteValue(ParamsSettingName(programPath));
}

} // namespace settings
