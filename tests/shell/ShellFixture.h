// The fixture of the shell's window tests: the window fixture with the agent
// builds beside the "program" (the build's bin folder), a splash that does
// not fade unless a test wants it to, and a main window whose start-up the
// test follows.
#pragma once

#include "WindowFixture.h"

#include "desktop/settings/SettingsStore.h"
#include "desktop/shell/CMainWindow.h"
#include "desktop/shell/StartupSequence.h"

#include <QStringList>

namespace shelltest {

class ShellTest : public windowtest::WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        setenv("QUORVANE_PROGRAM_DIR", QV_BIN_DIR, 1);
        settings::WriteDword(QStringLiteral("SmellTheFlowers"), 1);
        // The start-up's update check looks on a closed local port, never
        // on the network; the update's own tests serve releases locally.
        settings::WriteString(QStringLiteral("UpdateLocation"), QStringLiteral("http://127.0.0.1:1/"));
    }

    // Opens the main window; its start-up begins 800 ms later.
    shell::CMainWindow* OpenMainWindow()
    {
        m_statuses.clear();
        m_startupFinished = false;
        m_window = new shell::CMainWindow;
        QObject::connect(m_window->startup(), &shell::StartupSequence::statusChanged, m_window,
            [this](const QString& text) { m_statuses.append(text); });
        QObject::connect(m_window->controller(), &shell::MainController::startupFinished, m_window,
            [this] { m_startupFinished = true; });
        m_window->show();
        return m_window;
    }

    bool WaitForStartup()
    {
        return windowtest::WaitFor([this] { return m_startupFinished; }, 90000);
    }

    shell::CMainWindow* m_window = nullptr;
    QStringList m_statuses; // the splash's status lines after the first
    bool m_startupFinished = false;
};

} // namespace shelltest
