// The fixture of the explorer tests: a real cedevice started per test, the
// explorer's controller opened on a device folder, and helpers that plant
// folders, files with chosen times and attributes, and read the list back.
#pragma once

#include "WindowFixture.h"

#include "desktop/explorer/ExplorerController.h"

namespace windowtest {

class ExplorerFixture : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        StartAndConnect();
    }

    void TearDown() override
    {
        if (m_explorer)
            m_explorer->Stop();
        m_explorer.reset();
        WindowTest::TearDown();
    }

    explorer::ExplorerController& Open(const QString& dir, int pollMs = 60000)
    {
        m_explorer = std::make_unique<explorer::ExplorerController>();
        m_explorer->SetIntervals(pollMs, pollMs / 2);
        m_explorer->Start(dir);
        Settle();
        return *m_explorer;
    }

    void Settle()
    {
        EXPECT_TRUE(WaitFor([this] { return !m_explorer->isBusy(); }, 60000));
    }

    bool MakeDir(const QString& path)
    {
        const std::u16string name = linktest::U(path);
        return Device().CeCreateDirectory(name.c_str(), nullptr);
    }

    bool SetAttributes(const QString& path, DWORD attributes)
    {
        const std::u16string name = linktest::U(path);
        return Device().CeSetFileAttributes(name.c_str(), attributes);
    }

    bool PutDated(const QString& path, const std::string& bytes, const QDateTime& time)
    {
        if (!PutDeviceFile(path, bytes))
            return false;
        const std::u16string name = linktest::U(path);
        HANDLE h = Device().CeCreateFile(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0x80, 0);
        const FILETIME t = U64ToFileTime(quint64(time.toMSecsSinceEpoch() + 11644473600000LL) * 10000);
        const bool ok = Device().CeSetFileTime(h, nullptr, nullptr, &t);
        Device().CeCloseHandle(h);
        return ok;
    }

    QStringList ListNames() const
    {
        QStringList names;
        explorer::FileListModel* list = m_explorer->listModel();
        for (int row = 0; row < list->rowCount(); ++row)
            names.append(list->rowAt(row).name);
        return names;
    }

    QString Cell(int row, int column) const
    {
        explorer::FileListModel* list = m_explorer->listModel();
        return list->data(list->index(row, column)).toString();
    }

    std::unique_ptr<explorer::ExplorerController> m_explorer;
};

} // namespace windowtest
