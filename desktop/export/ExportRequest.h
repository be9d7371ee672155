// What one export is asked to do, as the "Export" dialog or the command
// line fills it in, and the settings the dialog remembers between exports.
//
// Plain values; safe to copy between threads. The settings functions are
// safe from any thread (the settings store is).
#pragma once

#include <QString>
#include <QStringList>

namespace dbexport {

// What happens to a table of the same name that a data source holds already.
enum class ExistingTable {
    Ask, // a "Warning" question (through the prompter) before it is dropped
    Replace, // dropped and created anew without asking
    Keep, // left alone; the device table is skipped
};

struct ExportRequest {
    QStringList tables; // the chosen device tables
    bool toAccess = true; // the file target; false: an ODBC data source
    QString accessFile; // the file target's desktop path
    QString dataSource, userName, password; // the ODBC login
    bool structureOnly = false; // create the tables only
    QString databasePath, databasePassword; // the device database
    ExistingTable existingTable = ExistingTable::Ask;
};

// The dialog's remembered choices: "EXPORT_TOACCESS", "EXPORT_JUSTTABLES",
// "EXPORT_ODBCNAME", "EXPORT_ODBC_USERNAME" and "EXPORT_ODBC_PASSWORD" (kept
// scrambled like remembered database passwords).
struct ExportSettings {
    bool toAccess = true;
    bool structureOnly = false;
    QString dataSource;
    QString userName;
    QString password;
};
ExportSettings ReadExportSettings();
void WriteExportSettings(const ExportSettings& settings);

// The file the last failing export statement is written to: "errorSQL.txt"
// in the desktop's cache folder.
QString ErrorSqlPath();

} // namespace dbexport
