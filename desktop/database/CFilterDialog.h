// The "Filter" dialog of a grid column: filter on chosen values, on values
// containing a text (optionally matching exactly), or off.
//
// Threads: window thread only.
#pragma once

#include "desktop/database/GridSql.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QListWidget;
class QRadioButton;

namespace database {

class CFilterDialog : public QDialog {
    Q_OBJECT
public:
    // `values`: the column's distinct values in the grid, in order.
    CFilterDialog(
        int column, const QString& columnName, const QStringList& values, QWidget* parent = nullptr);

    // The filter as the dialog's controls say.
    RowFilter filter() const;

private:
    void UpdateControls();

    int m_column;
    QRadioButton* m_valuesMode;
    QRadioButton* m_containingMode;
    QRadioButton* m_offMode;
    QListWidget* m_values;
    QLineEdit* m_text;
    QCheckBox* m_exact;
};

} // namespace database
