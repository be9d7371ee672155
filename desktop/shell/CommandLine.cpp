#include "desktop/shell/CommandLine.h"

namespace shell {
namespace {

bool Is(const QString& word, const char* option)
{
    return word.compare(QLatin1String(option), Qt::CaseInsensitive) == 0;
}

void Append(QString* text, const QString& word)
{
    if (!text->isEmpty())
        text->append(QLatin1Char(' '));
    text->append(word);
}

StartRequest Invalid(const QString& why)
{
    StartRequest request;
    request.mode = StartRequest::Mode::Invalid;
    request.error = why;
    return request;
}

} // namespace

StartRequest ParseCommandLine(const QStringList& words)
{
    StartRequest request;
    if (words.isEmpty())
        return request;
    if (words.size() == 1) {
        const QString& word = words.first();
        if (word == QLatin1String("--help")) {
            request.mode = StartRequest::Mode::Help;
            return request;
        }
        if (word == QLatin1String("--version")) {
            request.mode = StartRequest::Mode::Version;
            return request;
        }
        // ActiveSync writes these two itself, always in this case.
        if (word.contains(QLatin1String("-connected"))) {
            request.mode = StartRequest::Mode::Connected;
            return request;
        }
        if (word.contains(QLatin1String("-disconnected"))) {
            request.mode = StartRequest::Mode::Disconnected;
            return request;
        }
        if (word.contains(QLatin1String("-upgrade"), Qt::CaseInsensitive)) {
            request.mode = StartRequest::Mode::Upgrade;
            return request;
        }
        if (word.contains(QLatin1String("-registry"), Qt::CaseInsensitive)) {
            request.mode = StartRequest::Mode::Registry;
            return request;
        }
    }

    bool passwordMode = false;
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString& word = words[i];
        if (Is(word, "-pass") || Is(word, "-password")) {
            passwordMode = true;
            request.passwordGiven = true;
        } else if (Is(word, "-table")) {
            passwordMode = false;
            if (i + 1 >= words.size())
                return Invalid(QStringLiteral("-table needs the name of a table"));
            request.table = words[++i];
        } else if (passwordMode) {
            Append(&request.password, word);
        } else {
            Append(&request.path, word);
        }
    }
    if (request.path.isEmpty())
        return Invalid(QStringLiteral("no device file was named"));
    request.mode = request.path.endsWith(QLatin1String(".sdf"), Qt::CaseInsensitive)
        ? StartRequest::Mode::Database
        : StartRequest::Mode::TextFile;
    return request;
}

QString UsageText(const QString& programName)
{
    return QStringLiteral("Usage: %1 [DEVICE-FILE [-pass PASSWORD...] [-table TABLE]]\n"
                          "       %1 -registry | -connected | -disconnected | -upgrade\n"
                          "\n"
                          "Looks into and changes the databases, files, registry and processes of the\n"
                          "connected device.\n"
                          "\n"
                          "  (nothing)        the main window: the device's files and tools\n"
                          "  DEVICE-FILE      a device database (.sdf) in its own window, or any other\n"
                          "                   device file in the text editor; a path with spaces may be\n"
                          "                   given as several words\n"
                          "  -pass WORDS      the database's password (every word up to -table)\n"
                          "  -table TABLE     open this table of the database\n"
                          "  -registry        the device's registry editor alone\n"
                          "  -connected       tell the running program that the device has connected\n"
                          "  -disconnected    ... or that it has gone\n"
                          "  -upgrade         finish installing a downloaded update\n"
                          "  --help           this text\n"
                          "  --version        the program's version\n"
                          "\n"
                          "QUORVANE_HOME=FOLDER keeps every desktop and device file beneath FOLDER.\n")
        .arg(programName);
}

} // namespace shell
