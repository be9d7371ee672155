#include "desktop/shell/CPreferencesDialog.h"

#include "desktop/settings/SettingsStore.h"
#include "desktop/shell/ExplorerFont.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace shell {
namespace {

QComboBox* Combo(const QStringList& items, const char* name)
{
    auto* combo = new QComboBox;
    combo->setObjectName(QLatin1String(name));
    combo->addItems(items);
    return combo;
}

QCheckBox* Check(const QString& text, const char* name)
{
    auto* box = new QCheckBox(text);
    box->setObjectName(QLatin1String(name));
    return box;
}

} // namespace

CPreferencesDialog::CPreferencesDialog(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("preferencesDialog"));
    setWindowTitle(QStringLiteral("Preferences"));

    m_fontExample = new QLabel;
    m_fontExample->setObjectName(QStringLiteral("fontExample"));
    m_fontExample->setFrameShape(QFrame::StyledPanel);
    m_fontExample->setMinimumHeight(26);
    auto* fontButton = new QPushButton(QStringLiteral("..."));
    fontButton->setObjectName(QStringLiteral("fontButton"));
    fontButton->setFixedWidth(36);
    connect(fontButton, &QPushButton::clicked, this, &CPreferencesDialog::ChooseFont);

    m_copyFilesWhen = Combo(CopyFilesWhenItems(), "copyFilesWhenCombo");
    m_autoInstallCabs = Combo(AutoInstallCabsItems(), "autoInstallCabsCombo");
    m_showFilesizeAs = Combo(ShowFilesizeAsItems(), "showFilesizeAsCombo");

    auto* explorer = new QGroupBox(QStringLiteral(" File Explorer "));
    explorer->setObjectName(QStringLiteral("fileExplorerGroup"));
    auto* grid = new QGridLayout(explorer);
    grid->addWidget(new QLabel(QStringLiteral("Font:")), 0, 0);
    auto* fontLine = new QHBoxLayout;
    fontLine->addWidget(m_fontExample, 1);
    fontLine->addWidget(fontButton);
    grid->addLayout(fontLine, 0, 1);
    grid->setRowMinimumHeight(1, 8);
    grid->addWidget(new QLabel(QStringLiteral("When copying files to the device:")), 2, 0, 1, 2);
    auto* overwrite = new QLabel(QStringLiteral("...if the file already exists, overwrite it:"));
    overwrite->setIndent(16);
    grid->addWidget(overwrite, 3, 0);
    grid->addWidget(m_copyFilesWhen, 3, 1);
    auto* cab = new QLabel(QStringLiteral("...if the file is a .cab file:"));
    cab->setIndent(16);
    grid->addWidget(cab, 4, 0);
    grid->addWidget(m_autoInstallCabs, 4, 1);
    grid->setRowMinimumHeight(5, 8);
    grid->addWidget(new QLabel(QStringLiteral("Display file sizes like this:")), 6, 0);
    grid->addWidget(m_showFilesizeAs, 6, 1);
    grid->setColumnStretch(1, 1);

    m_guestOnly = Check(QStringLiteral("Automatically connect as a Guest account."), "guestOnlyCheck");
    auto* activeSync = new QGroupBox(QStringLiteral(" ActiveSync "));
    activeSync->setObjectName(QStringLiteral("activeSyncGroup"));
    auto* activeSyncLayout = new QVBoxLayout(activeSync);
    activeSyncLayout->addWidget(m_guestOnly);

    m_checkForUpdates = Check(
        QStringLiteral(
            "Automatically connect to the internet to check for new versions when the program starts."),
        "checkForUpdatesCheck");
    m_tellMeAboutUpdates = Check(
        QStringLiteral("Tell me when a new version is available to download."), "tellMeAboutUpdatesCheck");
    m_showTips = Check(QStringLiteral("Show helpful tips"), "showTipsCheck");
    connect(m_checkForUpdates, &QCheckBox::toggled, m_tellMeAboutUpdates, &QWidget::setEnabled);
    auto* tellMe = new QHBoxLayout;
    tellMe->addSpacing(22);
    tellMe->addWidget(m_tellMeAboutUpdates, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CPreferencesDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CPreferencesDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(explorer);
    layout->addWidget(activeSync);
    layout->addSpacing(4);
    layout->addWidget(m_checkForUpdates);
    layout->addLayout(tellMe);
    layout->addWidget(m_showTips);
    layout->addSpacing(6);
    layout->addWidget(buttons);

    Show(LoadPreferences());
}

void CPreferencesDialog::Show(const Preferences& p)
{
    // The example shows the stored font under its stored description; with
    // nothing stored, the font the explorer starts with.
    const QFont font = p.font.value_or(DefaultExplorerFont());
    QString description;
    settings::ReadString(QStringLiteral("FontDescription"), &description);
    m_fontExample->setFont(font);
    m_fontExample->setText(p.font && !description.isEmpty() ? description : FontDescription(font));
    m_copyFilesWhen->setCurrentIndex(int(p.copyFilesWhen));
    m_autoInstallCabs->setCurrentIndex(int(p.autoInstallCabs));
    m_showFilesizeAs->setCurrentIndex(int(p.showFilesizeAs));
    m_guestOnly->setChecked(p.guestOnly);
    m_checkForUpdates->setChecked(p.checkForUpdates);
    m_tellMeAboutUpdates->setChecked(p.tellMeAboutUpdates);
    m_tellMeAboutUpdates->setEnabled(p.checkForUpdates);
    m_showTips->setChecked(p.showTips);
}

Preferences CPreferencesDialog::Chosen() const
{
    Preferences p;
    p.copyFilesWhen = quint32(m_copyFilesWhen->currentIndex());
    p.autoInstallCabs = quint32(m_autoInstallCabs->currentIndex());
    p.showFilesizeAs = quint32(m_showFilesizeAs->currentIndex());
    p.guestOnly = m_guestOnly->isChecked();
    p.checkForUpdates = m_checkForUpdates->isChecked();
    p.tellMeAboutUpdates = m_tellMeAboutUpdates->isChecked();
    p.showTips = m_showTips->isChecked();
    p.font = m_chosenFont;
    return p;
}

void CPreferencesDialog::ChooseFont()
{
    auto* chooser = new QFontDialog(m_chosenFont.value_or(m_fontExample->font()), this);
    chooser->setObjectName(QStringLiteral("fontChooser"));
    chooser->setAttribute(Qt::WA_DeleteOnClose);
    chooser->setOption(QFontDialog::DontUseNativeDialog);
    chooser->setOption(QFontDialog::ScalableFonts);
    connect(chooser, &QFontDialog::fontSelected, this, &CPreferencesDialog::SetChosenFont);
    chooser->open();
}

void CPreferencesDialog::SetChosenFont(const QFont& font)
{
    m_chosenFont = font;
    m_fontExample->setFont(font);
    m_fontExample->setText(FontDescription(font));
}

void CPreferencesDialog::accept()
{
    SavePreferences(Chosen());
    QDialog::accept();
}

} // namespace shell
