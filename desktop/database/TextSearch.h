// Find and replace in an editor's text: the search state the editor keeps
// between uses of its search dialog, one search step, and "Replace all".
//
// A step searches from one character past the last match (from the start
// when there was none), wrapping to the start once; a match is selected in
// the editor, and in replace mode replaced (undoably) by the replacement.
//
// Threads: window thread only.
#pragma once

#include <QString>

class QPlainTextEdit;

namespace database {

struct SearchState {
    QString searchText;
    QString replaceText;
    bool ignoreCase = false;
    // Start of the last match in the editor's text; -1 when none yet.
    qsizetype lastMatch = -1;
};

// One step over `editor`'s text. Returns true when a match was found (and,
// with `replace`, replaced); an empty search text finds nothing. Gives the
// editor the focus on a match.
bool SearchStep(QPlainTextEdit* editor, SearchState* state, bool replace);

// Replaces every match of the text as it stands, starting with the next
// step's match and wrapping once to the start, up to where the run began.
// Text a replacement put in is never searched again, so a replacement that
// holds the searched text ends too. Returns the count replaced; the
// replacements undo as one.
int ReplaceAll(QPlainTextEdit* editor, SearchState* state);

// "%d string replaced." or "%d strings replaced.".
QString ReplacedText(int count);

} // namespace database
