#include "desktop/tools/CRegistryEditor.h"

#include "desktop/settings/SettingsStore.h"
#include "desktop/tools/CRegistryDialogs.h"
#include "desktop/tools/CRegistryFindDialog.h"
#include "desktop/ui/DeviceNoticeEvents.h"
#include "desktop/ui/ProgramPicture.h"
#include "desktop/ui/WindowPlacement.h"

#include <QAbstractItemDelegate>
#include <QAction>
#include <QCloseEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QTreeView>
#include <QVBoxLayout>

namespace tools {
namespace {

const QString kPercentSetting = QStringLiteral("RegistryEditorPercent");

QAction* AddAction(QMenu* menu, const QString& text, const char* name, std::function<void()> run)
{
    QAction* action = menu->addAction(text);
    action->setObjectName(QString::fromLatin1(name));
    QObject::connect(action, &QAction::triggered, menu, [run] { run(); });
    return action;
}

} // namespace

CRegistryEditor::CRegistryEditor(bool standalone, QWidget* parent)
    : QDialog(parent)
    , m_model(this)
    , m_standalone(standalone)
{
    setObjectName(QStringLiteral("registryEditor"));
    setWindowTitle(QStringLiteral("Registry editor"));
    setWindowIcon(ui::ProgramIcon());
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    setSizeGripEnabled(true);

    m_tree = new QTreeView;
    m_tree->setObjectName(QStringLiteral("registryTree"));
    m_tree->setModel(m_model.tree());
    m_tree->setHeaderHidden(true);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);

    m_list = new QTreeView;
    m_list->setObjectName(QStringLiteral("valueList"));
    m_list->setModel(m_model.values());
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::EditKeyPressed);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->setColumnWidth(0, 210);
    m_list->setColumnWidth(1, 130);

    m_splitter = new QSplitter(Qt::Horizontal);
    m_splitter->setObjectName(QStringLiteral("registrySplitter"));
    m_splitter->addWidget(m_tree);
    m_splitter->addWidget(m_list);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({ 250, 450 });

    m_path = new QLineEdit;
    m_path->setObjectName(QStringLiteral("registryPath"));
    m_path->setReadOnly(true);
    m_readOnlyLabel = new QLabel(QStringLiteral("Read-Only"));
    m_readOnlyLabel->setObjectName(QStringLiteral("readOnlyLabel"));
    m_readOnlyLabel->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold"));
    m_status = new QLabel;
    m_status->setObjectName(QStringLiteral("registryStatus"));

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_path, 1);
    bottom->addWidget(m_readOnlyLabel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 0, 6, 6);
    BuildMenu(layout);
    layout->addWidget(m_splitter, 1);
    layout->addLayout(bottom);
    layout->addWidget(m_status);

    connect(m_tree, &QTreeView::expanded, &m_model, &RegistryEditorModel::ExpandKey);
    connect(m_tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
        [this](const QModelIndex& current) { OnTreeSelection(current); });
    connect(
        m_tree, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) { ShowTreeMenu(at); });
    connect(
        m_list, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) { ShowListMenu(at); });
    connect(m_list, &QTreeView::doubleClicked, this,
        [this](const QModelIndex& index) { EditValue(index.row()); });
    connect(m_tree->itemDelegate(), &QAbstractItemDelegate::closeEditor, this, [this] {
        if (m_newKey.isValid())
            m_model.FinishNewKey(std::exchange(m_newKey, QPersistentModelIndex()));
        if (m_renamedKey.isValid()) {
            const QPersistentModelIndex key = std::exchange(m_renamedKey, QPersistentModelIndex());
            if (QStandardItem* item = m_model.tree()->itemFromIndex(key)) {
                item->setEditable(false);
                m_model.RenameKey(key, m_renamedFrom, item->text());
            }
        }
    });
    connect(m_model.values(), &QStandardItemModel::itemChanged, this, [this](QStandardItem* item) {
        // Only a label edit of a named value's row renames it.
        const QString stored = item->data(RegistryEditorModel::ValueNameRole).toString();
        if (item->column() == 0 && item->isEditable() && !stored.isEmpty() && item->text() != stored)
            m_model.RenameValue(item->row(), item->text());
    });

    connect(&m_model, &RegistryEditorModel::registryPathChanged, m_path, &QLineEdit::setText);
    connect(&m_model, &RegistryEditorModel::currentKeyChanged, this, &CRegistryEditor::OnCurrentKeyChanged);
    connect(&m_model, &RegistryEditorModel::expandRequested, m_tree, &QTreeView::expand);
    connect(&m_model, &RegistryEditorModel::editKeyRequested, this, &CRegistryEditor::EditNewKey);
    connect(&m_model, &RegistryEditorModel::deleteValuesConfirmation, this,
        &CRegistryEditor::ConfirmDeleteValues);
    connect(&m_model, &RegistryEditorModel::readOnlyRefused, this, &CRegistryEditor::ShowReadOnly);
    connect(&m_model, &RegistryEditorModel::connectedChanged, this, &CRegistryEditor::OnConnectedChanged);
    connect(&m_model, &RegistryEditorModel::idle, this, [this] {
        if (m_pendingValueSelection.isNull())
            return;
        const QStringList names = m_model.ValueRowNames();
        const QString wanted = std::exchange(m_pendingValueSelection, QString());
        for (int row = 0; row < names.size(); ++row)
            if (m_model.values()
                    ->item(row, 0)
                    ->data(RegistryEditorModel::ValueNameRole)
                    .toString()
                    .compare(wanted, Qt::CaseInsensitive)
                == 0) {
                m_list->setCurrentIndex(m_model.values()->index(row, 0));
                m_list->setFocus();
            }
    });
    connect(&m_find, &RegistryFind::found, this, &CRegistryEditor::OnFound);
    connect(&m_find, &RegistryFind::statusTextChanged, m_status, &QLabel::setText);

    m_tree->installEventFilter(this);
    m_list->installEventFilter(this);

    resize(720, 480);
    (new ui::WindowPlacement(this, QStringLiteral("RegistryEditorWindow")))->Restore();
    m_model.Open();
    m_readOnlyLabel->setVisible(m_model.readOnly());
}

