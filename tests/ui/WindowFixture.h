// Fixtures of the window tests: a QApplication on the offscreen platform for
// the whole run, the device link's fixture (a fresh QUORVANE_HOME, a real
// cedevice when a test starts one, the scripted prompter, short waits), and
// helpers to wait for what the user would see and to find windows.
#pragma once

#include "LinkFixture.h"

#include "desktop/link/DeviceSession.h"

#include <QApplication>
#include <QPointer>
#include <QTest>
#include <QWidget>

#include <functional>

namespace windowtest {

// The application object of the run; QT_QPA_PLATFORM is offscreen unless
// the caller set it.
class WidgetAppEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "window_tests";
        static char* argv[] = { name, nullptr };
        m_app = std::make_unique<QApplication>(argc, argv);
        // The offscreen platform cannot raise or size windows by hint, and
        // says so at every window; nothing here depends on it.
        static const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
                if (!message.startsWith(QLatin1String("This plugin does not support")))
                    previous(type, context, message);
            });
        QApplication::setQuitOnLastWindowClosed(false);
    }
    void TearDown() override { m_app.reset(); }

private:
    std::unique_ptr<QApplication> m_app;
};

// Dispatches events until `condition` holds; false after `milliseconds`.
inline bool WaitFor(const std::function<bool()>& condition, int milliseconds = 30000)
{
    return QTest::qWaitFor(condition, milliseconds);
}

// The shown top-level widget of class T named `objectName`, or null.
template <typename T> T* ShownWindow(const QString& objectName)
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows)
        if (window->isVisible() && window->objectName() == objectName)
            if (T* typed = qobject_cast<T*>(window))
                return typed;
    return nullptr;
}

// Waits for that window; null when it did not appear.
template <typename T> T* WaitForWindow(const QString& objectName, int milliseconds = 30000)
{
    T* found = nullptr;
    WaitFor([&] { return (found = ShownWindow<T>(objectName)) != nullptr; }, milliseconds);
    return found;
}

class WindowTest : public linktest::LinkTest {
protected:
    void TearDown() override
    {
        CloseWindows();
        DrainSession();
        linktest::LinkTest::TearDown();
    }

    // Deletes every top-level window, as closing the program would.
    static void CloseWindows()
    {
        // Windows with a parent go with it; some belong to objects that
        // other windows delete (a completer's popup).
        QList<QPointer<QWidget>> windows;
        for (QWidget* window : QApplication::topLevelWidgets())
            windows.append(window);
        for (const QPointer<QWidget>& window : windows)
            if (window && !window->parentWidget())
                delete window.data();
        QCoreApplication::processEvents();
    }

    // Waits until the device session has run everything queued before now
    // (it runs one request at a time, in order).
    static void DrainSession()
    {
        QObject marker;
        bool reached = false;
        devlink::DeviceSession::Instance().Start(
            &marker, [](devlink::RequestContext&) {}, [&reached](devlink::RequestEnd) { reached = true; });
        EXPECT_TRUE(WaitFor([&] { return reached; }, 120000)) << "the device session did not come back";
    }
};

} // namespace windowtest
