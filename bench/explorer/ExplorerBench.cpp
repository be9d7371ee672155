// The explorer's file list on a device folder of many files, against the
// bare CeFindAllFiles of that folder (the explorer's field mask) measured
// in the same run:
//   - opening the folder: from the tree's selection to the whole list in a
//     shown list view (goal: at most 2 times the bare call);
//   - a poll of the unchanged folder: the check's time against the bare
//     call, and whether it rebuilt the list or lost the selection or the
//     scroll position (it must do neither).
//
// Usage: bench_explorer [FILES] [RUNS]   (default 10,000 files, 5 runs)
#include "bench/BenchReport.h"
#include "desktop/explorer/CFileListCtrl.h"
#include "desktop/explorer/ExplorerController.h"
#include "desktop/link/DeviceLink.h"
#include "exchange/Home.h"
#include "platform/rapi/Rapi.h"
#include "platform/store/Store.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestDevice.h"

#include <QApplication>
#include <QScrollBar>
#include <QSignalSpy>
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

bool MakeFolder(const std::filesystem::path& files, int count)
{
    std::string error;
    auto st = store::Store::Open(files, &error);
    if (!st || st->CreateDirectory(u"\\Bench") != 0)
        return false;
    for (int i = 0; i < count; ++i) {
        std::u16string name = u"\\Bench\\file";
        for (char c : std::to_string(i))
            name.push_back(char16_t(c));
        // Mostly plain files, some databases (whose type text looks up the
        // remembered engine version).
        name += i % 10 == 0 ? u".sdf" : u".txt";
        std::unique_ptr<store::File> f;
        bool existed;
        std::uint32_t done;
        if (st->CreateFile(name, GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, &f, &existed) != 0
            || f->Write("x", 1, &done) != 0)
            return false;
    }
    return true;
}

double BareFind(DWORD* count)
{
    const auto t = Clock::now();
    CE_FIND_DATA* found = nullptr;
    if (!CeFindAllFiles(u"\\Bench\\*", 0xB9, count, &found))
        *count = 0;
    CeRapiFreeBuffer(found);
    return Seconds(t);
}

bool Settle(explorer::ExplorerController& explorer)
{
    return QTest::qWaitFor([&] { return !explorer.isBusy(); }, 120000);
}

} // namespace

int main(int argc, char** argv)
{
    const int fileCount = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    testsupport::TempDir temp("qvbench-explorer");
    if (!temp.ok())
        return 1;
    const std::filesystem::path home = temp.path();
    setenv("QUORVANE_HOME", home.c_str(), 1);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    testsupport::TestDevice device({ .home = home });
    if (device.Start().status != 0 || !MakeFolder(home / "device" / "files", fileCount)) {
        std::fprintf(stderr, "bench_explorer: the device or its folder could not be made\n");
        return 1;
    }
    CeRapiSetSocketPath(home::DeviceSocketPath());
    if (!devlink::InitRapi()) {
        std::fprintf(stderr, "bench_explorer: cannot connect to the device\n");
        return 1;
    }

    int status = 0;
    {
        explorer::ExplorerController explorer;
        explorer.SetIntervals(3600000, 3600000);
        explorer::CFileListCtrl view(&explorer);
        view.resize(700, 500);
        view.show();
        explorer.Start(QStringLiteral("\\"));
        Settle(explorer);

        std::vector<double> openRatios, pollRatios;
        double bestOpen = 1e9, bestFind = 1e9, bestPoll = 1e9;
        int rebuilt = 0, lost = 0;
        bool ok = true;
        for (int run = 0; run < runs; ++run) {
            DWORD count = 0;
            const double find = BareFind(&count);
            ok = ok && count == DWORD(fileCount);

            explorer.SelectDirectory(QStringLiteral("\\"), false);
            Settle(explorer);
            auto t = Clock::now();
            explorer.SelectDirectory(QStringLiteral("\\Bench"), false);
            ok = Settle(explorer) && ok;
            view.viewport()->repaint();
            const double open = Seconds(t);
            ok = ok && explorer.listModel()->rowCount() == fileCount;

            // The user has a row selected and the list scrolled.
            const QModelIndex chosen = explorer.listModel()->index(fileCount / 2, 0);
            view.setCurrentIndex(chosen);
            view.scrollTo(chosen);
            const int scroll = view.verticalScrollBar()->value();
            QSignalSpy resets(explorer.listModel(), &QAbstractItemModel::modelReset);
            QSignalSpy polls(&explorer, &explorer::ExplorerController::pollChecked);
            t = Clock::now();
            explorer.PollNow();
            ok = QTest::qWaitFor([&] { return !polls.isEmpty(); }, 120000) && ok;
            const double poll = Seconds(t);
            rebuilt += int(resets.size());
            if (view.currentIndex().row() != fileCount / 2 || view.verticalScrollBar()->value() != scroll)
                ++lost;

            openRatios.push_back(open / find);
            pollRatios.push_back(poll / find);
            bestOpen = std::min(bestOpen, open);
            bestFind = std::min(bestFind, find);
            bestPoll = std::min(bestPoll, poll);
        }
        std::printf("explorer on a folder of %d files (best of %d)%s\n", fileCount, runs,
            ok ? "" : "  [LISTING FAILED]");
        std::printf("  CeFindAllFiles (reference)  %8.1f ms\n", bestFind * 1000);
        std::printf("  folder opened in the list   %8.1f ms   ratio %.2f (goal <= 2.00)\n", bestOpen * 1000,
            bench::Median(openRatios));
        std::printf("  poll of the unchanged folder %7.1f ms   ratio %.2f; lists rebuilt %d, selections or "
                    "scroll positions lost %d (goal 0 and 0)\n",
            bestPoll * 1000, bench::Median(pollRatios), rebuilt, lost);
        bench::PrintRatio("explorer-open-folder", openRatios);
        bench::PrintRatio("explorer-unchanged-poll", pollRatios);
        bench::PrintFigure("explorer-poll-rebuilds", { double(rebuilt + lost) });
        status = ok && rebuilt == 0 && lost == 0 ? 0 : 1;
        explorer.Stop();
    }
    devlink::UninitRapi();
    if (device.Stop().status != 0)
        status = 1;
    return status;
}
