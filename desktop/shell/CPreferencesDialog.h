// The "Preferences" window: how the file explorer shows and copies files,
// its font, whether ActiveSync connects as a guest, and the update and tips
// switches. It shows the settings as they are when it opens (Preferences.h)
// and writes them all back on "OK"; "Cancel" writes nothing, also not a
// font chosen meanwhile. "Tell me when a new version is available to
// download." takes input only while "Automatically connect to the internet
// to check for new versions when the program starts." is checked.
//
// Modal to its parent without a local event loop: accepted() follows "OK"
// once the settings are written.
//
// Threads: window thread only.
#pragma once

#include "desktop/shell/Preferences.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;

namespace shell {

class CPreferencesDialog : public QDialog {
    Q_OBJECT
public:
    explicit CPreferencesDialog(QWidget* parent = nullptr);

    // The record the controls hold now.
    Preferences Chosen() const;
    // The font chooser ("..."); SetChosenFont is what its OK does.
    void ChooseFont();
    void SetChosenFont(const QFont& font);

    void accept() override;

private:
    void Show(const Preferences& preferences);

    QLabel* m_fontExample = nullptr;
    QComboBox* m_copyFilesWhen = nullptr;
    QComboBox* m_autoInstallCabs = nullptr;
    QComboBox* m_showFilesizeAs = nullptr;
    QCheckBox* m_guestOnly = nullptr;
    QCheckBox* m_checkForUpdates = nullptr;
    QCheckBox* m_tellMeAboutUpdates = nullptr;
    QCheckBox* m_showTips = nullptr;
    std::optional<QFont> m_chosenFont; // chosen in this window, not yet stored
};

} // namespace shell
