// Search steps, "Replace all" and the "Search" dialog over a real editor
// control, offscreen.
#include "WindowFixture.h"

#include "desktop/database/CSearchDialog.h"
#include "desktop/database/TextSearch.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

using database::CSearchDialog;
using database::SearchState;

QString Selected(QPlainTextEdit& editor)
{
    return QStringLiteral("%1:%2")
        .arg(editor.textCursor().selectionStart())
        .arg(editor.textCursor().selectedText());
}

TEST(TextSearch, StepsFindEachMatchInTurnAndWrap)
{
    QPlainTextEdit editor(QStringLiteral("abcd abcd"));
    SearchState state;
    state.searchText = QStringLiteral("ABC");
    EXPECT_FALSE(database::SearchStep(&editor, &state, false)) << "case matters unless ignored";
    state.ignoreCase = true;
    ASSERT_TRUE(database::SearchStep(&editor, &state, false));
    EXPECT_EQ(Selected(editor), QStringLiteral("0:abc"));
    ASSERT_TRUE(database::SearchStep(&editor, &state, false));
    EXPECT_EQ(Selected(editor), QStringLiteral("5:abc"));
    ASSERT_TRUE(database::SearchStep(&editor, &state, false));
    EXPECT_EQ(Selected(editor), QStringLiteral("0:abc"));
    state.searchText.clear();
    EXPECT_FALSE(database::SearchStep(&editor, &state, false));
}

TEST(TextSearch, ReplaceAllEndsWhenTheReplacementHoldsTheSearchedText)
{
    QPlainTextEdit editor(QStringLiteral("a-a-a"));
    SearchState state;
    state.searchText = QStringLiteral("a");
    state.replaceText = QStringLiteral("aa");
    EXPECT_EQ(database::ReplaceAll(&editor, &state), 3);
    EXPECT_EQ(editor.toPlainText(), QStringLiteral("aa-aa-aa"));
    // Started past the first match, the run wraps and stops where it began.
    editor.setPlainText(QStringLiteral("xa ya za"));
    state.searchText = QStringLiteral("A");
    state.replaceText = QStringLiteral("Aa");
    state.ignoreCase = true;
    state.lastMatch = 3;
    EXPECT_EQ(database::ReplaceAll(&editor, &state), 3);
    EXPECT_EQ(editor.toPlainText(), QStringLiteral("xAa yAa zAa"));
    // The whole run undoes at once.
    editor.undo();
    EXPECT_EQ(editor.toPlainText(), QStringLiteral("xa ya za"));
}

class SearchDialogTest : public windowtest::WindowTest { };

TEST_F(SearchDialogTest, ReplaceAllReportsTheCountAndAMissReportsNotFound)
{
    QWidget window;
    QPlainTextEdit editor(QStringLiteral("a banana"), &window);
    SearchState state;
    state.searchText = QStringLiteral("an");
    auto* dialog = new CSearchDialog(&editor, &state, &window);
    dialog->ShowMode(false);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Search"));
    EXPECT_FALSE(dialog->findChild<QLineEdit*>(QStringLiteral("replaceText"))->isEnabled());
    EXPECT_EQ(dialog->findChild<QLineEdit*>(QStringLiteral("searchText"))->text(), QStringLiteral("an"));

    dialog->ShowMode(true);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Replace"));
    auto* search = dialog->findChild<QLineEdit*>(QStringLiteral("searchText"));
    search->setText(QStringLiteral("a"));
    QTest::keyClicks(dialog->findChild<QLineEdit*>(QStringLiteral("replaceText")), QStringLiteral("o"));
    dialog->findChild<QCheckBox*>(QStringLiteral("replaceAllBox"))->setChecked(true);
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("searchButton")), Qt::LeftButton);
    EXPECT_EQ(editor.toPlainText(), QStringLiteral("o bonono"));
    EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("statusLine"))->text(),
        QStringLiteral("4 strings replaced."));

    search->setText(QStringLiteral("b"));
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("searchButton")), Qt::LeftButton);
    EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("statusLine"))->text(),
        QStringLiteral("1 string replaced."));

    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("searchButton")), Qt::LeftButton);
    ASSERT_TRUE(windowtest::WaitFor([this] { return m_prompter.Count() == 1; }));
    EXPECT_EQ(m_prompter.Records()[0].caption, QStringLiteral("Search"));
    EXPECT_EQ(m_prompter.Records()[0].text, QStringLiteral("String not found"));
    EXPECT_TRUE(dialog->findChild<QLabel*>(QStringLiteral("statusLine"))->text().isEmpty());

    // Closing hands the fields back to the editor's state.
    dialog->findChild<QLineEdit*>(QStringLiteral("replaceText"))->setText(QStringLiteral("u"));
    dialog->close();
    EXPECT_EQ(state.searchText, QStringLiteral("b"));
    EXPECT_EQ(state.replaceText, QStringLiteral("u"));
}

} // namespace
