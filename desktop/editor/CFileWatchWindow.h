// The built-in text editor ("FileWatchWindow"): a device file's text with
// its name and date, the SQL tidy box, "&Refresh", the menus "&File"
// ("&Save\tF2", "E&xit") and "&Search" ("&Find...\tAlt+F3", "Find
// &Next\tF3", "&Replace..."). It is made once and afterwards only hidden and
// shown again; its FileWatch reads, watches and saves the file.
//
// Threads: window thread only.
#pragma once

#include "desktop/database/TextSearch.h"
#include "desktop/editor/FileWatch.h"

#include <QDialog>

class QAction;
class QCheckBox;
class QLabel;
class QPlainTextEdit;

namespace database {
class CSearchDialog;
}
namespace ui {
class WindowPlacement;
}

namespace editor {

class CFileWatchWindow : public QDialog {
    Q_OBJECT
public:
    explicit CFileWatchWindow(QWidget* parent = nullptr);

    // Loads `devicePath` and shows the window.
    void OpenFile(const QString& devicePath);
    // "&Save" (F2).
    void SaveFile();
    // "&Find..." or "&Replace...".
    void ShowSearch(bool replaceMode);
    // "Find &Next" (F3).
    void FindNext();

    FileWatch* watch() { return &m_watch; }
    QPlainTextEdit* textField() { return m_text; }

    // Escape: closes as "E&xit" does.
    void reject() override;

signals:
    // The user closed the window (it is hidden, not destroyed).
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void HideAfterClose();
    void ShowFileText(bool firstLoad);
    void OnTextChanged();
    void OnExternalChange();
    void SetModified(bool modified);
    void UpdateTitle();

    FileWatch m_watch;
    database::SearchState m_search;
    database::CSearchDialog* m_searchDialog = nullptr;
    QLabel* m_fileName = nullptr;
    QLabel* m_date = nullptr;
    QPlainTextEdit* m_text = nullptr;
    QCheckBox* m_tidy = nullptr;
    QAction* m_findNext = nullptr;
    ui::WindowPlacement* m_placement = nullptr;
    bool m_settingText = false;
    bool m_closeAfterSave = false;
};

} // namespace editor
