#include "desktop/database/CExportDialog.h"

#include "desktop/database/CExportProgress.h"
#include "desktop/link/SchemaTreeModel.h"
#include "desktop/ui/NamedWidgets.h"
#include "desktop/ui/PromptFromWindow.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QStandardPaths>
#include <QTreeView>
#include <QVBoxLayout>

namespace database {

QString ChosenTablesText(int chosen, int total)
{
    if (total == 0)
        return QStringLiteral("No tables exist.");
    if (chosen == total)
        return QStringLiteral("All %1 tables chosen.").arg(total);
    return QStringLiteral("%1 (out of %2) tables chosen.").arg(chosen).arg(total);
}

CExportDialog::CExportDialog(const QStringList& tableNames, const QString& singleTable,
    const QString& databasePath, const QString& databasePassword, QWidget* parent)
    : QDialog(parent)
    , m_databasePath(databasePath)
    , m_databasePassword(databasePassword)
    , m_sources(dbexport::ListOdbcSources())
{
    setObjectName(QStringLiteral("exportDialog"));
    setWindowTitle(QStringLiteral("Export"));
    BuildControls();
    for (const QString& name : tableNames) {
        auto* item = new QStandardItem(name);
        item->setCheckable(true);
        item->setEditable(false);
        item->setCheckState(singleTable.isEmpty() || name == singleTable ? Qt::Checked : Qt::Unchecked);
        m_tables->appendRow(item);
    }
    connect(m_tables, &QStandardItemModel::itemChanged, this, &CExportDialog::UpdateCount);

    const dbexport::ExportSettings saved = dbexport::ReadExportSettings();
    // The file name: the device database's name with the desktop database's
    // extension, in the user's documents folder.
    const QString deviceName = databasePath.section(QLatin1Char('\\'), -1);
    const QString base = QFileInfo(deviceName).completeBaseName();
    m_file->setText(
        QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
            .filePath((base.isEmpty() ? QStringLiteral("SQLdata") : base) + QStringLiteral(".db")));
    for (const dbexport::OdbcSource& source : m_sources)
        m_source->addItem(source.name);
    const int savedSource = m_source->findText(saved.dataSource);
    m_source->setCurrentIndex(savedSource >= 0 ? savedSource : 0);
    m_user->setText(saved.userName);
    m_password->setText(saved.password);
    (saved.toAccess ? m_toFile : m_toOdbc)->setChecked(true);
    (saved.structureOnly ? m_structureOnly : m_withData)->setChecked(true);
    ShowDriver();
    UpdateTarget();
    UpdateCount();
}

void CExportDialog::BuildControls()
{
    auto* layout = new QVBoxLayout(this);

    auto* step1 = new QGroupBox(QStringLiteral("1.  Select the table(s) you wish to export:"));
    auto* tablesLayout = new QGridLayout(step1);
    m_tables = new QStandardItemModel(this);
    m_tables->setHorizontalHeaderLabels({ QStringLiteral("Table name") });
    m_tableList = new QTreeView;
    m_tableList->setObjectName(QStringLiteral("tableList"));
    m_tableList->setRootIsDecorated(false);
    m_tableList->setModel(m_tables);
    tablesLayout->addWidget(m_tableList, 0, 0, 3, 1);
    QPushButton* all = ui::NamedButton(QStringLiteral("Select &All"), "selectAllButton");
    QPushButton* none = ui::NamedButton(QStringLiteral("Select &None"), "selectNoneButton");
    tablesLayout->addWidget(all, 0, 1);
    tablesLayout->addWidget(none, 1, 1);
    m_count = new QLabel;
    m_count->setObjectName(QStringLiteral("countLine"));
    tablesLayout->addWidget(m_count, 3, 0, 1, 2);
    layout->addWidget(step1, 1);
    connect(all, &QPushButton::clicked, this, [this] { TickAll(true); });
    connect(none, &QPushButton::clicked, this, [this] { TickAll(false); });

    auto* step2 = new QGroupBox(QStringLiteral("2.  Where do you want to export to ?"));
    auto* target = new QGridLayout(step2);
    m_toFile = new QRadioButton(QStringLiteral("Export to a Microsoft Access database:"));
    m_toFile->setObjectName(QStringLiteral("toFileButton"));
    target->addWidget(m_toFile, 0, 0, 1, 3);
    target->addWidget(new QLabel(QStringLiteral("Filename:")), 1, 0);
    m_file = new QLineEdit;
    m_file->setObjectName(QStringLiteral("fileBox"));
    target->addWidget(m_file, 1, 1);
    m_browse = ui::NamedButton(QStringLiteral("..."), "browseButton");
    target->addWidget(m_browse, 1, 2);
    m_toOdbc = new QRadioButton(QStringLiteral("Export to an ODBC Data Source:"));
    m_toOdbc->setObjectName(QStringLiteral("toOdbcButton"));
    target->addWidget(m_toOdbc, 2, 0, 1, 3);
    target->addWidget(new QLabel(QStringLiteral("Data source name:")), 3, 0);
    m_source = new QComboBox;
    m_source->setObjectName(QStringLiteral("dataSourceBox"));
    target->addWidget(m_source, 3, 1, 1, 2);
    m_driver = new QLabel;
    m_driver->setObjectName(QStringLiteral("driverLine"));
    target->addWidget(m_driver, 4, 1, 1, 2);
    target->addWidget(new QLabel(QStringLiteral("Username:")), 5, 0);
    m_user = new QLineEdit;
    m_user->setObjectName(QStringLiteral("userBox"));
    target->addWidget(m_user, 5, 1, 1, 2);
    target->addWidget(new QLabel(QStringLiteral("Password:")), 6, 0);
    m_password = new QLineEdit;
    m_password->setObjectName(QStringLiteral("passwordBox"));
    m_password->setEchoMode(QLineEdit::Password);
    target->addWidget(m_password, 6, 1, 1, 2);
    layout->addWidget(step2);
    connect(m_toFile, &QRadioButton::toggled, this, &CExportDialog::UpdateTarget);
    connect(m_source, &QComboBox::currentIndexChanged, this, &CExportDialog::ShowDriver);
    connect(m_browse, &QPushButton::clicked, this, &CExportDialog::BrowseFile);

    auto* step3 = new QGroupBox(QStringLiteral("3.  What do you want to export ?"));
    auto* what = new QVBoxLayout(step3);
    m_withData = new QRadioButton(QStringLiteral("Table structure and data"));
    m_withData->setObjectName(QStringLiteral("withDataButton"));
    m_structureOnly = new QRadioButton(QStringLiteral("Table structure only"));
    m_structureOnly->setObjectName(QStringLiteral("structureOnlyButton"));
    what->addWidget(m_withData);
    what->addWidget(m_structureOnly);
    layout->addWidget(step3);

    auto* step4 = new QHBoxLayout;
    step4->addWidget(new QLabel(QStringLiteral("4.")));
    m_go = ui::NamedButton(QStringLiteral("GO !!"), "goButton");
    step4->addWidget(m_go);
    step4->addStretch(1);
    QPushButton* close = ui::NamedButton(QStringLiteral("Cancel"), "cancelButton");
    step4->addWidget(close);
    layout->addLayout(step4);
    connect(m_go, &QPushButton::clicked, this, &CExportDialog::Go);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    resize(520, 640);
}

void CExportDialog::TickAll(bool ticked)
{
    for (int r = 0; r < m_tables->rowCount(); ++r)
        m_tables->item(r)->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
    UpdateCount();
}

void CExportDialog::UpdateCount()
{
    int chosen = 0;
    for (int r = 0; r < m_tables->rowCount(); ++r)
        chosen += m_tables->item(r)->checkState() == Qt::Checked ? 1 : 0;
    m_count->setText(ChosenTablesText(chosen, m_tables->rowCount()));
    m_go->setEnabled(chosen > 0);
}

void CExportDialog::UpdateTarget()
{
    const bool toFile = m_toFile->isChecked();
    m_file->setEnabled(toFile);
    m_browse->setEnabled(toFile);
    for (QWidget* field : std::initializer_list<QWidget*> { m_source, m_driver, m_user, m_password })
        field->setEnabled(!toFile);
}

void CExportDialog::ShowDriver()
{
    const int i = m_source->currentIndex();
    m_driver->setText(i >= 0 && i < m_sources.size() ? m_sources[i].driverDescription : QString());
}

void CExportDialog::BrowseFile()
{
    auto* dialog = new QFileDialog(
        this, QString(), m_file->text(), QStringLiteral("Database files (*.db);;All Files (*)"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(QStringLiteral("db"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, m_file, &QLineEdit::setText);
    dialog->open();
}

dbexport::ExportRequest CExportDialog::Request() const
{
    dbexport::ExportRequest request;
    for (int r = 0; r < m_tables->rowCount(); ++r) {
        const QStandardItem* item = m_tables->item(r);
        if (item->checkState() == Qt::Checked && item->text() != devlink::kBlankTableName)
            request.tables.append(item->text());
    }
    const int source = m_source->currentIndex();
    // A data source that writes Access files stands for the file named above.
    const bool accessDriver = source >= 0 && source < m_sources.size()
        && dbexport::IsAccessDriver(m_sources[source].driverDescription);
    request.toAccess = m_toFile->isChecked() || accessDriver;
    request.accessFile = QFileInfo(m_file->text()).absoluteFilePath();
    request.dataSource = m_source->currentText();
    request.userName = m_user->text();
    request.password = m_password->text();
    request.structureOnly = m_structureOnly->isChecked();
    request.databasePath = m_databasePath;
    request.databasePassword = m_databasePassword;
    request.existingTable = dbexport::ExistingTable::Ask;
    return request;
}

void CExportDialog::Go()
{
    const dbexport::ExportRequest request = Request();
    dbexport::WriteExportSettings({ m_toFile->isChecked(), request.structureOnly, request.dataSource,
        request.userName, request.password });
    if (!request.toAccess || !QFileInfo::exists(request.accessFile)) {
        StartProgress(request);
        return;
    }
    devlink::PromptRequest question;
    question.caption = QStringLiteral("Warning");
    question.text = dbexport::OverwriteFileQuestion(request.accessFile);
    question.icon = devlink::PromptIcon::Warning;
    question.buttons = devlink::PromptButtons::YesNo;
    question.owner = this;
    m_go->setEnabled(false);
    ui::AskFromWindow(question, this, [this, request](devlink::PromptAnswer answer) {
        m_go->setEnabled(true);
        if (answer == devlink::PromptAnswer::Yes)
            StartProgress(request);
    });
}

void CExportDialog::StartProgress(const dbexport::ExportRequest& request)
{
    hide();
    auto* progress = new CExportProgress(request, parentWidget());
    progress->setAttribute(Qt::WA_DeleteOnClose);
    connect(progress, &QDialog::finished, this, &QDialog::accept);
    progress->open();
}

} // namespace database
