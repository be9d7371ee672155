// The "Search" dialog of the built-in editor: finds text in the editor and,
// opened for replacing, replaces it, one match per "&Search" or all at once.
// Modeless; the editor window makes it on first use and keeps it. It reads
// the editor's search state each time it is shown and hands its fields back
// when it closes. Its rectangle is kept under "SearchWindow".
//
// Threads: window thread only.
#pragma once

#include "desktop/database/TextSearch.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace ui {
class WindowPlacement;
}

namespace database {

class CSearchDialog : public QDialog {
    Q_OBJECT
public:
    // `editor` and `state` outlive the dialog (the editor window owns all
    // three).
    CSearchDialog(QPlainTextEdit* editor, SearchState* state, QWidget* parent);

    // Shows the dialog in search mode ("Search") or replace mode
    // ("Replace"), its fields taken from the state.
    void ShowMode(bool replaceMode);

    // "&Search": one step, or every match with "Replace all" ticked.
    void Search();

signals:
    // A match was replaced: the editor's text changed.
    void textReplaced();

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void StoreFields();

    QPlainTextEdit* m_editor;
    SearchState* m_state;
    bool m_replaceMode = false;
    QLineEdit* m_searchText = nullptr;
    QCheckBox* m_ignoreCase = nullptr;
    QLabel* m_replaceLabel = nullptr;
    QLineEdit* m_replaceText = nullptr;
    QCheckBox* m_replaceAll = nullptr;
    QLabel* m_status = nullptr;
    ui::WindowPlacement* m_placement = nullptr;
};

} // namespace database
