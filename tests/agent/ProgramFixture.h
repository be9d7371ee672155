// Whole-program tests of the agent: one device per test, agents deployed,
// databases made on this machine by the engine and copied to the device.
#pragma once

#include "AgentTestSupport.h"
#include "DeviceFixture.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace agenttest {

class AgentProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_device = std::make_unique<Device>();
        ASSERT_TRUE(m_device->ok()) << m_device->error();
        ASSERT_TRUE(m_device->DeployAgents()) << m_device->error();
        std::string err;
        if (m_device->Cli({ "run", "\\Quorvane\\Quorvane2005.exe", "-test" }, nullptr, &err) != 0
            && err.find("not supported") != std::string::npos)
            GTEST_SKIP() << "this cedevice cannot start device programs yet: " << err;
        ASSERT_TRUE(device().WaitForDone()) << device().error();
    }

    Device& device() { return *m_device; }

    // Makes a database of engine `version` here and copies it to `devicePath`.
    void PutDatabase(const std::string& devicePath, const std::vector<std::string>& statements,
        int version = 3, std::u16string_view password = u"")
    {
        std::filesystem::path local = device().scratch() / ("db" + std::to_string(++m_databases) + ".sdf");
        MakeDatabase(local, version, statements, password);
        ASSERT_TRUE(device().PutFile(local, devicePath)) << device().error();
    }

    std::string Results()
    {
        auto bytes = device().Get("\\Quorvane\\SQLresults.txt");
        return bytes ? FromUtf16Bytes(*bytes) : "<no results>";
    }

    static std::string ErrorBlock(const std::string& text, const std::string& engine = "v3.0")
    {
        return text + "\r\n\r\nQuorvane v2.3999\r\nSQLCE " + engine;
    }

    std::unique_ptr<Device> m_device;
    int m_databases = 0;
};

} // namespace agenttest
