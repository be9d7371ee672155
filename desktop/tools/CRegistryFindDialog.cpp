#include "desktop/tools/CRegistryFindDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tools {

CRegistryFindDialog::CRegistryFindDialog(RegistryFind* find, QWidget* parent)
    : QDialog(parent)
    , m_find(find)
{
    setObjectName(QStringLiteral("registryFindDialog"));
    setWindowTitle(QStringLiteral("Find"));
    const FindOptions& last = find->options();
    m_text = new QLineEdit(last.text);
    m_text->setObjectName(QStringLiteral("findText"));
    const auto box = [](const QString& text, const char* name, bool checked) {
        auto* check = new QCheckBox(text);
        check->setObjectName(QString::fromLatin1(name));
        check->setChecked(checked);
        return check;
    };
    m_keys = box(QStringLiteral("&Keys"), "findKeys", last.keys);
    m_values = box(QStringLiteral("&Values"), "findValues", last.values);
    m_data = box(QStringLiteral("&Data"), "findData", last.data);
    m_matchCase = box(QStringLiteral("Match &case"), "matchCase", last.matchCase);
    m_wholeWord = box(QStringLiteral("Match &whole word only"), "wholeWord", last.wholeWord);
    m_status = new QLabel(find->statusText());
    m_status->setObjectName(QStringLiteral("findStatus"));
    m_status->setMinimumWidth(300);
    m_findNext = new QPushButton(QStringLiteral("&Find Next"));
    m_findNext->setObjectName(QStringLiteral("findNextButton"));
    m_findNext->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Cancel"));
    m_cancel->setObjectName(QStringLiteral("findCancelButton"));

    auto* lookAt = new QGroupBox(QStringLiteral("Look at"));
    auto* lookLayout = new QVBoxLayout(lookAt);
    lookLayout->addWidget(m_keys);
    lookLayout->addWidget(m_values);
    lookLayout->addWidget(m_data);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Find what:")), 0, 0);
    grid->addWidget(m_text, 0, 1);
    grid->addWidget(lookAt, 1, 0, 1, 2);
    grid->addWidget(m_matchCase, 2, 0, 1, 2);
    grid->addWidget(m_wholeWord, 3, 0, 1, 2);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_findNext);
    buttons->addWidget(m_cancel);
    buttons->addStretch();
    auto* top = new QHBoxLayout;
    top->addLayout(grid, 1);
    top->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_status);

    connect(m_findNext, &QPushButton::clicked, this, [this] { emit findNextRequested(Options()); });
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        if (m_find->isRunning())
            m_find->Cancel();
        else
            reject();
    });
    connect(m_text, &QLineEdit::textChanged, this, &CRegistryFindDialog::UpdateButtons);
    connect(m_find, &RegistryFind::statusTextChanged, m_status, &QLabel::setText);
    connect(m_find, &RegistryFind::finished, this, &CRegistryFindDialog::UpdateButtons);
    connect(m_find, &RegistryFind::statusTextChanged, this, &CRegistryFindDialog::UpdateButtons);
    UpdateButtons();
}

FindOptions CRegistryFindDialog::Options() const
{
    FindOptions options;
    options.text = m_text->text();
    options.keys = m_keys->isChecked();
    options.values = m_values->isChecked();
    options.data = m_data->isChecked();
    options.matchCase = m_matchCase->isChecked();
    options.wholeWord = m_wholeWord->isChecked();
    return options;
}

void CRegistryFindDialog::UpdateButtons()
{
    m_findNext->setEnabled(!m_text->text().isEmpty() && !m_find->isRunning());
}

} // namespace tools
