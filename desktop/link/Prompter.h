// The prompt interface: every message box and question of the desktop goes
// through one Prompter, so that a window shows it, a test answers it from a
// script and reads back its caption and text, and the command-line program
// prints it and takes a safe answer.
//
// Four kinds of request:
//   - Ask: a message box (caption, text, icon, buttons, default button) that
//     returns the button chosen;
//   - AskOverwrite: the question before a copy replaces a device file, with
//     both files' sizes and times and the "…all" answers;
//   - AskConnectionError: the "Connection error" dialog, which retries the
//     connection by itself on a timer while it is open;
//   - AskSqlError: the SQL error dialog, which shows a failing statement for
//     editing and returns it with the choice of OK or "&Retry";
// and one notice, ShowRunningApplication, that a window shows for three
// seconds and closes by itself, and that a command-line program ignores.
//
// Threads: the link asks from whichever thread it runs on (the window
// thread, or a request's worker thread). Every implementation must accept a
// request from any thread; one that shows widgets moves the request to the
// window thread and blocks the caller until it is answered.
#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

namespace devlink {

enum class PromptIcon { None, Information, Warning, Question, Error };

// The button sets of a message box, in the order they are shown.
enum class PromptButtons {
    Ok,
    OkCancel,
    YesNo,
    YesNoCancel,
    RetryCancel,
    AbortRetryIgnore,
    // "Yes", "Yes to &all", "No", "N&o to all", "&Cancel": one question of
    // many alike, whose "…all" answers stand for the rest.
    YesAllNoAllCancel,
};

// A button of a message box: what Ask returns.
enum class PromptAnswer { Ok, Cancel, Yes, No, Retry, Abort, Ignore, YesToAll, NoToAll };

struct PromptRequest {
    QString caption;
    QString text;
    PromptIcon icon = PromptIcon::None;
    PromptButtons buttons = PromptButtons::Ok;
    // The button that Enter presses; none means the first of the set.
    std::optional<PromptAnswer> defaultButton;
    // The window the box belongs to; null for a box without owner.
    QObject* owner = nullptr;
};

// The "Connection error" dialog: two fixed lines, "&Retry" (default) and
// "Cancel". While it is open it calls tryConnect every retryIntervalMs; when
// that returns true the dialog closes by itself with Connected.
struct ConnectionErrorRequest {
    QString caption;
    QString message; // "Unable to connect to your device."
    QString advice; // "Please make sure your device is connected ..."
    int retryIntervalMs = 5000;
    std::function<bool()> tryConnect;
};

enum class ConnectionErrorAnswer { Retry, Cancel, Connected };

// The SQL error dialog: "An error occurred whilst trying to run the
// following SQL:", the SQL in an editable box, "Error:", "Error code:" and
// "Details:", buttons "OK" and "&Retry". When sqlEditable is false the box
// shows `sql` (the internal-command note) disabled.
struct SqlErrorRequest {
    QString sql;
    QString error;
    QString errorCode;
    QString details;
    bool sqlEditable = true;
    QObject* owner = nullptr;
};

struct SqlErrorAnswer {
    bool retry = false; // "&Retry" rather than "OK"
    QString sql; // the SQL as edited in the dialog
};

// The running-application box: "Running the application:" over the
// program path; it closes itself after three seconds. A reset hides the
// label and shows its own text instead.
struct RunningApplicationNotice {
    QString programPath;
    QString text; // shown instead of the path when not empty
    bool labelHidden = false;
};

// The question before a copy to the device replaces a file: "The file
// "name" already exists in the directory:" over the device folder, the size
// and time of the PC's file and of the device's, the buttons "&Yes",
// "Yes to &all", "&No", "No to all", "&Cancel", and the check box "Always
// overwrite a file on the device, if the server's copy is newer.".
struct OverwriteRequest {
    QString fileName;
    QString deviceDir;
    QString pcSizeText; // empty when the PC's file could not be found
    QString pcTimeText;
    QString deviceSizeText; // empty when the device's file could not be found
    QString deviceTimeText;
    // Focus starts on "&No" (the PC's copy is the older one), else on "&Yes".
    bool focusOnNo = false;
    // Called on the window thread each time the check box changes (the
    // setting is written at once, whatever the answer).
    std::function<void(bool checked)> alwaysOverwriteChanged;
    QObject* owner = nullptr;
};

class Prompter {
public:
    virtual ~Prompter();

    virtual PromptAnswer Ask(const PromptRequest& request) = 0;
    virtual ConnectionErrorAnswer AskConnectionError(const ConnectionErrorRequest& request) = 0;
    virtual SqlErrorAnswer AskSqlError(const SqlErrorRequest& request) = 0;
    // Yes, YesToAll, No, NoToAll or Cancel.
    virtual PromptAnswer AskOverwrite(const OverwriteRequest& request) = 0;
    virtual void ShowRunningApplication(const RunningApplicationNotice& notice) = 0;
};

// The program-wide prompter. Until one is set, a NonInteractivePrompter
// with safe answers is used. The caller keeps ownership; SetPrompter(nullptr)
// returns to the default. Safe from any thread; set it before device work
// starts.
Prompter& CurrentPrompter();
void SetPrompter(Prompter* prompter);

// A message box through the current prompter.
PromptAnswer ShowMessage(const QString& caption, const QString& text, PromptIcon icon = PromptIcon::None,
    PromptButtons buttons = PromptButtons::Ok, QObject* owner = nullptr);

// The buttons of a set, in order; and a button's English name ("Yes").
QList<PromptAnswer> ButtonsOf(PromptButtons buttons);
QString AnswerName(PromptAnswer answer);

// The answer that changes nothing: Cancel when the set has it, else No,
// else Abort, else OK.
PromptAnswer SafeAnswer(PromptButtons buttons);

} // namespace devlink
