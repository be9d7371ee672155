#include "desktop/database/CFilterDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QVBoxLayout>

namespace database {

CFilterDialog::CFilterDialog(
    int column, const QString& columnName, const QStringList& values, QWidget* parent)
    : QDialog(parent)
    , m_column(column)
{
    setObjectName(QStringLiteral("filterDialog"));
    setWindowTitle(QStringLiteral("Filter"));
    auto* layout = new QVBoxLayout(this);
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(new QLabel(QStringLiteral("Field name:")));
    auto* name = new QLabel(columnName);
    name->setObjectName(QStringLiteral("fieldNameLabel"));
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    nameRow->addWidget(name, 1);
    layout->addLayout(nameRow);

    m_valuesMode = new QRadioButton(QStringLiteral("Filter on field value(s) :"));
    m_valuesMode->setObjectName(QStringLiteral("valuesModeButton"));
    layout->addWidget(m_valuesMode);
    m_values = new QListWidget;
    m_values->setObjectName(QStringLiteral("valuesList"));
    m_values->setSelectionMode(QAbstractItemView::MultiSelection);
    m_values->addItems(values);
    // A current item, so that the list's first focus selects nothing.
    if (!values.isEmpty())
        m_values->selectionModel()->setCurrentIndex(
            m_values->model()->index(0, 0), QItemSelectionModel::NoUpdate);
    layout->addWidget(m_values, 1);
    m_containingMode = new QRadioButton(QStringLiteral("Filter on field value(s) containing:"));
    m_containingMode->setObjectName(QStringLiteral("containingModeButton"));
    layout->addWidget(m_containingMode);
    auto* textRow = new QHBoxLayout;
    m_text = new QLineEdit;
    m_text->setObjectName(QStringLiteral("containingEdit"));
    textRow->addWidget(m_text, 1);
    m_exact = new QCheckBox(QStringLiteral("Exact match"));
    m_exact->setObjectName(QStringLiteral("exactMatchBox"));
    textRow->addWidget(m_exact);
    layout->addLayout(textRow);
    m_offMode = new QRadioButton(QStringLiteral("Filter off"));
    m_offMode->setObjectName(QStringLiteral("offModeButton"));
    layout->addWidget(m_offMode);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    m_valuesMode->setChecked(true);
    for (QRadioButton* mode : { m_valuesMode, m_containingMode, m_offMode })
        connect(mode, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                UpdateControls();
        });
    UpdateControls();
    resize(360, 330);
}

void CFilterDialog::UpdateControls()
{
    m_values->setEnabled(m_valuesMode->isChecked());
    m_text->setEnabled(m_containingMode->isChecked());
    m_exact->setEnabled(m_containingMode->isChecked());
    if (m_containingMode->isChecked())
        m_text->setFocus();
}

RowFilter CFilterDialog::filter() const
{
    RowFilter filter;
    filter.column = m_column;
    filter.mode = m_valuesMode->isChecked() ? RowFilter::Values
        : m_containingMode->isChecked()     ? RowFilter::Containing
                                            : RowFilter::Off;
    filter.text = m_text->text();
    filter.exactMatch = m_exact->isChecked();
    for (const QListWidgetItem* item : m_values->selectedItems())
        filter.values << item->text();
    return filter;
}

} // namespace database
