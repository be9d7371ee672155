#include "desktop/editor/CFileWatchWindow.h"

#include "desktop/database/CSearchDialog.h"
#include "desktop/database/SqlTidy.h"
#include "desktop/settings/PathText.h"
#include "desktop/ui/NamedWidgets.h"
#include "desktop/ui/PromptFromWindow.h"
#include "desktop/ui/WindowPlacement.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace editor {

CFileWatchWindow::CFileWatchWindow(QWidget* parent)
    : QDialog(parent)
    , m_watch(this)
{
    setObjectName(QStringLiteral("fileWatchWindow"));
    m_watch.setParent(this);
    BuildControls();
    resize(640, 480);
    m_placement = new ui::WindowPlacement(this, QStringLiteral("FileWatchWindow"));
    m_placement->Restore();
    connect(&m_watch, &FileWatch::loaded, this, &CFileWatchWindow::ShowFileText);
    connect(&m_watch, &FileWatch::externalChange, this, &CFileWatchWindow::OnExternalChange);
    connect(&m_watch, &FileWatch::saved, this, [this](bool ok) {
        if (ok)
            SetModified(false);
        if (std::exchange(m_closeAfterSave, false) && ok)
            HideAfterClose();
    });
}

void CFileWatchWindow::BuildControls()
{
    auto* layout = new QVBoxLayout(this);
    auto* menus = new QMenuBar(this);
    QMenu* file = menus->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("&Save\tF2"), this, &CFileWatchWindow::SaveFile);
    file->addAction(QStringLiteral("E&xit"), this, &QWidget::close);
    QMenu* search = menus->addMenu(QStringLiteral("&Search"));
    search->addAction(QStringLiteral("&Find...\tAlt+F3"), this, [this] { ShowSearch(false); });
    m_findNext = search->addAction(QStringLiteral("Find &Next\tF3"), this, &CFileWatchWindow::FindNext);
    search->addAction(QStringLiteral("&Replace..."), this, [this] { ShowSearch(true); });
    m_findNext->setEnabled(false);
    layout->setMenuBar(menus);

    auto* labels = new QGridLayout;
    labels->addWidget(new QLabel(QStringLiteral("Filename:")), 0, 0);
    m_fileName = new QLabel;
    m_fileName->setObjectName(QStringLiteral("fileNameLabel"));
    labels->addWidget(m_fileName, 0, 1);
    labels->addWidget(new QLabel(QStringLiteral("Date/time:")), 1, 0);
    m_date = new QLabel;
    m_date->setObjectName(QStringLiteral("dateLabel"));
    labels->addWidget(m_date, 1, 1);
    labels->setColumnStretch(1, 1);
    layout->addLayout(labels);
    m_text = new QPlainTextEdit;
    m_text->setObjectName(QStringLiteral("editorText"));
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->installEventFilter(this);
    layout->addWidget(m_text, 1);
    auto* bottom = new QHBoxLayout;
    m_tidy = new QCheckBox(QStringLiteral("This in an SQL file, tidy it up for me !"));
    m_tidy->setObjectName(QStringLiteral("tidyBox"));
    bottom->addWidget(m_tidy, 1);
    QPushButton* refresh = ui::NamedButton(QStringLiteral("&Refresh"), "refreshButton");
    refresh->setAutoDefault(false);
    bottom->addWidget(refresh);
    QPushButton* ok = ui::NamedButton(QStringLiteral("OK"), "okButton");
    ok->setAutoDefault(false);
    bottom->addWidget(ok);
    layout->addLayout(bottom);

    connect(refresh, &QPushButton::clicked, &m_watch, &FileWatch::Refresh);
    connect(ok, &QPushButton::clicked, this, &QWidget::close);
    connect(m_text, &QPlainTextEdit::textChanged, this, &CFileWatchWindow::OnTextChanged);
    connect(m_tidy, &QCheckBox::toggled, this, [this] { ShowFileText(false); });
}

void CFileWatchWindow::OpenFile(const QString& devicePath)
{
    m_fileName->setText(devicePath);
    m_date->clear();
    m_text->clear();
    SetModified(false);
    m_watch.Load(devicePath);
    show();
    raise();
    activateWindow();
}

