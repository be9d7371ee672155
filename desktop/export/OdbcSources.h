// The data sources the ODBC driver manager knows (user and system ones, as
// unixODBC reads them from odbc.ini files; ODBCINI and ODBCSYSINI move
// those), each with the description of its driver.
//
// Safe from any thread; each call asks the driver manager anew.
#pragma once

#include <QString>
#include <QVector>

namespace dbexport {

struct OdbcSource {
    QString name;
    QString driverDescription;
};

QVector<OdbcSource> ListOdbcSources();

// Whether a data source's driver writes Microsoft Access files: the export
// then writes the file named in the dialog instead.
bool IsAccessDriver(const QString& driverDescription);

} // namespace dbexport
