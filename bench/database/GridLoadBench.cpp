// The database window's results grid on a large table, against quorvane-cli
// on the same table in the same run: a table window opened on
// "SELECT * FROM Bench" (8 columns) on a running cedevice, in this process
// on the offscreen platform. Three figures:
//   - the time from the agent's end (the status line's "Loading results
//     grid.") to the first rows painted in the grid;
//   - the whole load (request to the last row in the grid) divided by the
//     time `quorvane-cli sql --format tsv` takes for the same table;
//   - the memory the window added (resident size, after the load) divided by
//     the size of the results file.
//
// Usage: bench_grid_load [rows] [runs]   (default 100000 rows, 5 runs)
#include "bench/BenchReport.h"
#include "bench/BenchTable.h"
#include "desktop/database/CResultsGridView.h"
#include "desktop/database/DatabaseWindow.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/link/LinkTiming.h"
#include "desktop/settings/SettingsStore.h"
#include "exchange/Home.h"
#include "platform/rapi/Rapi.h"
#include "tests/support/BuiltPrograms.h"
#include "tests/support/Program.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestDevice.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// The resident size of this process, in bytes, after returning free heap.
double ResidentBytes()
{
    malloc_trim(0);
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() * 1024.0;
    return 0;
}

struct WindowRun {
    double firstRows = 0; // seconds from the agent's end to the first rows painted
    double load = 0; // seconds from the request's start to its end
    double addedBytes = 0;
    int rows = 0;
};

std::optional<WindowRun> LoadInWindow()
{
    WindowRun run;
    const double before = ResidentBytes();
    auto* window = new database::DatabaseWindow(QStringLiteral("Bench"), QStringLiteral("\\bench.sdf"),
        QString(), false, true, QStringLiteral("SELECT * FROM Bench"));
    window->resize(900, 600);
    window->show();
    devlink::RequestController* controller = window->controller();
    std::optional<Clock::time_point> started, agentDone, painted, finished;
    QObject::connect(controller, &devlink::RequestController::controlsChanged, [&] {
        if (!started && controller->isRunning())
            started = Clock::now();
    });
    QObject::connect(controller, &devlink::RequestController::statusTextChanged, [&](const QString& text) {
        if (!agentDone && text.contains(QLatin1String("Loading results grid.")))
            agentDone = Clock::now();
    });
    auto* view = window->findChild<database::CResultsGridView*>(QStringLiteral("resultsGrid"));
    QObject::connect(controller, &devlink::RequestController::rowsAppended, [&] {
        if (painted)
            return;
        view->viewport()->repaint();
        painted = Clock::now();
    });
    QObject::connect(
        controller, &devlink::RequestController::requestFinished, [&] { finished = Clock::now(); });
    if (!QTest::qWaitFor([&] { return finished.has_value(); }, 600000) || !started || !painted
        || controller->state() != devlink::RequestState::Succeeded) {
        std::fprintf(stderr, "bench_grid_load: the window did not load the table (%s)\n",
            qPrintable(controller->statusText()));
        delete window;
        return std::nullopt;
    }
    // The agent's end is seen by the progress timer, which ticks every 10 ms here.
    run.firstRows = agentDone ? std::chrono::duration<double>(*painted - *agentDone).count() : 0.0;
    run.load = std::chrono::duration<double>(*finished - *started).count();
    run.rows = window->grid()->rowCount();
    run.addedBytes = ResidentBytes() - before;
    delete window;
    QCoreApplication::processEvents();
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    const long rows = argc > 1 ? std::atol(argv[1]) : 100000;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    testsupport::TempDir temp("qvbench-grid");
    if (!temp.ok())
        return 1;
    const std::filesystem::path home = temp.path();
    setenv("QUORVANE_HOME", home.c_str(), 1);
    setenv("QUORVANE_PROGRAM_DIR", testsupport::BinDir().c_str(), 1);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    devlink::LinkTiming timing;
    timing.progressTimerMs = 10;
    devlink::SetLinkTiming(timing);

    testsupport::TestDevice device({ .home = home });
    std::printf("building a table of %ld rows...\n", rows);
    if (device.Start().status != 0 || device.Stop().status != 0
        || !bench::MakeBenchDatabase(home / "device" / "files" / "bench.sdf", rows, engine::kEngine20Class)
        || device.Start().status != 0) {
        std::fprintf(stderr, "bench_grid_load: the device or the table could not be made\n");
        return 1;
    }
    CeRapiSetSocketPath(home::DeviceSocketPath());
    const std::vector<std::string> cli
        = { testsupport::Cli().string(), "sql", "\\bench.sdf", "SELECT * FROM Bench", "--format", "tsv" };
    const std::filesystem::path out = home / "out.tsv";
    const auto runCli = [&] {
        return testsupport::RunProgram(cli, { .home = home, .output = out, .seconds = 3600 }).status == 0;
    };
    int status = 1;
    // The first request copies the agent onto the device; the results file's
    // size comes from a controller that keeps it.
    devlink::RequestController sizer;
    sizer.setDatabasePath(QStringLiteral("\\bench.sdf"));
    sizer.setSqlToRun(QStringLiteral("SELECT * FROM Bench"));
    sizer.setShown(true);
    sizer.setRowConsumer([](devlink::QueryResult&) {});
    if (runCli() && devlink::RunRequestAndWait(sizer) == devlink::RequestState::Succeeded) {
        const double fileBytes = double(sizer.resultsBytes().size());
        std::printf("results file: %.1f MB\n", fileBytes / 1e6);
        std::vector<double> firstRows, loadRatios, memoryRatios;
        bool ok = true;
        for (int run = 0; ok && run < runs; ++run) {
            auto t = Clock::now();
            ok = runCli();
            const double cliSeconds = Seconds(t);
            const std::optional<WindowRun> window = ok ? LoadInWindow() : std::nullopt;
            ok = window && window->rows == rows;
            if (!ok)
                break;
            firstRows.push_back(window->firstRows);
            loadRatios.push_back(window->load / cliSeconds);
            memoryRatios.push_back(window->addedBytes / fileBytes);
            std::printf("run %d: window %.3f s (first rows %.3f s after the agent), quorvane-cli %.3f s, "
                        "window memory %.1f MB\n",
                run + 1, window->load, window->firstRows, cliSeconds, window->addedBytes / 1e6);
        }
        if (ok) {
            bench::PrintFigure("grid-first-rows-s", firstRows);
            bench::PrintRatio("grid-load", loadRatios);
            bench::PrintRatio("grid-memory", memoryRatios);
            status = 0;
        }
    } else {
        std::fprintf(stderr, "bench_grid_load: the first request failed\n");
    }
    devlink::UninitRapi();
    if (device.Stop().status != 0)
        status = 1;
    return status;
}
