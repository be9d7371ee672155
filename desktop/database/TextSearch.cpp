#include "desktop/database/TextSearch.h"

#include <QPlainTextEdit>
#include <QTextCursor>

namespace database {
namespace {

// The start of the next match of the state's text in `text` at or after
// `from`; -1 when none.
qsizetype FindFrom(const QString& text, const SearchState& state, qsizetype from)
{
    if (from > text.size())
        return -1;
    return text.indexOf(state.searchText, from, state.ignoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive);
}

QTextCursor Select(QPlainTextEdit* editor, qsizetype at, qsizetype length)
{
    QTextCursor cursor = editor->textCursor();
    cursor.setPosition(int(at));
    cursor.setPosition(int(at + length), QTextCursor::KeepAnchor);
    return cursor;
}

} // namespace

bool SearchStep(QPlainTextEdit* editor, SearchState* state, bool replace)
{
    if (state->searchText.isEmpty())
        return false;
    const QString text = editor->toPlainText();
    qsizetype found = FindFrom(text, *state, state->lastMatch < 0 ? 0 : state->lastMatch + 1);
    if (found < 0)
        found = FindFrom(text, *state, 0);
    if (found < 0)
        return false;
    state->lastMatch = found;
    editor->setFocus();
    QTextCursor cursor = Select(editor, found, state->searchText.size());
    if (replace)
        cursor.insertText(state->replaceText);
    else
        editor->setTextCursor(cursor);
    if (replace)
        editor->setTextCursor(Select(editor, found, state->replaceText.size()));
    return true;
}

int ReplaceAll(QPlainTextEdit* editor, SearchState* state)
{
    if (state->searchText.isEmpty())
        return 0;
    const qsizetype needle = state->searchText.size();
    const qsizetype inserted = state->replaceText.size();
    QString text = editor->toPlainText();
    qsizetype first = FindFrom(text, *state, state->lastMatch < 0 ? 0 : state->lastMatch + 1);
    if (first < 0)
        first = FindFrom(text, *state, 0);
    if (first < 0)
        return 0;
    QTextCursor edit(editor->document());
    edit.beginEditBlock();
    int count = 0;
    qsizetype at = first;
    // First from the run's start to the end, then from the start up to
    // where the run began (which moves as replacements before it change
    // the text's length).
    qsizetype boundary = first;
    bool wrapped = false;
    while (true) {
        edit.setPosition(int(at));
        edit.setPosition(int(at + needle), QTextCursor::KeepAnchor);
        edit.insertText(state->replaceText);
        text.replace(at, needle, state->replaceText);
        ++count;
        state->lastMatch = at;
        if (wrapped)
            boundary += inserted - needle;
        qsizetype next = FindFrom(text, *state, at + inserted);
        if (next < 0 && !wrapped) {
            wrapped = true;
            next = FindFrom(text, *state, 0);
        }
        if (next < 0 || (wrapped && next + needle > boundary))
            break;
        at = next;
    }
    edit.endEditBlock();
    editor->setFocus();
    editor->setTextCursor(Select(editor, state->lastMatch, inserted));
    return count;
}

QString ReplacedText(int count)
{
    return count == 1 ? QStringLiteral("%1 string replaced.").arg(count)
                      : QStringLiteral("%1 strings replaced.").arg(count);
}

} // namespace database
