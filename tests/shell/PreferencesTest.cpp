// The Preferences window on the desktop hive: defaults, what OK writes,
// what Cancel leaves alone, and stored values that make no sense.
#include "ShellFixture.h"

#include "desktop/shell/CPreferencesDialog.h"
#include "desktop/shell/ExplorerFont.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QLabel>
#include <QPushButton>

using namespace shelltest;
using namespace windowtest;

namespace {

class PreferencesTest : public ShellTest {
protected:
    shell::CPreferencesDialog* Open()
    {
        auto* dialog = new shell::CPreferencesDialog;
        dialog->show();
        return dialog;
    }
    template <typename T> static T* Control(QWidget* dialog, const char* name)
    {
        T* control = dialog->findChild<T*>(QLatin1String(name));
        EXPECT_TRUE(control) << name;
        return control;
    }
    // Every control away from its default, and the font to DejaVu Serif 12.
    static void ChangeEverything(shell::CPreferencesDialog* dialog)
    {
        Control<QComboBox>(dialog, "copyFilesWhenCombo")->setCurrentIndex(3);
        Control<QComboBox>(dialog, "autoInstallCabsCombo")->setCurrentIndex(1);
        Control<QComboBox>(dialog, "showFilesizeAsCombo")->setCurrentIndex(2);
        Control<QCheckBox>(dialog, "guestOnlyCheck")->setChecked(true);
        Control<QCheckBox>(dialog, "tellMeAboutUpdatesCheck")->setChecked(false);
        Control<QCheckBox>(dialog, "showTipsCheck")->setChecked(false);
        dialog->SetChosenFont(QFont(QStringLiteral("DejaVu Serif"), 12));
    }
    static quint32 Dword(const QString& name, quint32 missing = 99)
    {
        quint32 value = missing;
        settings::ReadDword(name, &value);
        return value;
    }
};

TEST_F(PreferencesTest, AFreshInstallationShowsTheDefaults)
{
    // The main window's start stores the explorer font first.
    const QFont font = shell::LoadExplorerFont();
    EXPECT_EQ(font.pointSize(), 9);
    QString description;
    settings::ReadString(QStringLiteral("FontDescription"), &description);
    EXPECT_EQ(description, font.family() + QStringLiteral(", 9 point"));

    shell::CPreferencesDialog* dialog = Open();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Preferences"));
    EXPECT_EQ(Control<QComboBox>(dialog, "copyFilesWhenCombo")->currentText(), QStringLiteral("Prompt"));
    EXPECT_EQ(
        Control<QComboBox>(dialog, "autoInstallCabsCombo")->currentText(), QStringLiteral("Just copy it"));
    EXPECT_EQ(Control<QComboBox>(dialog, "showFilesizeAsCombo")->currentText(), QStringLiteral("1,234,567"));
    EXPECT_TRUE(Control<QCheckBox>(dialog, "checkForUpdatesCheck")->isChecked());
    EXPECT_TRUE(Control<QCheckBox>(dialog, "tellMeAboutUpdatesCheck")->isChecked());
    EXPECT_TRUE(Control<QCheckBox>(dialog, "tellMeAboutUpdatesCheck")->isEnabled());
    EXPECT_FALSE(Control<QCheckBox>(dialog, "guestOnlyCheck")->isChecked());
    EXPECT_TRUE(Control<QCheckBox>(dialog, "showTipsCheck")->isChecked());
    auto* example = Control<QLabel>(dialog, "fontExample");
    EXPECT_EQ(example->text(), description);
    EXPECT_EQ(example->font().family(), font.family());
}

TEST_F(PreferencesTest, TheUpdateBoxesDependOnEachOtherAtOnce)
{
    shell::CPreferencesDialog* dialog = Open();
    auto* check = Control<QCheckBox>(dialog, "checkForUpdatesCheck");
    auto* tell = Control<QCheckBox>(dialog, "tellMeAboutUpdatesCheck");
    QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(8, check->height() / 2));
    EXPECT_FALSE(check->isChecked());
    EXPECT_FALSE(tell->isEnabled());
    QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(8, check->height() / 2));
    EXPECT_TRUE(tell->isEnabled());
}

