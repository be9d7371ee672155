// The Qt application object the link's waits, timers and threads need, made
// once for the whole test run.
#pragma once

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <memory>

namespace linktest {

// The application object the link's waits and timers need.
class AppEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "link_tests";
        static char* argv[] = { name, nullptr };
        if (!QCoreApplication::instance())
            m_app = std::make_unique<QCoreApplication>(argc, argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    std::unique_ptr<QCoreApplication> m_app;
};

} // namespace linktest
