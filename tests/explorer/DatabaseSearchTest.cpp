// The database search window against a real device: what it lists from
// "\" with and without "\Windows", its count messages, sorting, a row whose
// database is deleted on the device vanishing, and a double-clicked row
// asking for its database to be opened.
#include "WindowFixture.h"

#include "desktop/explorer/CCabInstallerDialog.h"
#include "desktop/explorer/CDatabaseSearchDialog.h"
#include "desktop/settings/SettingsStore.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeView>

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

namespace {

using explorer::CDatabaseSearchDialog;

class DatabaseSearchTest : public windowtest::WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        StartAndConnect();
        ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\My Documents\\Orders.sdf"), "orders"));
        ASSERT_TRUE(Device().CeCreateDirectory(u"\\Data", nullptr));
        ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\Data\\stock.SDF"), "1234567"));
        ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\Data\\readme.txt"), "x"));
        ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\Windows\\System.sdf"), "x"));
    }

    static QString Status(CDatabaseSearchDialog* window)
    {
        return window->findChild<QLabel*>(QStringLiteral("statusLine"))->text();
    }

    // The list's rows as "name|directory|size", in the order shown.
    static QStringList Rows(CDatabaseSearchDialog* window)
    {
        QStringList rows;
        auto* model = window->findChild<QTreeView*>(QStringLiteral("databaseList"))->model();
        for (int r = 0; r < model->rowCount(); ++r)
            rows << model->index(r, 0).data().toString() + u'|' + model->index(r, 1).data().toString() + u'|'
                    + model->index(r, 2).data().toString();
        return rows;
    }

    static bool WaitForStatus(CDatabaseSearchDialog* window, const QString& text)
    {
        return windowtest::WaitFor([&] { return Status(window) == text; }, 60000);
    }
};

TEST_F(DatabaseSearchTest, SearchesTheRootWithAndWithoutWindowsAndSorts)
{
    CDatabaseSearchDialog window;
    window.ShowDatabaseSearch(QStringLiteral("\\"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("SQLCE database list"));
    ASSERT_TRUE(WaitForStatus(&window, QStringLiteral("2 SQLCE databases found.")))
        << Status(&window).toStdString();
    auto* list = window.findChild<QTreeView*>(QStringLiteral("databaseList"));
    list->sortByColumn(explorer::DatabaseSearchModel::kFilename, Qt::AscendingOrder);
    EXPECT_EQ(Rows(&window), QStringList({ "Orders.sdf|\\My Documents|6", "stock.SDF|\\Data|7" }));
    list->sortByColumn(explorer::DatabaseSearchModel::kSize, Qt::DescendingOrder);
    EXPECT_EQ(Rows(&window).first(), QStringLiteral("stock.SDF|\\Data|7"));

    // The box is offered for the root only; clearing it is stored at once.
    auto* skip = window.findChild<QCheckBox*>(QStringLiteral("skipWindowsBox"));
    ASSERT_TRUE(skip->isEnabled() && skip->isChecked());
    QTest::mouseClick(skip, Qt::LeftButton, {}, QPoint(5, skip->height() / 2));
    quint32 stored = 7;
    ASSERT_TRUE(settings::ReadDword(QStringLiteral("SearchSDF_dsw"), &stored));
    EXPECT_EQ(stored, 0u);
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("searchButton")), Qt::LeftButton);
    ASSERT_TRUE(WaitForStatus(&window, QStringLiteral("3 SQLCE databases found.")))
        << Status(&window).toStdString();
    EXPECT_TRUE(Rows(&window).contains(QStringLiteral("System.sdf|\\Windows|1")));

    // One database: the singular message; "\Windows" with the box set: none.
    window.controller()->SetSkipWindows(true);
    window.ShowDatabaseSearch(QStringLiteral("\\Data"));
    EXPECT_FALSE(skip->isEnabled());
    ASSERT_TRUE(WaitForStatus(&window, QStringLiteral("1 SQLCE database found.")))
        << Status(&window).toStdString();
    window.ShowDatabaseSearch(QStringLiteral("\\Windows"));
    ASSERT_TRUE(WaitForStatus(&window, QStringLiteral("0 SQLCE databases found.")))
        << Status(&window).toStdString();

    // Cancel, pressed while the search waits for the device session (held
    // by another request), stops it before its first folder.
    std::atomic<bool> release = false;
    QObject holder;
    devlink::DeviceSession::Instance().Start(&holder,
        [&release](devlink::RequestContext&) {
            while (!release)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        },
        {});
    window.controller()->SetPath(QStringLiteral("\\"));
    window.controller()->Search();
    auto* cancel = window.findChild<QPushButton*>(QStringLiteral("cancelButton"));
    EXPECT_TRUE(cancel->isEnabled());
    QTest::mouseClick(cancel, Qt::LeftButton);
    release = true;
    ASSERT_TRUE(WaitForStatus(&window, QStringLiteral("Search cancelled."))) << Status(&window).toStdString();
    EXPECT_TRUE(Rows(&window).isEmpty());
    EXPECT_FALSE(cancel->isEnabled());
}

