#include "desktop/database/DatabaseWindow.h"

#include "desktop/database/CExportDialog.h"
#include "desktop/database/COpenDatabaseDialog.h"
#include "desktop/database/CResultsGridView.h"
#include "desktop/database/CShortcutBalloon.h"
#include "desktop/database/GridSql.h"
#include "desktop/database/TableMaintenance.h"
#include "desktop/database/TableTreeProxy.h"
#include "desktop/link/AgentContractText.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/link/SchemaTreeModel.h"
#include "desktop/settings/SettingsStore.h"
#include "desktop/ui/PromptFromWindow.h"
#include "desktop/ui/WindowPlacement.h"

#include <QAbstractProxyModel>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace database {
namespace {

using devlink::SchemaTreeModel;

const QString kPromptText = QStringLiteral("<Type in your SQL here.>");
const QString kCustomSql = QStringLiteral("<Custom SQL>");
// The SQL panel's height before the user has chosen one.
constexpr int kFirstPanelHeight = 70;

} // namespace

DatabaseWindow::DatabaseWindow(const QString& tableName, const QString& databasePath, const QString& password,
    bool askPassword, bool tableMode, const QString& initialSql, QWidget* parent)
    : QDialog(parent)
    , m_tableName(tableName)
    , m_askPassword(askPassword)
    , m_tableMode(tableMode)
    , m_grid(this)
    , m_editor(&m_grid, &m_controller, this)
{
    setObjectName(tableMode ? QStringLiteral("databaseTableWindow") : QStringLiteral("databaseWindow"));
    m_controller.setParent(this);
    m_controller.setDatabasePath(databasePath);
    m_controller.setPassword(password);
    m_controller.setTableMode(tableMode);
    m_controller.setSqlToRun(initialSql);
    m_controller.setShown(true);
    m_controller.setPromptOwner(this);
    m_editor.SetPromptOwner(this);
    // The grid keeps the rows itself, in its compact store.
    m_controller.setRowConsumer([this](devlink::QueryResult& part) { m_grid.AppendBatch(part); });
    m_controller.setKeepResultsBytes(false);

    m_maintenance = new TableMaintenance(&m_controller, this);
    BuildControls();
    setWindowTitle(tableMode && tableName != devlink::kBlankTableName
            ? QStringLiteral("%1 - %2").arg(tableName, databasePath)
            : databasePath);
    setSizeGripEnabled(true);
    resize(640, 480);
    m_placement = new ui::WindowPlacement(
        this, tableMode ? QStringLiteral("TableRect") : QStringLiteral("TableListRect"));
    m_placement->Restore();

    QString fraction;
    if (settings::ReadString(QStringLiteral("SQLpercent"), &fraction)) {
        bool ok = false;
        const float value = fraction.trimmed().toFloat(&ok);
        if (ok && value > 0.0f && value < 1.0f)
            m_sqlPanelFraction = value;
    }

    connect(&m_controller, &devlink::RequestController::statusTextChanged, this, &DatabaseWindow::SetStatus);
    connect(&m_controller, &devlink::RequestController::timerTextChanged, m_timer, &QLabel::setText);
    connect(
        &m_controller, &devlink::RequestController::controlsChanged, this, &DatabaseWindow::UpdateControls);
    connect(
        &m_controller, &devlink::RequestController::resultsStarted, this, &DatabaseWindow::OnResultsStarted);
    connect(&m_controller, &devlink::RequestController::requestFinished, this,
        &DatabaseWindow::OnRequestFinished);
    connect(&m_controller, &devlink::RequestController::resultsLoaded, this, [this] {
        if (!m_tableMode && m_tree)
            m_tree->expand(m_tree->model()->index(0, 0));
    });
    connect(&m_editor, &GridEditor::statusTextChanged, this, &DatabaseWindow::SetStatus);
    connect(&m_editor, &GridEditor::outcomeChanged, m_timer, &QLabel::setText);
    connect(&m_editor, &GridEditor::busyChanged, this, &DatabaseWindow::UpdateControls);
    ConnectMaintenance();

    if (m_tableMode) {
        m_tableLabel = tableName == devlink::kBlankTableName ? kCustomSql : tableName;
        m_tableText->setText(m_tableLabel);
        m_grid.SetTableName(tableName);
    }
    if (m_tableMode && m_tableLabel == kCustomSql) {
        m_sqlPanel->setPlainText(kPromptText);
        m_sqlPanel->selectAll();
        m_sqlPanel->setFocus();
        m_promptShown = true;
    } else {
        if (!m_tableMode)
            m_controller.setSqlToRun(devlink::ContractText(contract::kSchemaBinaryRequest));
        QTimer::singleShot(100, this, [this] { RunRequest(); });
    }
    UpdateControls();
}

