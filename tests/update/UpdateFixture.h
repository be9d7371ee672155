// The fixture of the online update's tests: the window fixture (a fresh
// QUORVANE_HOME with the program folder "bin" beneath it, the scripted
// prompter), a local HTTP server holding a release, and the update location
// pointed at it.
#pragma once

#include "LocalHttpServer.h"
#include "WindowFixture.h"

#include "desktop/settings/SettingsStore.h"
#include "desktop/update/ReleaseChecksums.h"
#include "desktop/update/UpdateSettings.h"

#include <QDir>
#include <QFile>

namespace updatetest {

class UpdateTest : public windowtest::WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        ASSERT_TRUE(m_server.ok());
        settings::WriteString(QStringLiteral("UpdateLocation"), m_server.Location());
    }

    QString ProgramDir() const { return QString::fromStdString(programDir().string()); }

    // A release of every file of ReleaseFiles() on the server, with its
    // "Version.txt" and "SHA256SUMS". The program file is large, so that it
    // arrives in many pieces.
    void PutRelease(const QByteArray& versionFile = "v3.0\r\nFaster start\r\n")
    {
        m_server.Put(QStringLiteral("Version.txt"), versionFile);
        const QStringList files = update::ReleaseFiles();
        for (int i = 0; i < files.size(); ++i)
            m_server.Put(files[i], ReleaseBytes(files[i], i == 0 ? 3 * 1024 * 1024 : 4000));
        m_server.Put(QLatin1String(update::kChecksumsFile), m_server.ChecksumsOf(files));
    }

    // Recognisable bytes for `name`, `size` of them.
    static QByteArray ReleaseBytes(const QString& name, int size)
    {
        QByteArray bytes;
        bytes.reserve(size);
        const QByteArray seed = "new " + name.toUtf8() + ' ';
        for (int i = 0; bytes.size() < size; ++i)
            bytes += seed + QByteArray::number(i) + '\n';
        bytes.truncate(size);
        return bytes;
    }

    static QByteArray ReadFile(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    static bool WriteFile(const QString& path, const QByteArray& bytes)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }

    // The names in `folder`, sorted.
    static QStringList Entries(const QString& folder)
    {
        return QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    }

    LocalHttpServer m_server;
};

} // namespace updatetest