TEST_F(DatabaseSearchTest, ADeletedDatabaseVanishesAndARowOpensItsDatabase)
{
    CDatabaseSearchDialog window;
    window.show();
    window.controller()->Begin(QStringLiteral("\\"), 0, 200);
    ASSERT_TRUE(WaitForStatus(&window, QStringLiteral("2 SQLCE databases found.")))
        << Status(&window).toStdString();
    ASSERT_TRUE(Device().CeDeleteFile(u"\\Data\\stock.SDF"));
    EXPECT_TRUE(windowtest::WaitFor([&] { return Rows(&window).size() == 1; }, 30000));
    EXPECT_EQ(Rows(&window), QStringList({ "Orders.sdf|\\My Documents|6" }));

    QSignalSpy opened(&window, &CDatabaseSearchDialog::openDatabaseRequested);
    auto* list = window.findChild<QTreeView*>(QStringLiteral("databaseList"));
    const QRect cell = list->visualRect(list->model()->index(0, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    ASSERT_GE(opened.count(), 1);
    EXPECT_EQ(opened.first().first().toString(), QStringLiteral("\\My Documents\\Orders.sdf"));
}

TEST_F(DatabaseSearchTest, CabDialogNamesTheApplicationAndInstallsItAsTheBoxesSay)
{
    std::ifstream in(std::string(QV_BIN_DIR) + "/sqlce.wce4.armv4.cab", std::ios::binary);
    const std::string cab((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\Setup.cab"), cab));
    // First installation: no notice, and the CAB is kept (the box starts
    // checked with its setting missing).
    auto* dialog = explorer::ShowCabInstaller(QStringLiteral("\\Setup.cab"), nullptr);
    QPointer<explorer::CCabInstallerDialog> alive(dialog);
    auto* name = dialog->findChild<QLabel*>(QStringLiteral("applicationName"));
    EXPECT_TRUE(windowtest::WaitFor([&] { return dialog->controller()->loaded(); }));
    EXPECT_EQ(name->text(), QStringLiteral("Microsoft SQLCE 2.0"));
    EXPECT_FALSE(dialog->findChild<QLabel*>(QStringLiteral("installedNotice"))->isVisible());
    EXPECT_FALSE(dialog->findChild<QCheckBox*>(QStringLiteral("skipWarningBox"))->isVisible());
    EXPECT_TRUE(dialog->findChild<QCheckBox*>(QStringLiteral("dontDeleteBox"))->isChecked());
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("installButton")), Qt::LeftButton);
    ASSERT_TRUE(windowtest::WaitFor([&] { return !alive || !alive->isVisible(); }));
    const std::u16string appKey = u"Software\\Apps\\Microsoft SQLCE 2.0";
    auto installed = [&] {
        HKEY key = 0;
        if (Device().CeRegOpenKeyEx(HKEY_LOCAL_MACHINE, appKey.c_str(), 0, 0, &key) != 0)
            return false;
        Device().CeRegCloseKey(key);
        return true;
    };
    ASSERT_TRUE(windowtest::WaitFor(installed));
    QTest::qWait(500);
    EXPECT_TRUE(DeviceFileThere(QStringLiteral("\\Setup.cab")));

    // Installed now: the notice and the skip box; told to delete it, the
    // device's installer removes the CAB when done.
    dialog = explorer::ShowCabInstaller(QStringLiteral("\\Setup.cab"), nullptr);
    alive = dialog;
    EXPECT_TRUE(windowtest::WaitFor([&] { return dialog->controller()->loaded(); }));
    EXPECT_TRUE(dialog->findChild<QLabel*>(QStringLiteral("installedNotice"))->isVisible());
    auto* skip = dialog->findChild<QCheckBox*>(QStringLiteral("skipWarningBox"));
    EXPECT_TRUE(skip->isVisible() && skip->isChecked());
    EXPECT_EQ(skip->text(),
        QStringLiteral(
            "Skip the \"Microsoft SQLCE 2.0 is already installed.  Re-install?\" warning on the device."));
    dialog->findChild<QCheckBox*>(QStringLiteral("dontDeleteBox"))->setChecked(false);
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("installButton")), Qt::LeftButton);
    ASSERT_TRUE(windowtest::WaitFor([&] { return !alive || !alive->isVisible(); }));
    quint32 stored = 7;
    ASSERT_TRUE(settings::ReadDword(QStringLiteral("DontDeleteCab"), &stored));
    EXPECT_EQ(stored, 0u);
    EXPECT_TRUE(windowtest::WaitFor([&] { return !DeviceFileThere(QStringLiteral("\\Setup.cab")); }));
    EXPECT_TRUE(installed());

    // Not a CAB: "(Unknown)", no notice.
    ASSERT_TRUE(PutDeviceFile(QStringLiteral("\\Other.cab"), std::string(500, 'x')));
    dialog = explorer::ShowCabInstaller(QStringLiteral("\\Other.cab"), nullptr);
    EXPECT_TRUE(windowtest::WaitFor([&] { return dialog->controller()->loaded(); }));
    EXPECT_EQ(
        dialog->findChild<QLabel*>(QStringLiteral("applicationName"))->text(), QStringLiteral("(Unknown)"));
    EXPECT_FALSE(dialog->findChild<QLabel*>(QStringLiteral("installedNotice"))->isVisible());
}

} // namespace
