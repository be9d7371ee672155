// The two reset confirmations: the texts of each mode, the hard-reset
// button that waits five seconds, the rules of the second window, and the
// advice that cancels both windows.
#include "WindowFixture.h"

#include "desktop/tools/CHardResetDialog.h"
#include "desktop/tools/CResetDialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

using namespace windowtest;

namespace {

class ResetWindowsTest : public WindowTest {
protected:
    template <typename T> T* Child(QWidget* window, const char* name)
    {
        T* child = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_TRUE(child) << name;
        return child;
    }

    // The first window in hard mode, its wait over, and the second window.
    tools::CHardResetDialog* OpenSecondWindow(tools::CResetDialog* first)
    {
        auto* deleteAll = Child<QPushButton>(first, "deleteAllButton");
        EXPECT_TRUE(
            WaitFor([&] { return deleteAll->isEnabled(); }, tools::CResetDialog::kDeleteAllDelayMs * 4));
        QTest::mouseClick(deleteAll, Qt::LeftButton);
        return first->secondDialog();
    }
};

TEST_F(ResetWindowsTest, TheSoftResetWindowAsksWithYesNoAndCancel)
{
    tools::CResetDialog first(false);
    first.show();
    EXPECT_EQ(first.windowTitle(), QStringLiteral("Reset your device"));
    EXPECT_EQ(Child<QLabel>(&first, "titleLine")->text(), QStringLiteral("Soft-Reset this device."));
    EXPECT_EQ(Child<QLabel>(&first, "warningLine")->text(),
        QStringLiteral("This might result in data being deleted on your device."));
    EXPECT_EQ(Child<QLabel>(&first, "warningText")->text(),
        QStringLiteral(
            "If you have any applications running on your device, whose data hasn't been saved, "
            "this data will be permanently lost.\n\nAre you SURE you wish to soft-reset your device ?"));
    EXPECT_EQ(Child<QLabel>(&first, "noteLine")->text(),
        QStringLiteral("Note:  This Soft/Hard reset function does NOT work on all devices."));
    EXPECT_FALSE(Child<QPushButton>(&first, "deleteAllButton")->isVisible());
    QTest::mouseClick(Child<QPushButton>(&first, "yesButton"), Qt::LeftButton);
    EXPECT_EQ(first.result(), QDialog::Accepted);
}

TEST_F(ResetWindowsTest, TheHardResetButtonWaitsAndTheSecondWindowAllowsYesOnlyForDeleteAllTicked)
{
    tools::CResetDialog first(true);
    first.show();
    EXPECT_EQ(Child<QLabel>(&first, "warningLine")->text(),
        QStringLiteral("This WILL delete ALL OF YOUR DATA on your device."));
    EXPECT_FALSE(Child<QPushButton>(&first, "yesButton")->isVisible());
    auto* deleteAll = Child<QPushButton>(&first, "deleteAllButton");
    EXPECT_EQ(deleteAll->text(), QStringLiteral("&Yes, I want to delete all of the data\non my device."));
    // Pressed at once it does nothing.
    EXPECT_FALSE(deleteAll->isEnabled());
    QTest::mouseClick(deleteAll, Qt::LeftButton);
    EXPECT_FALSE(first.secondDialog());

    tools::CHardResetDialog* second = OpenSecondWindow(&first);
    ASSERT_TRUE(second);
    ASSERT_TRUE(WaitFor([&] { return second->isVisible(); }));
    auto* deleteRadio = Child<QRadioButton>(second, "deleteAllRadio");
    auto* tick = Child<QCheckBox>(second, "noValueCheckBox");
    auto* yes = Child<QPushButton>(second, "yesButton");
    for (QRadioButton* radio : second->findChildren<QRadioButton*>())
        EXPECT_FALSE(radio->isChecked());
    EXPECT_FALSE(tick->isEnabled());
    EXPECT_FALSE(yes->isEnabled());
    QTest::mouseClick(tick, Qt::LeftButton);
    EXPECT_FALSE(tick->isChecked());
    EXPECT_FALSE(yes->isEnabled());

    QTest::mouseClick(deleteRadio, Qt::LeftButton);
    EXPECT_TRUE(tick->isEnabled());
    EXPECT_FALSE(yes->isEnabled());
    QTest::mouseClick(tick, Qt::LeftButton);
    EXPECT_TRUE(yes->isEnabled());
    QTest::mouseClick(tick, Qt::LeftButton);
    EXPECT_FALSE(yes->isEnabled());
    QTest::mouseClick(tick, Qt::LeftButton);
    QTest::mouseClick(yes, Qt::LeftButton);
    EXPECT_EQ(first.result(), QDialog::Accepted);
    EXPECT_FALSE(first.isVisible());
    EXPECT_EQ(m_prompter.Count(), 0);
}

TEST_F(ResetWindowsTest, TheOtherChoicesExplainAndCancelBothWindows)
{
    for (const char* choice : { "softResetRadio", "notSureRadio" }) {
        m_prompter.Clear();
        tools::CResetDialog first(true);
        first.show();
        tools::CHardResetDialog* second = OpenSecondWindow(&first);
        ASSERT_TRUE(second);
        ASSERT_TRUE(WaitFor([&] { return second->isVisible(); }));
        // On its indicator: a short text leaves the middle of the row empty.
        auto* radio = Child<QRadioButton>(second, choice);
        QTest::mouseClick(radio, Qt::LeftButton, {}, QPoint(8, radio->height() / 2));
        ASSERT_TRUE(WaitFor([&] { return m_prompter.Count() == 1 && !first.isVisible(); }, 3000))
            << choice << " count " << m_prompter.Count() << " visible " << first.isVisible() << " checked "
            << Child<QRadioButton>(second, choice)->isChecked();
        EXPECT_EQ(first.result(), QDialog::Rejected);
        const auto box = m_prompter.Records()[0];
        EXPECT_EQ(box.caption, QStringLiteral("Quorvane"));
        EXPECT_EQ(box.icon, devlink::PromptIcon::Information);
        EXPECT_EQ(box.text,
            QLatin1String(choice) == QLatin1String("softResetRadio")
                ? tools::CHardResetDialog::SoftResetAdvice()
                : tools::CHardResetDialog::NotSureAdvice());
    }
    EXPECT_TRUE(tools::CHardResetDialog::SoftResetAdvice().startsWith(
        QStringLiteral("You need to SOFT-Reset your device, rather than Hard-Reseting it.\r\n")));
}

} // namespace
