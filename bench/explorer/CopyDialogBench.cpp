// A large file copied through the explorer's transfers (the progress
// dialog shown, its worker on the device session) against `quorvane-cli
// put` and `quorvane-cli get` of the same file, timed back to back in every
// run. The ratio is the dialog's throughput over the command line's (goal:
// at least 0.80 both ways).
//
// Every file lies in a folder made beneath the current one (run-bench runs
// it in build/bench), not in /tmp.
//
// Usage: bench_copy_dialog [MEGABYTES] [RUNS]   (default 200 MB, 3 runs)
#include "bench/BenchReport.h"
#include "desktop/explorer/ClipboardFolder.h"
#include "desktop/explorer/ExplorerController.h"
#include "desktop/explorer/FileTransfers.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/settings/SettingsStore.h"
#include "exchange/Home.h"
#include "platform/rapi/Rapi.h"
#include "tests/support/BuiltPrograms.h"
#include "tests/support/Program.h"
#include "tests/support/TestDevice.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

bool MakeFile(const QString& path, qint64 bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray block(1 << 20, '\0');
    for (int i = 0; i < block.size(); ++i)
        block[i] = char(i * 131 + i / 977);
    for (qint64 done = 0; done < bytes; done += block.size())
        if (file.write(block.constData(), std::min<qint64>(block.size(), bytes - done)) < 0)
            return false;
    return true;
}

// One transfer to its end; its time, or a negative time when it failed.
double Timed(explorer::FileTransfers& transfers, const std::function<void()>& start)
{
    QSignalSpy finished(&transfers, &explorer::FileTransfers::finished);
    const auto t = Clock::now();
    start();
    if (!QTest::qWaitFor([&] { return finished.size() == 1; }, 3600000) || !finished.first().first().toBool())
        return -1;
    return Seconds(t);
}

double Cli(const std::vector<std::string>& args, const std::filesystem::path& home)
{
    std::vector<std::string> command = { (testsupport::BinDir() / "quorvane-cli").string() };
    command.insert(command.end(), args.begin(), args.end());
    const auto t = Clock::now();
    const testsupport::RunResult r = testsupport::RunProgram(command, home, {}, 3600);
    return r.status == 0 ? Seconds(t) : -1;
}

} // namespace

int main(int argc, char** argv)
{
    const qint64 megabytes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    QTemporaryDir temp(QDir::current().filePath(QStringLiteral("copy-dialog-XXXXXX")));
    if (!temp.isValid()) {
        std::fprintf(stderr, "bench_copy_dialog: cannot make a folder here\n");
        return 1;
    }
    const std::filesystem::path home = temp.path().toStdString();
    setenv("QUORVANE_HOME", home.c_str(), 1);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const QString pc = QDir(temp.path()).filePath(QStringLiteral("pc"));
    const QString source = QDir(pc).filePath(QStringLiteral("big.bin"));
    const QString back = QDir(pc).filePath(QStringLiteral("back.bin"));
    testsupport::TestDevice device({ .home = home });
    if (!QDir().mkpath(pc) || !MakeFile(source, megabytes << 20) || device.Start().status != 0) {
        std::fprintf(stderr, "bench_copy_dialog: the file or the device could not be made\n");
        return 1;
    }
    CeRapiSetSocketPath(home::DeviceSocketPath());
    if (!devlink::InitRapi() || !CeCreateDirectory(u"\\Bench", nullptr)) {
        std::fprintf(stderr, "bench_copy_dialog: cannot connect to the device\n");
        return 1;
    }
    settings::WriteDword(QStringLiteral("CopyFilesWhen"), 2);

    int status = 0;
    {
        explorer::ExplorerController explorer;
        explorer.SetIntervals(3600000, 3600000);
        explorer.Start(QStringLiteral("\\Bench"));
        bool ok = QTest::qWaitFor([&] { return !explorer.isBusy(); }, 60000);
        explorer::FileTransfers& transfers = *explorer.transfers();

        std::vector<double> toRatios, fromRatios;
        const double size = double(megabytes);
        for (int run = 0; run < runs && ok; ++run) {
            const double dialogTo = Timed(transfers, [&] { transfers.OnDropFiles({ source }); });
            // The list shows the new file before it is copied back.
            ok = QTest::qWaitFor([&] { return !explorer.isBusy(); }, 60000);
            const double cliTo = Cli({ "put", source.toStdString(), "\\Bench\\big.bin" }, home);

            const int row = explorer.listModel()->RowOf(QStringLiteral("big.bin"));
            QFile::remove(QDir(explorer::ClipboardDir()).filePath(QStringLiteral("big.bin")));
            const double dialogFrom = Timed(transfers, [&] { transfers.CopySelectionToClipboard({ row }); });
            QFile::remove(back);
            const double cliFrom = Cli({ "get", "\\Bench\\big.bin", back.toStdString() }, home);
            ok = ok && dialogTo > 0 && cliTo > 0 && dialogFrom > 0 && cliFrom > 0 && row >= 0
                && QFileInfo(back).size() == (megabytes << 20);
            if (!ok)
                break;
            toRatios.push_back(cliTo / dialogTo);
            fromRatios.push_back(cliFrom / dialogFrom);
            std::printf("run %d: to the device  dialog %7.1f MB/s  cli put %7.1f MB/s  ratio %.2f\n", run + 1,
                size / dialogTo, size / cliTo, cliTo / dialogTo);
            std::printf("run %d: from the device  dialog %7.1f MB/s  cli get %7.1f MB/s  ratio %.2f\n",
                run + 1, size / dialogFrom, size / cliFrom, cliFrom / dialogFrom);
        }
        if (ok) {
            bench::PrintRatio("copy-dialog-to", toRatios);
            bench::PrintRatio("copy-dialog-from", fromRatios);
        } else {
            std::fprintf(stderr, "bench_copy_dialog: a copy failed\n");
            status = 1;
        }
        explorer.Stop();
    }
    devlink::UninitRapi();
    if (device.Stop().status != 0)
        status = 1;
    return status;
}
