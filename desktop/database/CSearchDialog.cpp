#include "desktop/database/CSearchDialog.h"

#include "desktop/ui/NamedWidgets.h"
#include "desktop/ui/PromptFromWindow.h"
#include "desktop/ui/WindowPlacement.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace database {

CSearchDialog::CSearchDialog(QPlainTextEdit* editor, SearchState* state, QWidget* parent)
    : QDialog(parent)
    , m_editor(editor)
    , m_state(state)
{
    setObjectName(QStringLiteral("searchDialog"));
    auto* layout = new QVBoxLayout(this);
    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(QStringLiteral("Search for:")), 0, 0);
    m_searchText = new QLineEdit;
    m_searchText->setObjectName(QStringLiteral("searchText"));
    fields->addWidget(m_searchText, 0, 1);
    m_ignoreCase = new QCheckBox(QStringLiteral("Ignore case"));
    m_ignoreCase->setObjectName(QStringLiteral("ignoreCaseBox"));
    fields->addWidget(m_ignoreCase, 1, 1);
    m_replaceLabel = new QLabel(QStringLiteral("Replace with:"));
    fields->addWidget(m_replaceLabel, 2, 0);
    m_replaceText = new QLineEdit;
    m_replaceText->setObjectName(QStringLiteral("replaceText"));
    fields->addWidget(m_replaceText, 2, 1);
    m_replaceAll = new QCheckBox(QStringLiteral("Replace all"));
    m_replaceAll->setObjectName(QStringLiteral("replaceAllBox"));
    fields->addWidget(m_replaceAll, 3, 1);
    fields->setColumnStretch(1, 1);
    layout->addLayout(fields);
    m_status = new QLabel;
    m_status->setObjectName(QStringLiteral("statusLine"));
    layout->addWidget(m_status);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    QPushButton* search = ui::NamedButton(QStringLiteral("&Search"), "searchButton");
    search->setDefault(true);
    buttons->addWidget(search);
    QPushButton* cancel = ui::NamedButton(QStringLiteral("Cancel"), "cancelButton");
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(search, &QPushButton::clicked, this, &CSearchDialog::Search);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    resize(360, 200);

    m_state->lastMatch = -1;
    m_placement = new ui::WindowPlacement(this, QStringLiteral("SearchWindow"));
    m_placement->Restore();
}

void CSearchDialog::ShowMode(bool replaceMode)
{
    m_replaceMode = replaceMode;
    setWindowTitle(replaceMode ? QStringLiteral("Replace") : QStringLiteral("Search"));
    m_replaceLabel->setEnabled(replaceMode);
    m_replaceText->setEnabled(replaceMode);
    m_replaceAll->setEnabled(replaceMode);
    m_searchText->setText(m_state->searchText);
    m_replaceText->setText(m_state->replaceText);
    m_ignoreCase->setChecked(m_state->ignoreCase);
    show();
    raise();
    activateWindow();
    m_searchText->setFocus();
    m_searchText->selectAll();
}

void CSearchDialog::StoreFields()
{
    m_state->searchText = m_searchText->text();
    m_state->replaceText = m_replaceText->text();
    m_state->ignoreCase = m_ignoreCase->isChecked();
}

void CSearchDialog::Search()
{
    m_status->clear();
    StoreFields();
    bool found = false;
    if (m_replaceMode && m_replaceAll->isChecked()) {
        const int count = ReplaceAll(m_editor, m_state);
        found = count > 0;
        if (found)
            m_status->setText(ReplacedText(count));
    } else {
        found = SearchStep(m_editor, m_state, m_replaceMode);
    }
    if (found && m_replaceMode)
        emit textReplaced();
    if (!found)
        ui::TellFromWindow(
            this, QStringLiteral("Search"), QStringLiteral("String not found"), devlink::PromptIcon::None);
}

void CSearchDialog::hideEvent(QHideEvent* event)
{
    StoreFields();
    QDialog::hideEvent(event);
}

} // namespace database
