// The command-line parameters remembered per device program: the setting
// "PARAMS_" + the program's device path with every "\\" replaced by "_".
// The "Run an application" window keeps them; the explorer runs programs
// with them.
//
// Safe from any thread, as the settings store is.
#pragma once

#include <QString>

namespace settings {

// "PARAMS_" + `programPath` with every "\\" made "_".
QString ParamsSettingName(const QString& programPath);
// The parameters kept for `programPath`; false when none are kept.
bool RememberedParameters(const QString& programPath, QString* parameters);
// Keeps `parameters` for `programPath` when `remember`, else forgets any.
void RememberParameters(const QString& programPath, const QString& parameters, bool remember);

} // namespace settings