DatabaseWindow::~DatabaseWindow() = default;

void DatabaseWindow::BuildControls()
{
    auto* layout = new QVBoxLayout(this);
    auto* labels = new QGridLayout;
    labels->addWidget(new QLabel(QStringLiteral("Database:")), 0, 0);
    m_pathLabel = new QLabel(m_controller.databasePath());
    m_pathLabel->setObjectName(QStringLiteral("databasePathLabel"));
    m_pathLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    labels->addWidget(m_pathLabel, 0, 1);
    m_tableCaption = new QLabel(QStringLiteral("Table:"));
    labels->addWidget(m_tableCaption, 1, 0);
    m_tableText = new QLabel;
    m_tableText->setObjectName(QStringLiteral("tableLabel"));
    labels->addWidget(m_tableText, 1, 1);
    labels->setColumnStretch(1, 1);
    layout->addLayout(labels);
    m_tableCaption->setVisible(m_tableMode);
    m_tableText->setVisible(m_tableMode);

    m_splitter = new QSplitter(Qt::Vertical);
    m_splitter->setObjectName(QStringLiteral("sqlSplitter"));
    m_splitter->setChildrenCollapsible(false);
    if (m_tableMode) {
        m_view = new CResultsGridView(&m_grid, &m_editor);
        m_view->installEventFilter(this);
        m_splitter->addWidget(m_view);
        connect(m_view, &CResultsGridView::reloadRequested, this, &DatabaseWindow::ReloadTable);
        connect(m_view, &CResultsGridView::registryEditorRequested, this,
            [this] { AskMainWindow(&DatabaseWindow::registryEditorRequested, m_view); });
        connect(m_view, &CResultsGridView::filterChanged, this, [this] {
            SetStatus(QStringLiteral("Filtering.."));
            const int rows = m_grid.rowCount();
            SetStatus(
                rows == 1 ? QStringLiteral(" 1 row found.") : QStringLiteral(" %1 rows found.").arg(rows));
        });
    } else {
        m_tree = new QTreeView;
        m_tree->setObjectName(QStringLiteral("tableTree"));
        m_tree->setHeaderHidden(true);
        auto* tree = new TableTreeProxy(this);
        tree->setSourceModel(m_controller.schemaModel());
        m_tree->setModel(tree);
        m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
        // A table's label is edited in place to rename the table.
        m_tree->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
        connect(tree, &TableTreeProxy::renameRequested, m_maintenance, &TableMaintenance::RenameTable);
        m_tree->installEventFilter(this);
        m_splitter->addWidget(m_tree);
        connect(m_tree, &QTreeView::customContextMenuRequested, this, &DatabaseWindow::ShowTreeMenu);
        connect(m_tree, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) {
            if (m_connected && !isBusy()
                && index.data(SchemaTreeModel::ItemKindRole).toInt() == int(SchemaTreeModel::ItemKind::Table))
                OpenTable(index.data(SchemaTreeModel::TableNameRole).toString());
        });
    }

    m_sqlArea = new QWidget;
    auto* sqlLayout = new QGridLayout(m_sqlArea);
    sqlLayout->setContentsMargins(0, 0, 0, 0);
    m_sqlLabel = new QLabel(QStringLiteral("SQL:"));
    sqlLayout->addWidget(m_sqlLabel, 0, 0, Qt::AlignTop);
    m_sqlPanel = new QPlainTextEdit;
    m_sqlPanel->setObjectName(QStringLiteral("sqlPanel"));
    m_sqlPanel->installEventFilter(this);
    sqlLayout->addWidget(m_sqlPanel, 0, 1, 2, 1);
    m_go = new QPushButton(QStringLiteral("Go"));
    m_go->setObjectName(QStringLiteral("goButton"));
    m_go->setAutoDefault(false);
    sqlLayout->addWidget(m_go, 0, 2);
    m_cancel = new QPushButton(QStringLiteral("Cancel"));
    m_cancel->setObjectName(QStringLiteral("cancelButton"));
    m_cancel->setAutoDefault(false);
    sqlLayout->addWidget(m_cancel, 1, 2, Qt::AlignTop);
    sqlLayout->setColumnStretch(1, 1);
    m_splitter->addWidget(m_sqlArea);
    m_splitter->setStretchFactor(0, 1);
    m_splitter->setStretchFactor(1, 0);
    m_sqlArea->setMinimumHeight(27);
    m_sqlArea->setVisible(m_tableMode);
    layout->addWidget(m_splitter, 1);
    connect(m_go, &QPushButton::clicked, this, &DatabaseWindow::RunSql);
    connect(m_cancel, &QPushButton::clicked, &m_controller, &devlink::RequestController::Cancel);
    connect(m_sqlPanel, &QPlainTextEdit::textChanged, this, [this] {
        if (m_promptShown && m_sqlPanel->toPlainText() != kPromptText) {
            m_promptShown = false;
            // What was typed replaced the selected prompt; an insertion beside it leaves it behind.
            QString text = m_sqlPanel->toPlainText();
            if (text.contains(kPromptText))
                m_sqlPanel->setPlainText(text.remove(kPromptText));
        }
    });

    auto* statusRow = new QHBoxLayout;
    m_status = new QLabel(QStringLiteral("*Status"));
    m_status->setObjectName(QStringLiteral("statusLine"));
    statusRow->addWidget(m_status, 1);
    m_timer = new QLabel(QStringLiteral("00:00"));
    m_timer->setObjectName(QStringLiteral("timerLabel"));
    statusRow->addWidget(m_timer);
    layout->addLayout(statusRow);

    auto* bottom = new QHBoxLayout;
    m_export = new QPushButton(QStringLiteral("Export..."));
    m_export->setObjectName(QStringLiteral("exportButton"));
    m_export->setAutoDefault(false);
    bottom->addWidget(m_export);
    // Database mode exports tables to a desktop database; table mode writes
    // the grid to a text file.
    connect(m_export, &QPushButton::clicked, this, [this] {
        if (!m_tableMode) {
            OpenExport(QString());
            return;
        }
        if (m_view->CommitEdit())
            m_maintenance->ExportGridToText(m_grid);
    });
    m_keepResults = new QCheckBox(QStringLiteral("Don't delete SQLresults.txt"));
    m_keepResults->setObjectName(QStringLiteral("keepResultsBox"));
    quint32 deleteResults = 1;
    settings::ReadDword(QStringLiteral("DeleteSQLResults"), &deleteResults);
    m_keepResults->setChecked(deleteResults == 0);
    connect(m_keepResults, &QCheckBox::toggled, this,
        [](bool keep) { settings::WriteDword(QStringLiteral("DeleteSQLResults"), keep ? 0 : 1); });
    bottom->addWidget(m_keepResults);
    bottom->addStretch(1);
    m_shortcutTip = new QToolButton;
    m_shortcutTip->setObjectName(QStringLiteral("shortcutTipButton"));
    m_shortcutTip->setIcon(style()->standardIcon(QStyle::SP_MessageBoxInformation));
    m_shortcutTip->setAutoRaise(true);
    m_shortcutTip->setCursor(Qt::PointingHandCursor);
    m_shortcutTip->installEventFilter(this);
    quint32 showTip = 1;
    settings::ReadDword(QStringLiteral("ShowShortcutButton"), &showTip);
    m_shortcutTip->setVisible(showTip == 1);
    connect(m_shortcutTip, &QToolButton::clicked, this, &DatabaseWindow::ShowShortcutTip);
    bottom->addWidget(m_shortcutTip);
    layout->addLayout(bottom);
}

