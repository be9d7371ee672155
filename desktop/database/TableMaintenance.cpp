#include "desktop/database/TableMaintenance.h"

#include "desktop/database/MaintenanceFiles.h"
#include "desktop/link/AgentContractText.h"
#include "desktop/link/AsciiSchema.h"
#include "desktop/link/CompactReport.h"
#include "desktop/link/DeviceSession.h"
#include "desktop/ui/LocalFolders.h"
#include "desktop/ui/PromptFromWindow.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QUrl>
#include <QWidget>

#include <memory>
#include <optional>

namespace database {
namespace {

using devlink::PromptAnswer;
using devlink::PromptButtons;
using devlink::PromptIcon;
using devlink::RequestState;

const QString kUpdateFailed = QStringLiteral("Update failed.");

} // namespace

TableMaintenance::TableMaintenance(devlink::RequestController* window, QWidget* owner)
    : QObject(owner)
    , m_window(window)
    , m_owner(owner)
    , m_compaction(owner)
{
    m_statement.setParent(this);
    m_statement.setTableMode(true);
    m_statement.setShown(true);
    m_statement.setPromptOwner(owner);
    m_compaction.setParent(this);
    connect(&m_statement, &devlink::RequestController::requestFinished, this, [this] {
        if (auto then = std::exchange(m_then, nullptr))
            then();
    });
    FollowRequest(&m_statement);
    FollowRequest(m_compaction.request());
    connect(&m_compaction, &DatabaseCompaction::finished, this, &TableMaintenance::OnCompacted);
}

void TableMaintenance::FollowRequest(devlink::RequestController* request)
{
    connect(
        request, &devlink::RequestController::statusTextChanged, this, &TableMaintenance::statusTextChanged);
    connect(request, &devlink::RequestController::timerTextChanged, this, &TableMaintenance::outcomeChanged);
}

void TableMaintenance::SetBusy(bool busy)
{
    if (m_busy == busy)
        return;
    m_busy = busy;
    emit busyChanged(busy);
}

void TableMaintenance::Tell(const QString& caption, const QString& text, PromptIcon icon)
{
    ui::TellFromWindow(m_owner, caption, text, icon);
}

void TableMaintenance::RunStatement(const QString& sql, std::function<void()> then)
{
    SetBusy(true);
    m_then = std::move(then);
    m_statement.setDatabasePath(m_window->databasePath());
    m_statement.setPassword(m_window->password());
    m_statement.setSqlToRun(sql);
    m_statement.RunRequest();
}

void TableMaintenance::DropTable(const QString& table)
{
    if (m_busy)
        return;
    devlink::PromptRequest question;
    question.caption = QStringLiteral("Warning");
    question.text = QStringLiteral("Are you sure you want to delete (DROP) the table \"%1\" ?\r\n\r\n"
                                   "This action is NOT undo-able.")
                        .arg(table);
    question.icon = PromptIcon::Question;
    question.buttons = PromptButtons::YesNoCancel;
    question.defaultButton = PromptAnswer::No;
    question.owner = m_owner;
    SetBusy(true);
    ui::AskFromWindow(question, this, [this, table](PromptAnswer answer) {
        if (answer != PromptAnswer::Yes) {
            SetBusy(false);
            return;
        }
        RunStatement(QStringLiteral("DROP TABLE ") + table, [this, table] {
            SetBusy(false);
            if (m_statement.state() != RequestState::Succeeded) {
                emit outcomeChanged(kUpdateFailed);
                Tell(QStringLiteral("Error"), QStringLiteral("Unable to delete table \"%1\".").arg(table),
                    PromptIcon::Warning);
                return;
            }
            emit tableDropped(table);
        });
    });
}

void TableMaintenance::RenameTable(const QString& oldName, const QString& newName)
{
    if (m_busy || newName.isEmpty())
        return;
    const auto failed = [this, oldName, newName] {
        emit outcomeChanged(QStringLiteral("Table rename failed."));
        Tell(QStringLiteral("Error"),
            QStringLiteral("Unable to rename table from \"%1\" to \"%2\"").arg(oldName, newName),
            PromptIcon::Warning);
    };
    if (oldName.contains(QLatin1Char('\'')) || newName.contains(QLatin1Char('\''))) {
        failed();
        return;
    }
    RunStatement(
        QStringLiteral("RENAME TABLE '%1' TO '%2'").arg(oldName, newName), [this, oldName, newName, failed] {
            SetBusy(false);
            if (m_statement.state() != RequestState::Succeeded || m_statement.rowsAffected() != 1) {
                failed();
                return;
            }
            emit outcomeChanged(QStringLiteral("Table rename successful."));
            emit tableRenamed(oldName, newName);
        });
}

void TableMaintenance::ShowCreateTable(const QString& table)
{
    if (m_busy)
        return;
    SetBusy(true);
    m_statement.setDatabasePath(m_window->databasePath());
    m_statement.setPassword(m_window->password());
    m_statement.setSqlToRun(devlink::ContractText(contract::kSchemaAsciiRequest));
    m_then = [this, table] {
        if (m_statement.state() != RequestState::Succeeded) {
            SetBusy(false);
            return;
        }
        auto text = std::make_shared<std::optional<QString>>();
        const QString path = m_statement.databasePath(), password = m_statement.password();
        devlink::DeviceSession::Instance().Start(
            this,
            [text, path, password](
                devlink::RequestContext&) { *text = devlink::ReadAsciiSchema(path, password); },
            [this, text, table](devlink::RequestEnd) {
                SetBusy(false);
                if (text->has_value())
                    OnSchemaRead(table, **text);
            });
    };
    // The agent writes the text into its own file; the answer holds only
    // its status, read afterwards with the file.
    m_statement.RunRequest(true);
}

void TableMaintenance::OnSchemaRead(const QString& table, const QString& text)
{
    QString shown = text;
    if (!table.isEmpty()) {
        shown = CreateTableSection(text, table);
        if (shown.isEmpty()) {
            Tell(QStringLiteral("Error"), QStringLiteral("Unable to retrieve this table's schema."),
                PromptIcon::Warning);
            shown = text;
        }
    }
    const QString folder = ui::LocalTempFolder();
    if (folder.isEmpty())
        return;
    const QString path = WriteSchemaFile(folder, shown);
    if (path.isEmpty()) {
        Tell(QStringLiteral("Error"), QStringLiteral("Could not open this file for writing."),
            PromptIcon::Warning);
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void TableMaintenance::CompactDatabase()
{
    if (m_busy)
        return;
    devlink::PromptRequest question;
    question.caption = QStringLiteral("Quorvane");
    question.text = QStringLiteral(
        "The \"Compact\" function will (sometimes) reduce the size of your SQLCE database.\r\n"
        "This usually takes a minute or two.\r\n\r\n"
        "Do you wish to Compact your database ?\r\n");
    question.icon = PromptIcon::Question;
    question.buttons = PromptButtons::YesNoCancel;
    question.defaultButton = PromptAnswer::No;
    question.owner = m_owner;
    SetBusy(true);
    ui::AskFromWindow(question, this, [this](PromptAnswer answer) {
        if (answer != PromptAnswer::Yes) {
            SetBusy(false);
            return;
        }
        m_compaction.Start(m_window->databasePath(), m_window->password());
    });
}

void TableMaintenance::OnCompacted()
{
    SetBusy(false);
    if (!m_compaction.succeeded()) {
        emit outcomeChanged(QStringLiteral("\"Compact\" failed."));
        Tell(
            QStringLiteral("Error"), QStringLiteral("Unable to compact this database."), PromptIcon::Warning);
        return;
    }
    emit outcomeChanged(QStringLiteral("\"Compact\" successful."));
    Tell(QStringLiteral("Quorvane"),
        devlink::CompactReport(m_compaction.sizeBefore(), m_compaction.sizeAfter()), PromptIcon::Information);
}

void TableMaintenance::ExportGridToText(const ResultsGrid& grid)
{
    auto* dialog = new QFileDialog(m_owner, QString(), QStringLiteral("SQLdata.txt"));
    dialog->setObjectName(QStringLiteral("exportFileDialog"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(QStringLiteral("txt"));
    dialog->setNameFilters({ QStringLiteral("Text files (*.txt)"), QStringLiteral("All Files (*)") });
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    const ResultsGrid* exported = &grid;
    connect(dialog, &QFileDialog::fileSelected, this, [this, exported](const QString& path) {
        if (!WriteGridExport(*exported, path)) {
            Tell(QStringLiteral("Error"), QStringLiteral("Could not open this file for writing."),
                PromptIcon::Warning);
            return;
        }
        Tell(QStringLiteral("Export data."), QStringLiteral("Export file created successfully."),
            PromptIcon::Information);
    });
    dialog->open();
}

} // namespace database
