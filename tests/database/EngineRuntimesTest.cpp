// What the runtime window says and offers for each combination of installed
// runtimes and CAB files beside the program, which CABs an operating system
// version takes, and when the automatic check shows the window at all.
#include "desktop/database/EngineRuntimes.h"

#include <gtest/gtest.h>

namespace database {
namespace {

TEST(EngineRuntimes, WindowTextsForEachCase)
{
    RuntimeWindowTexts t = RuntimeWindowState({ false, true }, true, true);
    EXPECT_EQ(t.status, "This device does not have the Microsoft SQLCE 2.0 libraries installed on it.");
    EXPECT_TRUE(t.engine20.checked && t.engine20.enabled);
    EXPECT_EQ(t.engine30.explanation, "SQLCE 3.0 is already installed on your device.");
    EXPECT_FALSE(t.engine30.checked || t.engine30.enabled);

    t = RuntimeWindowState({ true, false }, true, false);
    EXPECT_EQ(t.status, "This device does not have the Microsoft SQLCE 3.0 libraries installed on it.");
    EXPECT_EQ(t.engine30.explanation,
        "Error: SQLCE 3.0 is not installed on your device, but cannot find the SQLCE 3.0 library file(s).");
    EXPECT_FALSE(t.engine30.checked || t.engine30.enabled);
}

TEST(EngineRuntimes, CabsByOperatingSystemAndWhenTheAutomaticCheckShows)
{
    EXPECT_EQ(RuntimeCabNames(3, true),
        QStringList({ "sqlce30.ppc.wce5.armv4i.cab", "sqlce30.repl.wce5.armv4i.cab" }));
    EXPECT_EQ(RuntimeCabNames(3, false),
        QStringList({ "sqlce30.ppc.wce4.armv4.cab", "sqlce30.repl.ppc.wce4.armv4.cab" }));
    EXPECT_EQ(RuntimeCabNames(2, true), QStringList({ "sqlce.wce4.armv4.cab" }));

    EXPECT_FALSE(ShowRuntimeWindow(false, { true, true }, true));
    EXPECT_TRUE(ShowRuntimeWindow(true, { true, true }, false));
    EXPECT_FALSE(ShowRuntimeWindow(false, { false, true }, false));
    EXPECT_TRUE(ShowRuntimeWindow(false, { false, true }, true));
}

} // namespace
} // namespace database