bool DatabaseWindow::isBusy() const
{
    return m_controller.isRunning() || m_editor.isBusy() || m_maintenance->isBusy();
}

void DatabaseWindow::SetStatus(const QString& text)
{
    QString shown = text;
    // Status texts may end in a line break; the line shows one line.
    while (shown.endsWith(QLatin1Char('\n')) || shown.endsWith(QLatin1Char('\r')))
        shown.chop(1);
    m_status->setText(shown);
}

void DatabaseWindow::UpdateControls()
{
    const bool busy = isBusy();
    const bool idle = m_connected && !busy;
    m_go->setEnabled(idle);
    m_sqlPanel->setReadOnly(busy);
    m_sqlPanel->setEnabled(m_connected);
    m_sqlLabel->setEnabled(m_connected);
    m_cancel->setEnabled(m_connected && m_controller.cancelEnabled());
    m_export->setEnabled(m_connected && !busy && m_controller.exportEnabled());
    if (m_tree)
        m_tree->setEnabled(m_connected && !busy);
    if (m_view)
        m_view->setEnabled(m_connected);
}

void DatabaseWindow::RunSql()
{
    if (isBusy() || !m_connected || m_promptShown)
        return;
    if (m_view && !m_view->CommitEdit())
        return;
    m_controller.setSqlToRun(SqlPanelRequest(m_sqlPanel->toPlainText()));
    m_firstAttempt = true;
    RunRequest();
}

