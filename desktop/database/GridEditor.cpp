#include "desktop/database/GridEditor.h"

#include "desktop/link/DeviceLink.h"
#include "desktop/ui/PromptFromWindow.h"

namespace database {

using devlink::PromptAnswer;
using devlink::RequestState;

GridEditor::GridEditor(ResultsGrid* grid, devlink::RequestController* window, QObject* parent)
    : QObject(parent)
    , m_grid(grid)
    , m_window(window)
{
    connect(&m_statement, &devlink::RequestController::requestFinished, this, &GridEditor::OnFinished);
}

void GridEditor::SetBusy(bool busy)
{
    m_busy = busy;
    m_grid->SetBusy(busy);
    emit busyChanged(busy);
}

QString GridEditor::CommitCell(int row, int column, const QString& text)
{
    if (m_busy || row < 0 || row >= m_grid->rowCount() || column < 0 || column >= m_grid->columnCount())
        return {};
    const devlink::ColumnSchema& schema = m_grid->columns()[column];
    const int storeRow = m_grid->StoreRow(row);
    const QString oldText = m_grid->CellText(row, column);
    const bool newRow = storeRow == m_grid->newStoreRow();
    if (text == oldText && !newRow)
        return {};
    const CellCheck check = CheckCellText(text, schema.kind);
    if (!check.ok)
        return check.error;

    Pending pending;
    pending.storeRow = storeRow;
    pending.column = column;
    pending.oldText = oldText;
    pending.newText = check.text;
    pending.rowTexts = m_grid->RowTexts(row);
    m_grid->SetCellText(storeRow, column, check.text);
    if (const std::optional<QString> duplicate = m_grid->DuplicateKeyMessage()) {
        m_grid->SetCellText(storeRow, column, oldText);
        return *duplicate;
    }
    if (newRow) {
        const QString refused = SaveNewRow();
        // The typed value stays in the unsaved row; the message says what is missing.
        if (!refused.isEmpty())
            ui::TellFromWindow(m_owner, QStringLiteral("Error"), refused, devlink::PromptIcon::Warning);
        return {};
    }
    pending.change = Change::Update;
    pending.guarded = !m_grid->hasPrimaryKey();
    const QString where = WhereClause(m_grid->columns(), m_grid->keyColumns(), pending.rowTexts,
        m_grid->BinaryCells(m_grid->ViewRow(storeRow)), RowChange::Update, column, pending.guarded);
    pending.statement = UpdateStatement(m_grid->tableName(), schema, check.text, where);
    Run(pending);
    return {};
}

QString GridEditor::SaveNewRow()
{
    const int row = m_grid->ViewRow(m_grid->newStoreRow());
    const QVector<devlink::ColumnSchema>& columns = m_grid->columns();
    const QStringList texts = m_grid->RowTexts(row);
    for (int c = 0; c < columns.size(); ++c)
        if (columns[c].isNotNull && !columns[c].isAutoinc && (texts[c] == kNullText || texts[c].isEmpty()))
            return QStringLiteral("The field \"%1\" cannot be left blank.").arg(columns[c].name);
    Pending pending;
    pending.change = Change::Insert;
    pending.storeRow = m_grid->newStoreRow();
    pending.rowTexts = texts;
    pending.statement = InsertStatement(m_grid->tableName(), columns, texts, m_grid->BinaryCells(row));
    Run(pending);
    return {};
}

void GridEditor::DeleteRow(int row)
{
    if (m_busy || row < 0 || row >= m_grid->rowCount())
        return;
    const int storeRow = m_grid->StoreRow(row);
    if (storeRow == m_grid->newStoreRow()) {
        // Never saved: nothing to delete on the device.
        m_grid->RemoveStoreRow(storeRow);
        return;
    }
    Pending pending;
    pending.change = Change::Delete;
    pending.storeRow = storeRow;
    pending.rowTexts = m_grid->RowTexts(row);
    pending.guarded = !m_grid->hasPrimaryKey();
    const QString where = WhereClause(m_grid->columns(), m_grid->keyColumns(), pending.rowTexts,
        m_grid->BinaryCells(row), RowChange::Delete, -1, pending.guarded);
    pending.statement = DeleteStatement(m_grid->tableName(), where);
    Run(pending);
}

int GridEditor::AddNewRow()
{
    if (m_busy || m_grid->newStoreRow() >= 0 || !m_grid->isEditable())
        return -1;
    devlink::DebugOutput(QStringLiteral("OnCreateNewRow()\r\n"));
    QVector<std::optional<qint64>> proposed;
    for (int c = 0; c < m_grid->columnCount(); ++c)
        proposed << (m_grid->columns()[c].kind == ColumnKind::Integer ? m_grid->ProposedKey(c)
                                                                      : std::nullopt);
    const int storeRow = m_grid->AppendRow(NewRowTexts(m_grid->columns(), proposed));
    m_grid->SetNewStoreRow(storeRow);
    return m_grid->ViewRow(storeRow);
}

int GridEditor::CloneRow(int row)
{
    if (m_busy || m_grid->newStoreRow() >= 0 || !m_grid->isEditable() || row < 0 || row >= m_grid->rowCount())
        return -1;
    devlink::DebugOutput(QStringLiteral("OnCreateNewRow()\r\n"));
    QStringList texts = m_grid->RowTexts(row);
    // A binary value's text is only its size: the copy starts without it.
    const QVector<bool> binary = m_grid->BinaryCells(row);
    // An identity value is the device's to give: the copy proposes the next
    // one, so that it does not carry its original's key.
    for (int c = 0; c < texts.size(); ++c) {
        if (binary[c])
            texts[c] = kNullText;
        if (m_grid->columns()[c].isAutoinc) {
            const std::optional<qint64> key = m_grid->ProposedKey(c);
            texts[c] = key ? QString::number(*key) : kNullText;
        }
    }
    const int storeRow = m_grid->AppendRow(texts);
    m_grid->SetNewStoreRow(storeRow);
    return m_grid->ViewRow(storeRow);
}

void GridEditor::Run(const Pending& pending)
{
    m_pending = pending;
    SetBusy(true);
    emit statusTextChanged(QStringLiteral("Updating database.."));
    m_statement.setDatabasePath(m_window->databasePath());
    m_statement.setPassword(m_window->password());
    m_statement.setTableMode(true);
    m_statement.setShown(true);
    m_statement.setPromptOwner(m_owner);
    m_statement.setSqlToRun(pending.statement);
    m_statement.RunRequest();
}

void GridEditor::OnFinished()
{
    const RequestState state = m_statement.state();
    // Only rows the device reports as changed make a success: 0 rows means
    // the row was not found as the grid shows it, and nothing changed.
    const bool changed = state == RequestState::Succeeded && m_statement.rowsAffected() > 0;
    if (!changed && m_pending.guarded && state == RequestState::Failed) {
        const int rows = m_statement.rowsThatWouldBeAffected();
        if (rows != 0 && rows != -1) {
            AskGuarded(rows);
            return;
        }
    }
    if (!changed && state == RequestState::Succeeded && m_pending.change == Change::Update) {
        // Show the row as it is on the device.
        m_grid->SetCellText(m_pending.storeRow, m_pending.column, m_pending.oldText);
    }
    End(changed);
}

void GridEditor::AskGuarded(int rows)
{
    devlink::PromptRequest box;
    box.caption = QStringLiteral("Warning");
    box.icon = devlink::PromptIcon::Warning;
    box.buttons = devlink::PromptButtons::YesNoCancel;
    box.owner = m_owner;
    box.text = m_pending.change == Change::Update
        ? GuardedUpdateQuestion(m_pending.oldText, m_pending.newText, rows, m_pending.statement)
        : GuardedDeleteQuestion(rows, m_pending.statement);
    ui::AskFromWindow(box, this, [this](PromptAnswer answer) {
        if (answer != PromptAnswer::Yes) {
            if (m_pending.change == Change::Update)
                m_grid->SetCellText(m_pending.storeRow, m_pending.column, m_pending.oldText);
            emit statusTextChanged(QString());
            SetBusy(false);
            emit finished();
            return;
        }
        m_pending.guarded = false;
        m_pending.secondPass = true;
        m_pending.statement = WithoutLimit(m_pending.statement);
        m_statement.setSqlToRun(m_pending.statement);
        m_statement.RunRequest();
    });
}

void GridEditor::End(bool success)
{
    if (success) {
        switch (m_pending.change) {
        case Change::Update:
            if (m_pending.secondPass)
                m_grid->ReplaceColumnTexts(m_pending.column, m_pending.oldText, m_pending.newText);
            break;
        case Change::Delete:
            if (m_pending.secondPass)
                m_grid->RemoveRowsEqualTo(m_pending.rowTexts);
            else
                m_grid->RemoveStoreRow(m_pending.storeRow);
            break;
        case Change::Insert:
            m_grid->SetNewStoreRow(-1);
            break;
        }
    }
    emit statusTextChanged(m_statement.statusText());
    emit outcomeChanged(success ? QStringLiteral("Update successful.") : QStringLiteral("Update failed."));
    SetBusy(false);
    emit finished();
}

} // namespace database
