// quorvane-cli: Quorvane's headless front end.
#include "cli/CommandTable.h"
#include "cli/Interrupts.h"
#include "exchange/StepMarks.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    exchange::MarkStep("cli: started");
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvane-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));
    cli::InstallInterruptHandling();
    int status = cli::kOk;
    {
        cli::CliContext cx;
        status = cli::RunCommandLine(cx, QCoreApplication::arguments());
    }
    exchange::MarkStep("cli: ending");
    // An interrupted command ends as the interrupt asked, whatever it printed.
    return cli::Interrupted() ? cli::kInterrupted : status;
}