void DatabaseWindow::ReloadTable()
{
    if (isBusy() || !m_connected || m_grid.tableName().isEmpty()
        || m_grid.tableName() == devlink::kBlankTableName)
        return;
    m_controller.setSqlToRun(QStringLiteral("SELECT * FROM ") + QuoteTableName(m_grid.tableName()));
    m_firstAttempt = true;
    RunRequest();
}

void DatabaseWindow::RunRequest()
{
    // The first attempt takes a remembered password without asking; a
    // later one (the password was refused) always asks.
    const bool ask = m_askPassword && (m_controller.password().isEmpty() || !m_firstAttempt);
    if (ask && m_firstAttempt) {
        const QString remembered = settings::GetRememberedPassword(m_controller.databasePath());
        if (!remembered.isEmpty()) {
            m_controller.setPassword(remembered);
            StartRequest();
            return;
        }
    }
    if (ask) {
        AskPassword();
        return;
    }
    StartRequest();
}

void DatabaseWindow::AskPassword()
{
    auto* dialog = new COpenDatabaseDialog(m_controller.databasePath(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        m_controller.setPassword(dialog->password());
        StartRequest();
    });
    connect(dialog, &QDialog::rejected, this, [this] { SetStatus(QString()); });
    dialog->open();
}

void DatabaseWindow::StartRequest()
{
    if (m_tableMode) {
        m_grid.SetEditable(false);
        // Each Go shows every row of its answer again.
        if (m_grid.filter().mode != RowFilter::Off)
            m_grid.SetFilter(RowFilter());
    }
    m_controller.RunRequest();
    UpdateControls();
}

