// Fixture of the tests that run real device programs: the agent builds and
// the stopper from the build's bin folder deployed through the link, or a
// test program in their place. Skips when the device host cannot start
// device programs.
#pragma once

#include "LinkFixture.h"

#include "desktop/link/AgentDeployment.h"
#include "desktop/link/AgentInvocation.h"
#include "desktop/link/RequestController.h"

#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <thread>

namespace linktest {

class AgentTest : public LinkTest {
protected:
    void SetUp() override
    {
        LinkTest::SetUp();
        setenv("QUORVANE_PROGRAM_DIR", QV_BIN_DIR, 1);
        StartAndConnect(Profile());
        ASSERT_TRUE(devlink::DeployAgentFiles()) << Prompts();
        PROCESS_INFORMATION info {};
        if (!CeCreateProcess(u"\\Quorvane\\Quorvane2005.exe", u"-test", nullptr, nullptr, FALSE, 0, nullptr,
                nullptr, nullptr, &info)) {
            if (CeGetLastError() == ERROR_NOT_SUPPORTED)
                GTEST_SKIP() << "this cedevice cannot start device programs";
            FAIL() << "the agent does not start: " << CeGetLastError();
        }
        ASSERT_TRUE(WaitForStatus(QStringLiteral("Done.")));
        Device().CeCreateDirectory(u"\\My Documents", nullptr);
    }

    virtual std::string Profile() const { return "pocketpc"; }

    // Every prompt so far, for failure messages.
    std::string Prompts() const
    {
        std::string out;
        for (const auto& record : m_prompter.Records())
            out += "[" + record.caption.toStdString() + "] " + record.text.toStdString() + "\n";
        return out;
    }

    bool WaitForStatus(const QString& status, int milliseconds = 20000)
    {
        for (int waited = 0; waited < milliseconds; waited += 20) {
            if (devlink::ReadAgentRegString(QStringLiteral("Status")) == status)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    // One request through a shown controller, as a window runs it.
    std::unique_ptr<devlink::RequestController> Run(const QString& database, const QString& sql,
        const QString& password = QString(), bool tableMode = true)
    {
        auto controller = std::make_unique<devlink::RequestController>();
        controller->setDatabasePath(database);
        controller->setPassword(password);
        controller->setSqlToRun(sql);
        controller->setTableMode(tableMode);
        controller->setShown(true);
        devlink::RunRequestAndWait(*controller);
        return controller;
    }

    // Runs statements that must succeed.
    void Exec(const QString& database, const QStringList& statements, const QString& password = QString())
    {
        for (const QString& sql : statements) {
            auto c = Run(database, sql, password);
            ASSERT_EQ(c->state(), devlink::RequestState::Succeeded)
                << sql.toStdString() << ": " << c->statusText().toStdString() << "\n"
                << Prompts();
        }
    }

    // A new database made by the agent of `engine` (2 or 3). The engine
    // setting is left as `remembered` (-1: forgotten).
    void CreateDatabase(
        const QString& database, int engine, const QString& password = QString(), int remembered = -1)
    {
        const QString name = devlink::EngineSettingName(database);
        ASSERT_TRUE(settings::WriteString(name, QString::number(engine)));
        ASSERT_TRUE(devlink::CreateCEQueryFile(database, password, QStringLiteral("*CREATE"), false))
            << Prompts();
        ASSERT_TRUE(DeviceFileThere(database)) << Prompts();
        if (remembered == -1)
            settings::DeleteValue(name);
        else
            ASSERT_TRUE(settings::WriteString(name, QString::number(remembered)));
    }

    // The Debug log of the agent's last run, in counter order.
    QStringList DebugLog()
    {
        QStringList lines;
        HKEY key = 0;
        if (Device().CeRegOpenKeyEx(HKEY_LOCAL_MACHINE, u"\\Software\\Quorvane\\Debug", 0, 0, &key))
            return lines;
        for (DWORD i = 0;; ++i) {
            char16_t name[64];
            DWORD nameLength = 64;
            char16_t data[1100] = {};
            DWORD size = sizeof data - 2;
            DWORD type = 0;
            if (Device().CeRegEnumValue(
                    key, i, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data), &size))
                break;
            lines << QString::fromUtf16(data, size / 2);
        }
        Device().CeRegCloseKey(key);
        return lines;
    }
};

} // namespace linktest
