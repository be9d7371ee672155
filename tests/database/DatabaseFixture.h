// Fixture of the database window tests: a real cedevice on a copy of the demo
// databases (made once per test run by the demo script, through the real
// quorvane-cli), the agent deployed, the scripted prompter, and helpers that
// open windows, type into grid cells and ask the device what it now holds.
#pragma once

#include "WindowFixture.h"

#include "desktop/database/CResultsGridView.h"
#include "desktop/database/DatabaseWindow.h"
#include "desktop/link/AgentDeployment.h"
#include "desktop/link/RequestController.h"
#include "tests/support/BuiltPrograms.h"
#include "tests/support/Program.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeView>

namespace databasetest {

inline const QString kOrders = QStringLiteral("\\My Documents\\Orders.sdf");
inline const QString kSecret = QStringLiteral("\\My Documents\\Secret.sdf");

// The device folder of a demo home: the one the run's fixture made
// (QV_DEMO_TEMPLATE), or one made here once: a device started, the demo
// script run, the device stopped. *failure says why when none could be made.
inline std::filesystem::path DemoDevice(std::string* failure)
{
    const QByteArray made = qgetenv("QV_DEMO_TEMPLATE");
    if (!made.isEmpty() && std::filesystem::is_directory(made.toStdString()))
        return made.toStdString();
    static std::unique_ptr<testsupport::TempDir> home;
    static std::string why;
    if (!home) {
        home = std::make_unique<testsupport::TempDir>("qvd");
        testsupport::TestDevice device({ .home = home->path() });
        testsupport::RunResult start = device.Start();
        if (start.status != 0) {
            why = "cedevice would not start: " + start.err;
        } else {
            testsupport::RunResult demo = testsupport::RunProgram(
                { QV_DEMO_SCRIPT, "--cli", testsupport::Cli().string() }, home->path(), {}, 600);
            if (demo.status != 0)
                why = "the demo script failed:\n" + demo.out + demo.err;
            device.Stop();
        }
    }
    *failure = why;
    return home->path() / "device";
}

class DatabaseWindowTest : public windowtest::WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        std::string failure;
        const std::filesystem::path demo = DemoDevice(&failure);
        ASSERT_TRUE(failure.empty()) << failure;
        testsupport::RunResult copy = testsupport::RunProgram(
            { "/bin/cp", "-a", demo.string(), (home() / "device").string() }, home());
        ASSERT_EQ(copy.status, 0) << copy.err;
        setenv("QUORVANE_PROGRAM_DIR", QV_BIN_DIR, 1);
        StartAndConnect();
        ASSERT_TRUE(devlink::DeployAgentFiles());
    }

    void TearDown() override
    {
        QLocale::setDefault(QLocale::c());
        WindowTest::TearDown();
    }

    // A table window on `sql` (a table's SELECT), shown, with its answer in.
    database::DatabaseWindow* OpenTableWindow(const QString& table, const QString& sql,
        const QString& database = kOrders, const QString& password = QString())
    {
        auto* window = new database::DatabaseWindow(table, database, password, false, true, sql);
        window->show();
        EXPECT_TRUE(WaitIdle(window)) << Status(window);
        return window;
    }

    // Waits until the window's request and grid change are over.
    static bool WaitIdle(database::DatabaseWindow* window, int milliseconds = 60000)
    {
        return windowtest::WaitFor(
            [window] {
                return window->controller()->state() != devlink::RequestState::Idle && !window->isBusy();
            },
            milliseconds);
    }

    static std::string Status(database::DatabaseWindow* window)
    {
        return Text(window, "statusLine").toStdString();
    }

    static QString Text(QWidget* window, const char* name)
    {
        auto* label = window->findChild<QLabel*>(QString::fromLatin1(name));
        return label ? label->text() : QStringLiteral("<no %1>").arg(QString::fromLatin1(name));
    }

    static database::CResultsGridView* View(database::DatabaseWindow* window)
    {
        return window->findChild<database::CResultsGridView*>(QStringLiteral("resultsGrid"));
    }

    // The view row whose cell in `column` shows `text`; -1 when none.
    static int RowWith(database::DatabaseWindow* window, int column, const QString& text)
    {
        database::ResultsGrid* grid = window->grid();
        for (int r = 0; r < grid->rowCount(); ++r)
            if (grid->CellText(r, column) == text)
                return r;
        return -1;
    }

    static int ColumnNamed(database::DatabaseWindow* window, const QString& name)
    {
        const auto& columns = window->grid()->columns();
        for (int c = 0; c < columns.size(); ++c)
            if (columns[c].name == name)
                return c;
        return -1;
    }

    // Clicks a cell as the user does (the click opens the edit box), types
    // `keys` over the selected text, and presses Enter.
    static QWidget* StartEdit(database::DatabaseWindow* window, int row, int column)
    {
        database::CResultsGridView* view = View(window);
        const QModelIndex index = window->grid()->index(row, column);
        view->scrollTo(index);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
        return view->indexWidget(index);
    }

    static void TypeIntoCell(database::DatabaseWindow* window, int row, int column, const QString& text)
    {
        QWidget* editor = StartEdit(window, row, column);
        ASSERT_TRUE(editor) << "no edit box opened";
        QTest::keyClicks(editor, text);
        PressEnter(editor);
    }

    // Enter in a line box commits through a queued call: it has run when
    // this returns.
    static void PressEnter(QWidget* editor)
    {
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();
    }

    // The table window `opener` opened (a child window), once shown.
    static database::DatabaseWindow* WaitForWindowOf(database::DatabaseWindow* opener)
    {
        database::DatabaseWindow* found = nullptr;
        windowtest::WaitFor([&] {
            for (auto* child : opener->findChildren<database::DatabaseWindow*>())
                if (child->isVisible())
                    found = child;
            return found != nullptr;
        });
        return found;
    }

    // The first row of a query run on the device, tab-joined.
    QString Ask(const QString& sql, const QString& database = kOrders, const QString& password = QString())
    {
        devlink::RequestController c;
        c.setDatabasePath(database);
        c.setPassword(password);
        c.setSqlToRun(sql);
        c.setShown(true);
        bool done = false;
        QObject::connect(&c, &devlink::RequestController::requestFinished, [&done] { done = true; });
        c.RunRequest();
        EXPECT_TRUE(windowtest::WaitFor([&done] { return done; }, 60000));
        if (c.state() != devlink::RequestState::Succeeded)
            return QStringLiteral("<failed: %1>").arg(c.statusText());
        if (c.queryResult().rows.isEmpty())
            return QStringLiteral("<no rows>");
        return c.queryResult().rows[0].join(QLatin1Char('\t'));
    }

    void Exec(const QString& sql, const QString& database = kOrders)
    {
        const QString answer = Ask(sql, database);
        EXPECT_FALSE(answer.startsWith(QLatin1String("<failed")))
            << sql.toStdString() << ": " << answer.toStdString();
    }

    static QStringList ActionTexts(QMenu* menu)
    {
        QStringList texts;
        for (QAction* action : menu->actions())
            texts << (action->isSeparator()
                    ? QStringLiteral("-")
                    : action->text() + (action->isEnabled() ? QString() : QStringLiteral(" (off)")));
        return texts;
    }

    static QAction* Action(QMenu* menu, const QString& text)
    {
        for (QAction* action : menu->actions())
            if (action->text() == text)
                return action;
        return nullptr;
    }

    static QTreeView* Tree(database::DatabaseWindow* window)
    {
        return window->findChild<QTreeView*>(QStringLiteral("tableTree"));
    }

    static QModelIndex TreeItem(database::DatabaseWindow* window, const QString& label)
    {
        QAbstractItemModel* model = Tree(window)->model();
        const QModelIndex root = model->index(0, 0);
        for (int r = 0; r < model->rowCount(root); ++r)
            if (model->index(r, 0, root).data().toString() == label)
                return model->index(r, 0, root);
        return {};
    }

    // The texts of every prompt, for failure messages.
    std::string Prompts() const
    {
        std::string out;
        for (const auto& record : m_prompter.Records())
            out += "[" + record.caption.toStdString() + "] " + record.text.toStdString() + "\n";
        return out;
    }
};

} // namespace databasetest