void DatabaseWindow::OnResultsStarted()
{
    m_grid.StartAnswer(m_controller.queryResult());
    if (m_view) {
        m_view->horizontalHeader()->setSortIndicatorShown(false);
        m_view->horizontalHeader()->resizeSections(QHeaderView::ResizeToContents);
    }
}

void DatabaseWindow::OnRequestFinished()
{
    if (m_controller.passwordRejected()) {
        m_askPassword = true;
        m_firstAttempt = false;
        RunRequest();
        return;
    }
    m_firstAttempt = true;
    if (m_tableMode && m_controller.state() == devlink::RequestState::Succeeded
        && m_controller.rowsAffected() == -1) {
        QString table;
        const bool single = IsSingleTableSelect(m_controller.sqlToRun(), &table);
        if (single)
            m_grid.SetTableName(table);
        m_grid.SetEditable(single);
        if (m_view) {
            // Columns as wide as their header or the first screen of rows.
            for (int c = 0; c < m_grid.columnCount(); ++c)
                m_view->resizeColumnToContents(c);
        }
    }
    UpdateControls();
}

void DatabaseWindow::ConnectMaintenance()
{
    connect(m_maintenance, &TableMaintenance::busyChanged, this, &DatabaseWindow::UpdateControls);
    connect(m_maintenance, &TableMaintenance::statusTextChanged, this, &DatabaseWindow::SetStatus);
    connect(m_maintenance, &TableMaintenance::outcomeChanged, m_timer, &QLabel::setText);
    connect(
        m_maintenance, &TableMaintenance::tableRenamed, this, [this](const QString& from, const QString& to) {
            m_controller.schemaModel()->RenameTable(from, to);
        });
    connect(m_maintenance, &TableMaintenance::tableDropped, this, [this](const QString& table) {
        SchemaTreeModel* schema = m_controller.schemaModel();
        auto* tree = static_cast<QAbstractProxyModel*>(m_tree->model());
        const QModelIndex gone = tree->mapFromSource(schema->TableIndex(table));
        // The item above the dropped one becomes the selection.
        const QPersistentModelIndex above = gone.row() > 0 ? gone.sibling(gone.row() - 1, 0) : gone.parent();
        schema->RemoveTable(table);
        if (above.isValid())
            m_tree->setCurrentIndex(above);
    });
}

