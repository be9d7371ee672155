// "Find" of the registry editor: the text, where to look (keys, values,
// data), "Match case" and "Match whole word only"; "Find Next" starts the
// search, which the editor runs (RegistryFind), and "Cancel" stops a
// running one or closes the dialog.
//
// Threads: window thread only.
#pragma once

#include "desktop/tools/RegistryFind.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tools {

class CRegistryFindDialog : public QDialog {
    Q_OBJECT
public:
    CRegistryFindDialog(RegistryFind* find, QWidget* parent = nullptr);

    FindOptions Options() const;

signals:
    void findNextRequested(const FindOptions& options);

private:
    void UpdateButtons();

    RegistryFind* m_find;
    QLineEdit* m_text = nullptr;
    QCheckBox* m_keys = nullptr;
    QCheckBox* m_values = nullptr;
    QCheckBox* m_data = nullptr;
    QCheckBox* m_matchCase = nullptr;
    QCheckBox* m_wholeWord = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_findNext = nullptr;
    QPushButton* m_cancel = nullptr;
};

} // namespace tools