CRegistryEditor::~CRegistryEditor()
{
    m_model.Close();
}

void CRegistryEditor::BuildMenu(QLayout* layout)
{
    auto* bar = new QMenuBar;
    bar->setObjectName(QStringLiteral("registryMenuBar"));
    QMenu* registry = bar->addMenu(QStringLiteral("&Registry"));
    AddAction(registry, QStringLiteral("&Export Key..."), "exportKeyAction", [this] { ExportKey(); });
    AddAction(registry, QStringLiteral("&Import..."), "importAction", [this] { ImportFile(); });
    registry->addSeparator();
    AddAction(registry, QStringLiteral("&Find..."), "findAction", [this] {
        ShowFind();
    })->setShortcut(QKeySequence::Find);
    AddAction(registry, QStringLiteral("Find &Next"), "findNextAction", [this] {
        FindNext();
    })->setShortcut(Qt::Key_F3);
    registry->addSeparator();
    AddAction(registry, QStringLiteral("&Close"), "closeAction", [this] { close(); });
    // The shortcuts work while the menu is closed.
    addActions(registry->actions());
    layout->setMenuBar(bar);
}

void CRegistryEditor::Toggle()
{
    if (isVisible()) {
        hide();
        return;
    }
    show();
    raise();
    activateWindow();
}

void CRegistryEditor::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_splitterRestored)
        return;
    m_splitterRestored = true;
    QString text;
    bool ok = false;
    const double percent = settings::ReadString(kPercentSetting, &text) ? text.toDouble(&ok) : 0.0;
    if (ok && percent > 5 && percent < 95) {
        const int total = m_splitter->width();
        const int left = int(total * percent / 100.0);
        m_splitter->setSizes({ left, total - left });
    }
}

void CRegistryEditor::SaveSplitter()
{
    const QList<int> sizes = m_splitter->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    if (total > 0)
        settings::WriteString(kPercentSetting, QString::asprintf("%.02f", 100.0 * sizes.value(0) / total));
}

void CRegistryEditor::closeEvent(QCloseEvent* event)
{
    SaveSplitter();
    m_model.Close();
    m_find.Cancel();
    QDialog::closeEvent(event);
}

bool CRegistryEditor::event(QEvent* event)
{
    if (event->type() == ui::kDeviceConnectedEvent) {
        OnActiveSyncConnected();
        return true;
    }
    if (event->type() == ui::kDeviceDisconnectedEvent) {
        OnActiveSyncDisconnected();
        return true;
    }
    return QDialog::event(event);
}