DatabaseWindow* DatabaseWindow::OpenTable(const QString& name)
{
    const QString sql = name == devlink::kBlankTableName
        ? QString()
        : QStringLiteral("SELECT * FROM ") + QuoteTableName(name);
    auto* window = new DatabaseWindow(
        name, m_controller.databasePath(), m_controller.password(), false, true, sql, this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowModality(Qt::WindowModal);
    connect(window, &DatabaseWindow::registryEditorRequested, this, &DatabaseWindow::registryEditorRequested);
    connect(window, &DatabaseWindow::logWindowRequested, this, &DatabaseWindow::logWindowRequested);
    window->show();
    return window;
}

void DatabaseWindow::ShowTreeMenu(const QPoint& position)
{
    const QModelIndex index = m_tree->indexAt(position);
    if (!index.isValid() || !m_connected || isBusy())
        return;
    const auto kind = SchemaTreeModel::ItemKind(index.data(SchemaTreeModel::ItemKindRole).toInt());
    if (kind == SchemaTreeModel::ItemKind::Column)
        return;
    m_tree->setCurrentIndex(index);
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("treeMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    if (kind == SchemaTreeModel::ItemKind::Database) {
        menu->addAction(
            QStringLiteral("Compact this database..."), m_maintenance, &TableMaintenance::CompactDatabase);
        menu->addSeparator();
        menu->addAction(QStringLiteral("Export data to PC..."), this, [this] { OpenExport(QString()); });
        menu->addSeparator();
        menu->addAction(QStringLiteral("View \"CREATE TABLE\" for entire database.."), this,
            [this] { m_maintenance->ShowCreateTable(QString()); });
    } else if (kind == SchemaTreeModel::ItemKind::BlankTable) {
        menu->addAction(
            QStringLiteral("Open database"), this, [this] { OpenTable(devlink::kBlankTableName); });
    } else {
        const QString table = index.data(SchemaTreeModel::TableNameRole).toString();
        menu->addAction(QStringLiteral("Open ") + table, this, [this, table] { OpenTable(table); });
        menu->addAction(QStringLiteral("Open ") + table + QStringLiteral(" in a separate process"), this,
            [this, table] { OpenInSeparateProcess(table); });
        menu->addSeparator();
        menu->addAction(
            QStringLiteral("Export table \"%1\"...").arg(table), this, [this, table] { OpenExport(table); });
        menu->addSeparator();
        menu->addAction(QStringLiteral("Rename table \"%1\"").arg(table), this,
            [this, index = QPersistentModelIndex(index)] { m_tree->edit(index); });
        menu->addSeparator();
        menu->addAction(QStringLiteral("Delete table \"%1\"").arg(table), this,
            [this, table] { m_maintenance->DropTable(table); });
        menu->addSeparator();
        menu->addAction(QStringLiteral("View \"CREATE TABLE\" for %1").arg(table), this,
            [this, table] { m_maintenance->ShowCreateTable(table); });
    }
    menu->popup(m_tree->viewport()->mapToGlobal(position));
}

CExportDialog* DatabaseWindow::OpenExport(const QString& table)
{
    // The dialog lists what the tree shows under the database item.
    QStringList names;
    const QModelIndex database = m_controller.schemaModel()->index(0, 0);
    for (int r = 0; r < m_controller.schemaModel()->rowCount(database); ++r)
        names.append(m_controller.schemaModel()->index(r, 0, database).data().toString());
    auto* dialog
        = new CExportDialog(names, table, m_controller.databasePath(), m_controller.password(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
    return dialog;
}

void DatabaseWindow::OpenInSeparateProcess(const QString& table)
{
    // Arguments travel as a list: no quoting, and a name with spaces stays one word.
    QStringList arguments = { m_controller.databasePath() };
    if (!m_controller.password().isEmpty())
        arguments << QStringLiteral("-pass") << m_controller.password();
    arguments << QStringLiteral("-table") << table;
    devlink::DebugOutput(QStringLiteral("Spawning a new copy of Brackenloft..\r\n"));
    const QString program = devlink::GetProgramPath();
    if (!QProcess::startDetached(program, arguments)) {
        devlink::DebugOutput(QStringLiteral("Couldn't open the file \"%1\"  (3)..\r\n").arg(program));
        ui::TellFromWindow(this, QStringLiteral("Error"), QStringLiteral("Unable to open this file."),
            devlink::PromptIcon::Warning);
    }
}

QString DatabaseWindow::ShortcutLink() const
{
    const QString program = devlink::GetProgramPath();
    if (!m_tableMode)
        return QStringLiteral("\"%1\" %2 -pass <Password>").arg(program, m_controller.databasePath());
    const QString table
        = m_tableName.contains(u' ') ? QLatin1Char('"') + m_tableName + QLatin1Char('"') : m_tableName;
    return QStringLiteral("\"%1\" %2 -pass <Password> -table %3")
        .arg(program, m_controller.databasePath(), table);
}

void DatabaseWindow::ShowShortcutTip()
{
    const QString text = QStringLiteral("<b>Did you know...?</b><br>")
        + (QStringLiteral("You can create a Desktop shortcut to directly open this ")
            + (m_tableMode ? QStringLiteral("table..?") : QStringLiteral(".sdf file..?"))
            + QStringLiteral("\r\n") + QStringLiteral("Simply copy the following link into a Shortcut.\r\n")
            + ShortcutLink()
            + QStringLiteral("\r\n\r\nNote: to do this, you'll need to to replace <Password> with your .sdf "
                             "file's actual password - this is a security risk if your database contains "
                             "sensitive data."))
              .toHtmlEscaped()
              .replace(QLatin1String("\r\n"), QLatin1String("<br>"));
    if (!m_balloon) {
        m_balloon = new CShortcutBalloon(m_shortcutTip);
        // The tip stays only while the setting still asks for it.
        connect(m_balloon, &CShortcutBalloon::closed, this, [this] {
            quint32 showTip = 1;
            settings::ReadDword(QStringLiteral("ShowShortcutButton"), &showTip);
            m_shortcutTip->setVisible(showTip == 1);
        });
    }
    m_balloon->ShowText(text);
}

void DatabaseWindow::AskMainWindow(void (DatabaseWindow::*request)(), QWidget* control)
{
    emit(this->*request)();
    QTimer::singleShot(250, control, [this, control] {
        activateWindow();
        control->setFocus();
    });
}

void DatabaseWindow::OnDeviceDisconnected()
{
    devlink::TraceLine(QStringLiteral("OnActiveSyncDisconnected()\r\n"));
    m_connected = false;
    m_grid.SetDisabledLook(true);
    if (m_tree) {
        QPalette palette = m_tree->palette();
        palette.setColor(QPalette::Base, QColor(200, 200, 200));
        m_tree->setPalette(palette);
    }
    UpdateControls();
    emit deviceDisconnected();
}

void DatabaseWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_splitterApplied) {
        m_splitterApplied = true;
        ApplySplitter();
    }
}

void DatabaseWindow::ApplySplitter()
{
    if (!m_tableMode)
        return;
    const int total = m_splitter->height() - m_splitter->handleWidth();
    int panel = kFirstPanelHeight;
    if (m_sqlPanelFraction > 0.0f)
        panel = qMax(27, int(float(total) * m_sqlPanelFraction));
    m_splitter->setSizes({ qMax(0, total - panel), panel });
}

void DatabaseWindow::SaveSplitter()
{
    if (!m_tableMode)
        return;
    const QList<int> sizes = m_splitter->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    if (total > 0)
        m_sqlPanelFraction = float(sizes.value(1)) / float(total);
    if (m_sqlPanelFraction > 0.0f)
        settings::WriteString(
            QStringLiteral("SQLpercent"), QString::asprintf("%.2f", double(m_sqlPanelFraction)));
}

void DatabaseWindow::closeEvent(QCloseEvent* event)
{
    SaveSplitter();
    m_placement->SaveNow();
    if (m_controller.isRunning())
        m_controller.CloseRequested();
    else
        devlink::TraceLine(QStringLiteral("User has closed this window.\r\n"));
    QDialog::closeEvent(event);
}

bool DatabaseWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_sqlPanel && event->type() == QEvent::FocusIn && m_promptShown
        && static_cast<QFocusEvent*>(event)->reason() == Qt::MouseFocusReason) {
        m_promptShown = false;
        m_sqlPanel->clear();
    }
    if ((watched == m_tree || watched == m_view) && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::ControlModifier && key->key() == Qt::Key_T) {
            AskMainWindow(&DatabaseWindow::logWindowRequested, static_cast<QWidget*>(watched));
            return true;
        }
        if (watched == m_tree && key->modifiers() == Qt::NoModifier && key->key() == Qt::Key_F5) {
            // The tables again, as the device has them now.
            if (m_connected && !isBusy()) {
                m_controller.setSqlToRun(devlink::ContractText(contract::kSchemaBinaryRequest));
                RunRequest();
            }
            return true;
        }
        if (watched == m_tree && key->modifiers() == Qt::ControlModifier && key->key() == Qt::Key_R) {
            AskMainWindow(&DatabaseWindow::registryEditorRequested, m_tree);
            return true;
        }
    }
    if (watched == m_shortcutTip && event->type() == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton && (mouse->modifiers() & Qt::ControlModifier)) {
            emit logWindowRequested();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace database
