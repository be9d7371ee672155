// The desktop program's command line, in its own word grammar (not a
// generic option parser): the words after the program's path decide which
// window opens.
//
//   (no words)                      the main window
//   --help / --version              print and exit (one word, exactly)
//   one word containing "-connected"     tell running instances that the
//   one word containing "-disconnected"  device came or went, then exit
//   one word containing "-upgrade" (any case)   the online update's hand-over
//   one word containing "-registry" (any case)  the registry editor alone
//   otherwise a device file path, with "-pass"/"-password" and "-table":
//     "-pass" or "-password" (any case) starts password mode, in which every
//     following plain word is added to the password (joined by one space)
//     until "-table"; "-table" takes exactly the next word as the table name;
//     every other word is added to the path, joined by one space (so a path
//     with spaces given as several words comes back whole). A path ending in
//     ".sdf" (any case) is a database, any other path a file for the text
//     editor.
//
// Pure functions, safe from any thread.
#pragma once

#include <QString>
#include <QStringList>

namespace shell {

struct StartRequest {
    enum class Mode {
        MainWindow,
        Help,
        Version,
        Connected,
        Disconnected,
        Upgrade,
        Registry,
        Database,
        TextFile,
        Invalid, // `error` says why
    };
    Mode mode = Mode::MainWindow;
    QString path; // Database, TextFile
    QString password; // Database
    bool passwordGiven = false; // "-pass" was among the words
    QString table; // Database, when "-table" named one
    QString error; // Invalid
};

// The request of the words after the program path.
StartRequest ParseCommandLine(const QStringList& words);

// What --help prints.
QString UsageText(const QString& programName);

} // namespace shell
