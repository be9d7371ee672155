// A SQL script file as statements the agent runs one at a time.
//
// A statement ends at ";" outside quotes ('...', N'...', "..."), bracketed
// names ([...]) and comments, or at a line holding only "GO" (any case).
// Comments ("-- ..." to the end of the line, "/* ... */", which nest) are
// left out of the statements; what remains keeps its line breaks. Empty
// statements are skipped.
//
// Pure functions; safe from any thread.
#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

namespace cli {

struct ScriptStatement {
    QString text; // trimmed, without comments
    int firstLine = 0; // the file's line (from 1) where the statement begins
};

struct ScriptSplit {
    QVector<ScriptStatement> statements;
    // Set when the script cannot be split (an unterminated quote, bracket or
    // comment): what is open, and the line where it began. Nothing runs then.
    QString error;
    int errorLine = 0;
};

// The file's text: UTF-16 (little- or big-endian) when it starts with that
// byte-order mark or looks like UTF-16 without one, else UTF-8 (with or
// without its mark). Empty with *error set when UTF-8 text is malformed.
QString DecodeScriptFile(const QByteArray& bytes, QString* error);

ScriptSplit SplitSqlScript(const QString& text);

} // namespace cli
