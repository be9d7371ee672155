#include "desktop/database/CResultsGridView.h"

#include "desktop/database/CFilterDialog.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/ui/PromptFromWindow.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QStyledItemDelegate>

#include <functional>

namespace database {
namespace {

// An edit box for text: Enter ends the edit, Shift+Enter starts a new line.
class TextEditBox : public QPlainTextEdit {
public:
    using QPlainTextEdit::QPlainTextEdit;
    void SetOnEnter(std::function<void()> onEnter) { m_onEnter = std::move(onEnter); }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
            && !(event->modifiers() & Qt::ShiftModifier)) {
            m_onEnter();
            return;
        }
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            insertPlainText(QStringLiteral("\n"));
            return;
        }
        QPlainTextEdit::keyPressEvent(event);
    }

private:
    std::function<void()> m_onEnter;
};

QString EditorText(QWidget* editor)
{
    if (auto* box = qobject_cast<QPlainTextEdit*>(editor))
        return box->toPlainText().replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    if (auto* line = qobject_cast<QLineEdit*>(editor))
        return line->text();
    return {};
}

void SelectAll(QWidget* editor)
{
    if (auto* box = qobject_cast<QPlainTextEdit*>(editor))
        box->selectAll();
    else if (auto* line = qobject_cast<QLineEdit*>(editor))
        line->selectAll();
    editor->setFocus();
}

// One line per cell (a line break shows as a mark), and the edit boxes.
class CellDelegate : public QStyledItemDelegate {
public:
    CellDelegate(ResultsGrid* grid, QObject* parent)
        : QStyledItemDelegate(parent)
        , m_grid(grid)
    {
    }

    QWidget* createEditor(
        QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override
    {
        const ColumnKind kind = m_grid->columns()[index.column()].kind;
        QWidget* editor = nullptr;
        if (kind == ColumnKind::Text || kind == ColumnKind::LongText) {
            auto* self = const_cast<CellDelegate*>(this);
            auto* box = new TextEditBox(parent);
            // A plain text box keeps Enter to itself: it ends the edit as a line box's Enter does.
            box->SetOnEnter([self, box] {
                emit self->commitData(box);
                emit self->closeEditor(box, QAbstractItemDelegate::SubmitModelCache);
            });
            box->setLineWrapMode(QPlainTextEdit::NoWrap);
            box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            box->setFrameShape(QFrame::NoFrame);
            editor = box;
        } else {
            editor = new QLineEdit(parent);
        }
        editor->setObjectName(QStringLiteral("cellEditor"));
        return editor;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        QString text = index.data(Qt::EditRole).toString();
        if (auto* box = qobject_cast<QPlainTextEdit*>(editor)) {
            box->setPlainText(text.replace(QLatin1String("\r\n"), QLatin1String("\n")));
            box->selectAll();
        } else if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            line->setText(text);
            line->selectAll();
        }
    }

    void setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const override
    {
        // The view saves through the grid editor (commitData).
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->text.replace(QLatin1String("\r\n"), QStringLiteral(" \u21b5 "));
        option->text.replace(QLatin1Char('\n'), QStringLiteral(" \u21b5 "));
        option->text.replace(QLatin1Char('\t'), QLatin1Char(' '));
        option->textElideMode = Qt::ElideRight;
        option->features &= ~QStyleOptionViewItem::WrapText;
    }

private:
    ResultsGrid* m_grid;
};

} // namespace

CResultsGridView::CResultsGridView(ResultsGrid* grid, GridEditor* editor, QWidget* parent)
    : QTableView(parent)
    , m_grid(grid)
    , m_editor(editor)
{
    setObjectName(QStringLiteral("resultsGrid"));
    setModel(grid);
    setItemDelegate(new CellDelegate(grid, this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::EditKeyPressed);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    setShowGrid(true);
    verticalHeader()->hide();
    // Rows of one height: scrolling 100,000 rows measures none of them.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &CResultsGridView::OnHeaderClicked);
    connect(horizontalHeader(), &QHeaderView::customContextMenuRequested, this,
        &CResultsGridView::ShowHeaderMenu);
    connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        if (!(m_grid->flags(index) & Qt::ItemIsEditable))
            return;
        devlink::DebugOutput(QStringLiteral("OnClick has been called, row %1, column %2.\r\n")
                                 .arg(index.row())
                                 .arg(index.column()));
        edit(index);
    });
}