void CFileWatchWindow::ShowFileText(bool firstLoad)
{
    QString text = m_watch.file().text;
    if (firstLoad) {
        const QSignalBlocker blocker(m_tidy);
        m_tidy->setChecked(database::LooksLikeSql(settings::FileNamePart(m_watch.path()), text));
    }
    if (m_tidy->isChecked())
        text = database::TidySql(text);
    const int vertical = m_text->verticalScrollBar()->value();
    const int horizontal = m_text->horizontalScrollBar()->value();
    m_settingText = true;
    m_text->setPlainText(text);
    m_settingText = false;
    if (!firstLoad) {
        m_text->verticalScrollBar()->setValue(vertical);
        m_text->horizontalScrollBar()->setValue(horizontal);
    }
    m_date->setText(m_watch.dateText());
    SetModified(false);
}

void CFileWatchWindow::OnTextChanged()
{
    if (!m_settingText && !m_watch.isModified())
        SetModified(true);
}

void CFileWatchWindow::SetModified(bool modified)
{
    m_watch.SetModified(modified);
    UpdateTitle();
}

void CFileWatchWindow::UpdateTitle()
{
    const QString name = settings::FileNamePart(m_watch.path());
    setWindowTitle(m_watch.isModified() ? QLatin1Char('*') + name : name);
}

void CFileWatchWindow::OnExternalChange()
{
    devlink::PromptRequest question;
    question.caption = QStringLiteral("Quorvane");
    question.text = QStringLiteral("%1 has been changed on the device.\r\n\r\n"
                                   "Do you want to load it again and lose the changes you made here ?")
                        .arg(m_watch.path());
    question.icon = devlink::PromptIcon::Question;
    question.buttons = devlink::PromptButtons::YesNo;
    question.defaultButton = devlink::PromptAnswer::No;
    question.owner = this;
    ui::AskFromWindow(question, this, [this](devlink::PromptAnswer answer) {
        if (answer == devlink::PromptAnswer::Yes) {
            m_watch.SetModified(false);
            m_watch.Refresh();
        }
    });
}

void CFileWatchWindow::SaveFile()
{
    m_watch.Save(m_text->toPlainText());
}

void CFileWatchWindow::ShowSearch(bool replaceMode)
{
    if (!m_searchDialog) {
        m_searchDialog = new database::CSearchDialog(m_text, &m_search, this);
        connect(m_searchDialog, &QDialog::finished, this,
            [this] { m_findNext->setEnabled(!m_search.searchText.isEmpty()); });
    }
    m_searchDialog->ShowMode(replaceMode);
}

void CFileWatchWindow::FindNext()
{
    if (!database::SearchStep(m_text, &m_search, false) && !m_search.searchText.isEmpty())
        ui::TellFromWindow(
            this, QStringLiteral("Search"), QStringLiteral("String not found"), devlink::PromptIcon::None);
}

void CFileWatchWindow::closeEvent(QCloseEvent* event)
{
    event->ignore();
    if (!m_watch.isModified()) {
        HideAfterClose();
        return;
    }
    devlink::PromptRequest question;
    question.caption = QStringLiteral("Save");
    question.text = QStringLiteral("Save changes ?");
    question.icon = devlink::PromptIcon::Question;
    question.buttons = devlink::PromptButtons::YesNoCancel;
    question.owner = this;
    ui::AskFromWindow(question, this, [this](devlink::PromptAnswer answer) {
        if (answer == devlink::PromptAnswer::Cancel)
            return;
        if (answer == devlink::PromptAnswer::Yes) {
            // Hidden only once the save succeeded.
            m_closeAfterSave = true;
            SaveFile();
            return;
        }
        HideAfterClose();
    });
}

void CFileWatchWindow::reject()
{
    // Escape closes like "E&xit": unsaved edits are asked about first.
    close();
}

void CFileWatchWindow::HideAfterClose()
{
    m_watch.Stop();
    hide();
    emit closed();
}

bool CFileWatchWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_text && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F2 && key->modifiers() == Qt::NoModifier) {
            SaveFile();
            return true;
        }
        if (key->key() == Qt::Key_F3 && key->modifiers() == Qt::AltModifier) {
            ShowSearch(false);
            return true;
        }
        if (key->key() == Qt::Key_F3 && key->modifiers() == Qt::NoModifier) {
            if (m_search.searchText.isEmpty())
                ShowSearch(false);
            else
                FindNext();
            return true;
        }
        if (key->key() == Qt::Key_F5 && key->modifiers() == Qt::NoModifier) {
            m_watch.Refresh();
            return true;
        }
        if (key->key() == Qt::Key_Tab && key->modifiers() == Qt::NoModifier) {
            m_text->insertPlainText(QStringLiteral("\t"));
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace editor