bool CRegistryEditor::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || (watched != m_tree && watched != m_list))
        return QDialog::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (watched == m_tree) {
        switch (key->key()) {
        case Qt::Key_F5:
            m_model.Refresh();
            return true;
        case Qt::Key_Delete:
            m_model.DeleteSelectedKey();
            return true;
        case Qt::Key_F2:
            RenameCurrentKey();
            return true;
        case Qt::Key_Right:
            m_model.ExpandKey(m_tree->currentIndex());
            return false;
        default:
            break;
        }
    } else {
        switch (key->key()) {
        case Qt::Key_F5:
            m_model.RefreshValues();
            return true;
        case Qt::Key_Delete:
            m_model.DeleteValues(SelectedValueRows());
            return true;
        case Qt::Key_F2:
            if (!m_model.CheckWritable())
                return true;
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            EditValue(m_list->currentIndex().row());
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CRegistryEditor::OnTreeSelection(const QModelIndex& index)
{
    if (index.isValid() && index != m_model.currentKey())
        m_model.SelectKey(index);
}

void CRegistryEditor::OnCurrentKeyChanged(const QModelIndex& index)
{
    if (m_tree->currentIndex() != index) {
        const QSignalBlocker block(m_tree->selectionModel());
        m_tree->setCurrentIndex(index);
    }
    m_tree->scrollTo(index);
}

void CRegistryEditor::OnConnectedChanged(bool connected)
{
    m_tree->setEnabled(connected);
    m_list->setEnabled(connected);
}

QList<int> CRegistryEditor::SelectedValueRows() const
{
    QList<int> rows;
    for (const QModelIndex& index : m_list->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

QMenu* CRegistryEditor::ShowTreeMenu(const QPoint& position)
{
    const QModelIndex index = m_tree->indexAt(position);
    if (index.isValid() && index != m_model.currentKey())
        m_model.SelectKey(index);
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    AddAction(menu, QStringLiteral("Create new key..."), "newKeyAction", [this] { m_model.CreateNewKey(); });
    AddAction(menu, QStringLiteral("New String value..."), "newStringAction", [this] { NewValue(REG_SZ); });
    AddAction(menu, QStringLiteral("New DWORD value..."), "newDwordAction", [this] { NewValue(REG_DWORD); });
    AddAction(menu, QStringLiteral("New Multi-String value..."), "newMultiAction",
        [this] { NewValue(REG_MULTI_SZ); });
    AddAction(
        menu, QStringLiteral("New Binary value..."), "newBinaryAction", [this] { NewValue(REG_BINARY); });
    AddAction(menu, QStringLiteral("New Expandable String value..."), "newExpandAction",
        [this] { NewValue(REG_EXPAND_SZ); });
    AddAction(menu, QStringLiteral("Delete..."), "deleteKeyAction", [this] { m_model.DeleteSelectedKey(); });
    menu->addSeparator();
    AddAction(menu, QStringLiteral("Export..."), "exportAction", [this] { ExportKey(); });
    AddAction(menu, QStringLiteral("Refresh"), "refreshAction", [this] { m_model.Refresh(); });
    menu->popup(m_tree->viewport()->mapToGlobal(position));
    return menu;
}

QMenu* CRegistryEditor::ShowListMenu(const QPoint& position)
{
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    AddAction(menu, QStringLiteral("New String value"), "newStringAction", [this] { NewValue(REG_SZ); });
    AddAction(menu, QStringLiteral("New DWORD value"), "newDwordAction", [this] { NewValue(REG_DWORD); });
    AddAction(
        menu, QStringLiteral("New Multi-String value"), "newMultiAction", [this] { NewValue(REG_MULTI_SZ); });
    AddAction(menu, QStringLiteral("New Binary value"), "newBinaryAction", [this] { NewValue(REG_BINARY); });
    AddAction(menu, QStringLiteral("New Expandable String value"), "newExpandAction",
        [this] { NewValue(REG_EXPAND_SZ); });
    AddAction(menu, QStringLiteral("Delete..."), "deleteValuesAction",
        [this] { m_model.DeleteValues(SelectedValueRows()); });
    menu->popup(m_list->viewport()->mapToGlobal(position));
    return menu;
}

void CRegistryEditor::EditValue(int row)
{
    QStandardItem* item = m_model.values()->item(row, 0);
    if (!item)
        return;
    auto* dialog
        = new CRegistryEditDialog(&m_model, false, item->data(RegistryEditorModel::ValueNameRole).toString(),
            item->data(RegistryEditorModel::ValueTypeRole).toUInt(),
            item->data(RegistryEditorModel::ValueDataRole).toByteArray(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

void CRegistryEditor::NewValue(DWORD type)
{
    if (!m_model.CheckWritable() || !m_model.currentKey().parent().isValid())
        return;
    auto* dialog = new CRegistryEditDialog(&m_model, true, QString(), type, QByteArray(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

void CRegistryEditor::EditNewKey(const QModelIndex& index)
{
    m_newKey = index;
    m_tree->setCurrentIndex(index);
    m_tree->edit(index);
}

void CRegistryEditor::RenameCurrentKey()
{
    const QModelIndex index = m_tree->currentIndex();
    if (!m_model.CanRenameKey(index))
        return;
    QStandardItem* item = m_model.tree()->itemFromIndex(index);
    m_renamedKey = index;
    m_renamedFrom = item->text();
    item->setEditable(true);
    m_tree->edit(index);
}

void CRegistryEditor::ConfirmDeleteValues(const QList<int>& rows)
{
    auto* dialog = new CDeleteValuesDialog(int(rows.size()), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &CDeleteValuesDialog::answered, this,
        [this, rows](bool yes, bool dontAsk) { m_model.ConfirmDeleteValues(rows, yes, dontAsk); });
    dialog->open();
}

void CRegistryEditor::ShowReadOnly()
{
    auto* dialog = new CRegistryReadOnlyDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

void CRegistryEditor::ExportKey()
{
    if (!m_model.currentKey().parent().isValid())
        return;
    const QString suggested = m_model.registryPath().section(QLatin1Char('\\'), -1) + QStringLiteral(".reg");
    auto* dialog = new QFileDialog(this, QStringLiteral("Export Registry Key"), suggested,
        QStringLiteral("Registry files (*.reg);;All files (*)"));
    dialog->setObjectName(QStringLiteral("exportFileDialog"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(QStringLiteral("reg"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(
        dialog, &QFileDialog::fileSelected, this, [this](const QString& file) { m_model.ExportKey(file); });
    dialog->open();
}

void CRegistryEditor::ImportFile()
{
    if (!m_model.CheckWritable())
        return;
    auto* dialog = new QFileDialog(this, QStringLiteral("Import Registry File"), QString(),
        QStringLiteral("Registry files (*.reg);;All files (*)"));
    dialog->setObjectName(QStringLiteral("importFileDialog"));
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(
        dialog, &QFileDialog::fileSelected, this, [this](const QString& file) { m_model.ImportFile(file); });
    dialog->open();
}

void CRegistryEditor::ShowFind()
{
    auto* dialog = findChild<CRegistryFindDialog*>();
    if (!dialog) {
        dialog = new CRegistryFindDialog(&m_find, this);
        connect(dialog, &CRegistryFindDialog::findNextRequested, this, [this](const FindOptions& options) {
            const QModelIndex current = m_list->currentIndex();
            const QString value = current.isValid() ? m_model.values()
                                                          ->item(current.row(), 0)
                                                          ->data(RegistryEditorModel::ValueNameRole)
                                                          .toString()
                                                    : QString();
            m_find.Start(options, m_model.registryPath(), value);
        });
    }
    dialog->show();
    dialog->raise();
}

void CRegistryEditor::FindNext()
{
    if (m_find.options().text.isEmpty()) {
        ShowFind();
        return;
    }
    const QModelIndex current = m_list->currentIndex();
    const QString value = current.isValid() && m_list->hasFocus()
        ? m_model.values()->item(current.row(), 0)->data(RegistryEditorModel::ValueNameRole).toString()
        : QString();
    m_find.Start(m_find.options(), m_model.registryPath(), value);
}

void CRegistryEditor::OnFound(const QString& keyPath, const QString& valueName)
{
    m_pendingValueSelection = valueName;
    if (valueName.isNull())
        m_tree->setFocus();
    m_list->clearSelection();
    m_model.NavigateToThisRegistryKey(keyPath);
}

} // namespace tools