bool CResultsGridView::CommitEdit()
{
    if (!m_editing.isValid())
        return true;
    QWidget* editor = indexWidget(m_editing);
    if (!editor)
        return true;
    commitData(editor);
    if (m_refused)
        return false;
    closeEditor(editor, QAbstractItemDelegate::NoHint);
    return true;
}

bool CResultsGridView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    const bool opened = QTableView::edit(index, trigger, event);
    if (opened && indexWidget(index))
        m_editing = index;
    return opened;
}

void CResultsGridView::commitData(QWidget* editor)
{
    // Only the open box of the cell being edited saves: a box that is
    // closing (its focus leaving) has said its word already.
    if (!m_editing.isValid() || indexWidget(m_editing) != editor)
        return;
    const QModelIndex index = m_editing;
    const QString refused = m_editor->CommitCell(index.row(), index.column(), EditorText(editor));
    m_refused = !refused.isEmpty();
    if (m_refused) {
        ui::TellFromWindow(window(), QStringLiteral("Error"), refused, devlink::PromptIcon::Warning);
        SelectAll(editor);
    }
}

void CResultsGridView::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    if (m_refused && hint != QAbstractItemDelegate::RevertModelCache) {
        m_refused = false;
        SelectAll(editor);
        return;
    }
    m_refused = false;
    m_editing = QPersistentModelIndex();
    QTableView::closeEditor(editor, hint);
}

void CResultsGridView::contextMenuEvent(QContextMenuEvent* event)
{
    if (!m_grid->isEditable() || m_editor->isBusy())
        return;
    if (!CommitEdit())
        return;
    const QModelIndex index = indexAt(event->pos()); // viewport coordinates
    m_contextRow = index.isValid() ? index.row() : -1;
    if (index.isValid())
        selectRow(index.row());
    delete m_menu;
    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("gridRowMenu"));
    m_menu->setAttribute(Qt::WA_DeleteOnClose);
    m_menu->addAction(QStringLiteral("Add a new row"), this, [this] {
        const int row = m_editor->AddNewRow();
        if (row >= 0)
            scrollTo(m_grid->index(row, 0));
    });
    if (m_contextRow >= 0) {
        const int row = m_contextRow;
        m_menu->addSeparator();
        m_menu->addAction(QStringLiteral("Delete this row"), this, [this, row] { m_editor->DeleteRow(row); });
        m_menu->addSeparator();
        m_menu->addAction(QStringLiteral("Clone this row"), this, [this, row] {
            const int added = m_editor->CloneRow(row);
            if (added >= 0)
                scrollTo(m_grid->index(added, 0));
        });
    }
    m_menu->popup(event->globalPos());
}

void CResultsGridView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F5 && event->modifiers() == Qt::NoModifier) {
        devlink::DebugOutput(QStringLiteral("User hit F5..\r\n"));
        emit reloadRequested();
        return;
    }
    if (event->key() == Qt::Key_R && event->modifiers() == Qt::ControlModifier) {
        emit registryEditorRequested();
        return;
    }
    QTableView::keyPressEvent(event);
}

void CResultsGridView::OnHeaderClicked(int column)
{
    // The first click sorts in the first order, each further click on the
    // same column turns the order round.
    Qt::SortOrder order = Qt::AscendingOrder;
    if (m_grid->sortColumn() == column)
        order = m_grid->sortOrder() == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    m_grid->sort(column, order);
    horizontalHeader()->setSortIndicatorShown(true);
    horizontalHeader()->setSortIndicator(column, order);
}

void CResultsGridView::ShowHeaderMenu(const QPoint& position)
{
    const int column = horizontalHeader()->logicalIndexAt(position);
    if (column < 0)
        return;
    delete m_menu;
    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("gridHeaderMenu"));
    m_menu->setAttribute(Qt::WA_DeleteOnClose);
    m_menu->addAction(QStringLiteral("Filter on \"%1\"").arg(m_grid->columns()[column].name), this,
        [this, column] { OpenFilterDialog(column); });
    m_menu->addSeparator();
    QAction* cancel = m_menu->addAction(QStringLiteral("Cancel filter"), this, [this] {
        m_grid->SetFilter(RowFilter());
        emit filterChanged();
    });
    cancel->setEnabled(m_grid->filter().active());
    m_menu->popup(horizontalHeader()->viewport()->mapToGlobal(position));
}

void CResultsGridView::OpenFilterDialog(int column)
{
    auto* dialog
        = new CFilterDialog(column, m_grid->columns()[column].name, m_grid->DistinctValues(column), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        m_grid->SetFilter(dialog->filter());
        emit filterChanged();
    });
    dialog->open();
}

} // namespace database
