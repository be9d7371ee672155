#include "desktop/database/CEngineRuntimeDialog.h"

#include "desktop/explorer/CCopyProgressDialog.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/link/DeviceSession.h"
#include "desktop/ui/NamedWidgets.h"
#include "desktop/ui/ProgramPicture.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>

namespace database {
namespace {

QLabel* Explanation(const QString& text, const char* objectName)
{
    auto* label = new QLabel(text);
    label->setObjectName(QLatin1String(objectName));
    label->setWordWrap(true);
    label->setIndent(24);
    return label;
}

QCheckBox* RuntimeBox(const QString& text, const RuntimeChoice& choice, const char* objectName)
{
    auto* box = new QCheckBox(text);
    box->setObjectName(QLatin1String(objectName));
    box->setChecked(choice.checked);
    box->setEnabled(choice.enabled);
    return box;
}

} // namespace

CEngineRuntimeDialog::CEngineRuntimeDialog(RuntimeInstaller* installer, QWidget* parent)
    : QDialog(parent)
    , m_installer(installer)
{
    installer->setParent(this);
    setObjectName(QStringLiteral("engineRuntimeDialog"));
    setWindowTitle(QStringLiteral("Quorvane"));
    setWindowIcon(ui::ProgramIcon());
    const RuntimeWindowTexts& texts = installer->texts();

    auto* status = new QLabel(texts.status);
    status->setObjectName(QStringLiteral("statusText"));
    QFont bold = status->font();
    bold.setBold(true);
    status->setFont(bold);
    status->setWordWrap(true);
    auto* intro = new QLabel(QStringLiteral("In order to open the SQLCE databases on your device, you must "
                                            "install the relevant libraries on your device."));
    intro->setWordWrap(true);
    auto* select = new QLabel(QStringLiteral("Please select the libraries you wish to install:"));

    m_engine20 = RuntimeBox(QStringLiteral("SQLCE 2.0"), texts.engine20, "engine20Box");
    auto* note20 = new QLabel(QStringLiteral("(Compatible with Visual Studio .Net 2003 databases)"));
    m_engine30
        = RuntimeBox(QStringLiteral("SQLCE 3.0     (SQL Server Mobile)"), texts.engine30, "engine30Box");
    auto* note30 = new QLabel(QStringLiteral("(You should only need this if you are planning to use Visual "
                                             "Studio 2005 or \"SQL Server Mobile 2005\" "
                                             "databases)"));
    note30->setWordWrap(true);
    note30->setIndent(24);
    note20->setIndent(24);

    auto* installingLabel = new QLabel(QStringLiteral("Installing:"));
    m_installingFile = new QLabel;
    m_installingFile->setObjectName(QStringLiteral("installingFile"));
    m_statusLine = new QLabel;
    m_statusLine->setObjectName(QStringLiteral("statusLine"));
    m_statusLine->setWordWrap(true);
    m_statusLine->setMinimumHeight(m_statusLine->fontMetrics().height() * 2);

    m_showEachTime = new QCheckBox(QStringLiteral("&Show this warning each time a device connects."));
    m_showEachTime->setObjectName(QStringLiteral("showEachTimeBox"));
    m_showEachTime->setChecked(DisplayWhenDeviceConnects());
    m_showEachTime->setVisible(installer->automatic());
    connect(m_showEachTime, &QCheckBox::clicked, this,
        [this](bool checked) { m_installer->SetDisplayWhenConnects(checked); });

    m_install = ui::NamedButton(QStringLiteral("&Install"), "installButton");
    m_cancel = ui::NamedButton(QStringLiteral("&Cancel"), "cancelButton");
    m_install->setDefault(true);
    m_install->setEnabled(texts.engine20.enabled || texts.engine30.enabled);
    connect(m_install, &QPushButton::clicked, this, [this] {
        m_engine20->setEnabled(false);
        m_engine30->setEnabled(false);
        m_showEachTime->setEnabled(false);
        m_install->setEnabled(false);
        m_cancel->setEnabled(false);
        m_installer->Install(m_engine20->isChecked(), m_engine30->isChecked());
    });
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(installer, &RuntimeInstaller::cancelTextChanged, this, [this] {
        // The countdown replaces the caption; the mnemonic stays for "Cancel".
        const QString text = m_installer->cancelText();
        m_cancel->setText(text == QLatin1String("Cancel") ? QStringLiteral("&Cancel") : text);
    });
    connect(installer, &RuntimeInstaller::progressChanged, this, &CEngineRuntimeDialog::ShowProgress);
    connect(installer, &RuntimeInstaller::closeRequested, this, [this](const QString&) { done(Rejected); });
    connect(installer, &RuntimeInstaller::copyStarted, this, [this](std::shared_ptr<explorer::CopyJob> job) {
        auto* copy = new explorer::CCopyProgressDialog(std::move(job), this);
        copy->setWindowModality(Qt::WindowModal);
        connect(copy, &explorer::CCopyProgressDialog::cancelRequested, m_installer, &RuntimeInstaller::CancelCopy);
        connect(m_installer, &RuntimeInstaller::copyEnded, copy, &explorer::CCopyProgressDialog::Finish);
        copy->show();
    });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(status);
    layout->addWidget(intro);
    layout->addSpacing(6);
    layout->addWidget(select);
    layout->addWidget(m_engine20);
    layout->addWidget(note20);
    layout->addWidget(Explanation(texts.engine20.explanation, "engine20Explanation"));
    layout->addWidget(m_engine30);
    layout->addWidget(note30);
    layout->addWidget(Explanation(texts.engine30.explanation, "engine30Explanation"));
    auto* installing = new QHBoxLayout;
    installing->addWidget(installingLabel);
    installing->addWidget(m_installingFile, 1);
    layout->addLayout(installing);
    layout->addWidget(m_statusLine);
    layout->addWidget(m_showEachTime);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_install);
    buttons->addWidget(m_cancel);
    layout->addLayout(buttons);
    setMinimumWidth(520);
    installer->Start();
}

void CEngineRuntimeDialog::ShowProgress()
{
    m_installingFile->setText(m_installer->installingFile());
    m_statusLine->setText(m_installer->statusLine());
}

void CheckEngineRuntimes(bool manual, QWidget* parent)
{
    struct Answer {
        RuntimePresence presence;
        bool osAtLeast5 = false;
    };
    auto answer = std::make_shared<Answer>();
    QObject* requester = parent ? static_cast<QObject*>(parent) : QCoreApplication::instance();
    QPointer<QWidget> owner(parent);
    devlink::DeviceSession::Instance().Start(
        requester,
        [answer](devlink::RequestContext&) {
            answer->presence = ReadRuntimePresence();
            answer->osAtLeast5 = devlink::DeviceOsAtLeast5();
        },
        [manual, answer, owner](devlink::RequestEnd end) {
            if (end != devlink::RequestEnd::Ran
                || !ShowRuntimeWindow(manual, answer->presence, DisplayWhenDeviceConnects()))
                return;
            auto* installer = new RuntimeInstaller(
                answer->presence, answer->osAtLeast5, !manual, devlink::GetProgramDir());
            auto* dialog = new CEngineRuntimeDialog(installer, owner);
            dialog->setAttribute(Qt::WA_DeleteOnClose);
            dialog->open();
        });
}

} // namespace database
