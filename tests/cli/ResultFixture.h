// Hand-made answers for the output tests: columns typed as the loader types
// them, cells with the kinds the loader gives them.
#pragma once

#include "desktop/link/QueryResult.h"

namespace testing_cli {

inline QString S(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

inline devlink::ColumnSchema Column(const char* name, const char* type)
{
    devlink::ColumnSchema c;
    c.name = S(name);
    c.typeText = S(type);
    devlink::SetKindAndWidth(c);
    return c;
}

inline devlink::QueryResult Result(QVector<devlink::ColumnSchema> columns, QVector<QStringList> rows)
{
    devlink::QueryResult r;
    r.columnCount = int(columns.size());
    r.columns = columns;
    for (const QStringList& row : rows) {
        QByteArray kinds;
        for (const QString& cell : row)
            kinds.append(char(devlink::KindOfCellText(cell)));
        r.rows.append(row);
        r.cellKinds.append(kinds);
    }
    return r;
}

} // namespace testing_cli
