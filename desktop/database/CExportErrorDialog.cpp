#include "desktop/database/CExportErrorDialog.h"

#include "desktop/export/ExportSql.h"
#include "desktop/ui/NamedWidgets.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace database {

CExportErrorDialog::CExportErrorDialog(const dbexport::ExportErrorQuestion& question, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("exportErrorDialog"));
    setWindowTitle(QStringLiteral("Export error"));
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(question.Title());
    title->setObjectName(QStringLiteral("titleLine"));
    layout->addWidget(title);

    m_statement = new QPlainTextEdit(dbexport::StatementForEditing(question.sql));
    m_statement->setObjectName(QStringLiteral("statementBox"));
    layout->addWidget(m_statement, 1);
    if (!question.isCreate) {
        m_fields = new QTreeWidget;
        m_fields->setObjectName(QStringLiteral("fieldList"));
        m_fields->setRootIsDecorated(false);
        m_fields->setHeaderLabels(
            { QStringLiteral("Field Name"), QStringLiteral("Field Type"), QStringLiteral("Field Value") });
        for (int c = 0; c < 3; ++c)
            m_fields->header()->resizeSection(c, 150);
        for (qsizetype i = 0; i < question.fieldNames.size(); ++i)
            new QTreeWidgetItem(m_fields,
                { question.fieldNames[i], question.fieldTypes.value(i), question.fieldValues.value(i) });
        layout->addWidget(m_fields, 1);
        auto* record
            = new QLabel(QStringLiteral("Record %1 of %2").arg(question.record).arg(question.totalRecords));
        record->setObjectName(QStringLiteral("recordLine"));
        auto* row = new QHBoxLayout;
        row->addWidget(record, 1);
        m_sqlView = new QCheckBox(QStringLiteral("&SQL view"));
        m_sqlView->setObjectName(QStringLiteral("sqlViewBox"));
        row->addWidget(m_sqlView);
        layout->addLayout(row);
        connect(m_sqlView, &QCheckBox::toggled, this, &CExportErrorDialog::ShowSqlView);
        ShowSqlView(false);
    }

    auto* errorTitle = new QLabel(QStringLiteral("Error:"));
    layout->addWidget(errorTitle);
    auto* error = new QLabel(question.errorText);
    error->setObjectName(QStringLiteral("errorText"));
    error->setWordWrap(true);
    error->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(error);
    layout->addWidget(new QLabel(QStringLiteral("Continue exporting the other tables ?")));

    auto* buttons = new QHBoxLayout;
    QPushButton* retry = ui::NamedButton(QStringLiteral("&Retry"), "retryButton");
    QPushButton* abort = ui::NamedButton(QStringLiteral("&Abort Exporting"), "abortButton");
    QPushButton* skip = ui::NamedButton(QStringLiteral("&Skip this table"), "skipButton");
    buttons->addStretch(1);
    for (QPushButton* button : { retry, abort, skip })
        buttons->addWidget(button);
    layout->addLayout(buttons);
    retry->setDefault(true);
    connect(retry, &QPushButton::clicked, this, [this] { Choose(dbexport::ExportChoice::Retry); });
    connect(abort, &QPushButton::clicked, this, [this] { Choose(dbexport::ExportChoice::Abort); });
    connect(skip, &QPushButton::clicked, this, [this] { Choose(dbexport::ExportChoice::Skip); });
    resize(560, 420);
}

void CExportErrorDialog::ShowSqlView(bool sqlView)
{
    m_statement->setVisible(sqlView);
    m_fields->setVisible(!sqlView);
}

void CExportErrorDialog::Choose(dbexport::ExportChoice choice)
{
    m_answer.choice = choice;
    m_answer.sql = dbexport::StatementFromEditing(m_statement->toPlainText());
    accept();
}

} // namespace database