TEST_F(PreferencesTest, OkWritesEverySettingAndCancelNothing)
{
    shell::CPreferencesDialog* dialog = Open();
    ChangeEverything(dialog);
    QTest::mouseClick(Control<QPushButton>(dialog, "cancelButton"), Qt::LeftButton);
    EXPECT_EQ(Dword(QStringLiteral("CopyFilesWhen")), 99u) << "Cancel wrote a setting";
    EXPECT_FALSE(shell::ReadExplorerFont()) << "Cancel stored the font chosen meanwhile";

    dialog = Open();
    ChangeEverything(dialog);
    EXPECT_EQ(Control<QLabel>(dialog, "fontExample")->text(), QStringLiteral("DejaVu Serif, 12 point"));
    QTest::mouseClick(Control<QPushButton>(dialog, "okButton"), Qt::LeftButton);

    EXPECT_EQ(Dword(QStringLiteral("CopyFilesWhen")), 3u);
    EXPECT_EQ(Dword(QStringLiteral("AutoInstallCABs")), 1u);
    EXPECT_EQ(Dword(QStringLiteral("ShowFilesizeAs")), 2u);
    EXPECT_EQ(Dword(QStringLiteral("CheckForUpdates")), 1u);
    EXPECT_EQ(Dword(QStringLiteral("TellMeAboutUpdates")), 0u);
    quint32 value = 99;
    settings::ReadDword(reg::HKEY_LOCAL_MACHINE, QStringLiteral("Software\\Microsoft\\Windows CE Services"),
        QStringLiteral("GuestOnly"), &value);
    EXPECT_EQ(value, 1u);
    settings::ReadDword(reg::HKEY_LOCAL_MACHINE, settings::TooltipsKey(), QStringLiteral("HideTips"), &value);
    EXPECT_EQ(value, 1u);
    const std::optional<QFont> stored = shell::ReadExplorerFont();
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->family(), QStringLiteral("DejaVu Serif"));
    QString description;
    settings::ReadString(QStringLiteral("FontDescription"), &description);
    EXPECT_EQ(description, QStringLiteral("DejaVu Serif, 12 point"));

    // The next opening shows what was stored.
    dialog = Open();
    EXPECT_EQ(Control<QComboBox>(dialog, "copyFilesWhenCombo")->currentText(), QStringLiteral("Never"));
    EXPECT_FALSE(Control<QCheckBox>(dialog, "showTipsCheck")->isChecked());
    EXPECT_EQ(Control<QLabel>(dialog, "fontExample")->text(), QStringLiteral("DejaVu Serif, 12 point"));
}

TEST_F(PreferencesTest, TheFontButtonOpensAChooserWhoseChoiceTheExampleShows)
{
    shell::CPreferencesDialog* dialog = Open();
    QTest::mouseClick(Control<QPushButton>(dialog, "fontButton"), Qt::LeftButton);
    auto* chooser = dialog->findChild<QFontDialog*>(QStringLiteral("fontChooser"));
    ASSERT_TRUE(chooser);
    ASSERT_TRUE(WaitFor([&] { return chooser->isVisible(); }));
    chooser->setCurrentFont(QFont(QStringLiteral("DejaVu Sans Mono"), 11));
    chooser->accept();
    EXPECT_EQ(Control<QLabel>(dialog, "fontExample")->text(), QStringLiteral("DejaVu Sans Mono, 11 point"));
}

TEST_F(PreferencesTest, StoredValuesThatMakeNoSenseFallBackToTheDefaults)
{
    settings::WriteDword(QStringLiteral("CopyFilesWhen"), 9);
    settings::WriteDword(QStringLiteral("ShowFilesizeAs"), 0xFFFFFFFF);
    const QByteArray junk = QByteArrayLiteral("\x01\x02 not a font");
    settings::WriteBinary(QStringLiteral("Font"), junk.constData(), quint32(junk.size()));
    shell::CPreferencesDialog* dialog = Open();
    EXPECT_EQ(Control<QComboBox>(dialog, "copyFilesWhenCombo")->currentText(), QStringLiteral("Prompt"));
    EXPECT_EQ(Control<QComboBox>(dialog, "showFilesizeAsCombo")->currentText(), QStringLiteral("1,234,567"));
    EXPECT_FALSE(shell::ReadExplorerFont());
    const QFont font = shell::LoadExplorerFont();
    EXPECT_EQ(font.pointSize(), 9);
    ASSERT_TRUE(shell::ReadExplorerFont()) << "the default font is stored in place of the broken one";
}

} // namespace
