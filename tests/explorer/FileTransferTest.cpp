// Copies between the PC and a real cedevice through the explorer's
// transfers, offscreen: exact bytes around the 60000-byte block both ways,
// the overwrite policies and the question's "…all" answers, a cancel and a
// device stopped in the middle of a copy (fed from a pipe, so the test
// decides when the copy moves on), drops on the panes, the clipboard both
// ways, refused names, and the CAB installation hook.
#include "ExplorerFixture.h"

#include "desktop/explorer/CCopyProgressDialog.h"
#include "desktop/explorer/CFileDropTreeCtrl.h"
#include "desktop/explorer/CFileListCtrl.h"
#include "desktop/explorer/ClipboardFolder.h"
#include "desktop/explorer/CopyProgressText.h"
#include "desktop/explorer/CopyWorker.h"
#include "desktop/explorer/FileTransfers.h"
#include "desktop/explorer/OverwritePolicy.h"

#include <QClipboard>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace windowtest;
using devlink::PromptAnswer;
using devlink::ScriptedPrompter;

namespace {

// Bytes that differ from block to block, so a block lost or repeated shows.
std::string Pattern(std::size_t size)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = char((i * 31 + i / 60000 * 7 + 3) & 0xFF);
    return bytes;
}

// Feeds a named pipe as a PC file: a first part, then, when released, the
// rest; the copy of it cannot end before the test lets it.
class PipeFeeder {
public:
    PipeFeeder(const QString& path, std::string first, std::string rest)
        : m_path(QFile::encodeName(path).toStdString())
    {
        // The copy may close its end first (a cancel): that is no reason
        // to end the test program.
        m_previousPipeHandler = ::signal(SIGPIPE, SIG_IGN);
        ::mkfifo(m_path.c_str(), 0600);
        m_thread = std::thread([this, first = std::move(first), rest = std::move(rest)] {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
            int fd = -1;
            // Non-blocking, so that a copy that never opens the pipe cannot
            // hang the test.
            while (fd < 0 && std::chrono::steady_clock::now() < deadline) {
                fd = ::open(m_path.c_str(), O_WRONLY | O_NONBLOCK);
                if (fd < 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            if (fd < 0)
                return;
            Write(fd, first, deadline);
            while (!m_released && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            Write(fd, rest, deadline);
            ::close(fd);
        });
    }
    ~PipeFeeder()
    {
        m_released = true;
        m_thread.join();
        ::signal(SIGPIPE, m_previousPipeHandler);
    }
    void Release() { m_released = true; }

private:
    static void Write(int fd, const std::string& bytes, std::chrono::steady_clock::time_point deadline)
    {
        std::size_t done = 0;
        while (done < bytes.size() && std::chrono::steady_clock::now() < deadline) {
            const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
            if (n > 0)
                done += std::size_t(n);
            else if (n < 0 && errno != EAGAIN)
                return;
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    std::string m_path;
    sighandler_t m_previousPipeHandler = SIG_DFL;
    std::atomic<bool> m_released { false };
    std::thread m_thread;
};

class FileTransferTest : public ExplorerFixture {
protected:
    void SetUp() override
    {
        ExplorerFixture::SetUp();
        m_pc = QString::fromStdString((home() / "pc").string());
        QDir().mkpath(m_pc);
    }

    void TearDown() override
    {
        if (QClipboard* clipboard = QGuiApplication::clipboard())
            clipboard->clear();
        ExplorerFixture::TearDown();
    }

    QString PcFile(const QString& name, const std::string& bytes)
    {
        const QString path = QDir(m_pc).filePath(name);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
        file.write(bytes.data(), qint64(bytes.size()));
        return path;
    }

    static std::string ReadPc(const QString& path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return "<missing>";
        return file.readAll().toStdString();
    }

    explorer::FileTransfers& Transfers() { return *m_explorer->transfers(); }

    // Runs one transfer to its end; its result, or nullopt when it never
    // ended.
    std::optional<bool> Transfer(const std::function<void()>& start)
    {
        QSignalSpy finished(&Transfers(), &explorer::FileTransfers::finished);
        start();
        if (!WaitFor([&] { return finished.size() == 1; }, 60000))
            return std::nullopt;
        Settle();
        return finished.first().first().toBool();
    }

    // The host's view of a device folder: what really is in the store.
    QStringList StoreEntries(const QString& deviceDir)
    {
        QString relative = deviceDir;
        relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
        return QDir(QString::fromStdString((store() / "files").string()) + relative)
            .entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    }

    QList<int> RowsOf(const QStringList& names)
    {
        QList<int> rows;
        for (const QString& name : names)
            rows.append(m_explorer->listModel()->RowOf(name));
        return rows;
    }

    static QStringList ClipboardPaths()
    {
        return explorer::LocalPathsOf(QGuiApplication::clipboard()->mimeData());
    }

    // Starts a drop and waits until its dialog shows bytes copied.
    explorer::CCopyProgressDialog* StartUntilBytesCopied(const QStringList& drops)
    {
        Transfers().OnDropFiles(drops);
        explorer::CCopyProgressDialog* dialog = Transfers().progressDialog();
        if (!dialog)
            return nullptr;
        auto* copied = dialog->findChild<QLineEdit*>("bytesCopiedEdit");
        const bool shown = WaitFor([&] {
            dialog->Refresh();
            return !copied->text().isEmpty();
        });
        return shown ? dialog : nullptr;
    }

    void SetPolicy(int policy)
    {
        ASSERT_TRUE(settings::WriteDword(QStringLiteral("CopyFilesWhen"), quint32(policy)));
    }

    QString m_pc;
};

TEST(CopyProgressText, PercentBytesAndTimeLeft)
{
    using explorer::CopyPercent;
    EXPECT_EQ(CopyPercent(0, 1000), 0);
    EXPECT_EQ(CopyPercent(500, explorer::CopyJob::kUnknownTotal), 0);
    EXPECT_EQ(CopyPercent(60000, 120000), 50);
    EXPECT_EQ(CopyPercent(99999, 100000), 99);
    EXPECT_EQ(CopyPercent(3000000000ull, 6000000000ull), 50) << "past 32 bits";
    EXPECT_EQ(CopyPercent(1200, 1000), 100) << "a file that grew while copied";

    EXPECT_EQ(explorer::CopyByteText(1023), "1023 bytes");
    EXPECT_EQ(explorer::CopyByteText(1536), "1.50 Kb");
    EXPECT_EQ(explorer::CopyByteText(1048576), "1.00 Mb");
    EXPECT_EQ(explorer::CopyByteText(5000000000ull), "4768.37 Mb");

    using explorer::TimeRemainingText;
    EXPECT_EQ(TimeRemainingText(1, 50), "") << "no estimate in the first two seconds";
    EXPECT_EQ(TimeRemainingText(30, 0), "");
    EXPECT_EQ(TimeRemainingText(10, 50), "00:11");
    EXPECT_EQ(TimeRemainingText(3000, 10), "07:30:01");
    EXPECT_EQ(TimeRemainingText(100000, 50), "27:46:41") << "a long copy is not wrapped at 16 bits";
}

TEST(CopyNames, WhatEachSideCannotHold)
{
    EXPECT_EQ(explorer::DeviceNameProblem("fine name.txt"), "");
    EXPECT_EQ(explorer::DeviceNameProblem("a:b.txt"), "a device name cannot hold the character \":\".");
    EXPECT_EQ(explorer::DeviceNameProblem("why?"), "a device name cannot hold the character \"?\".");
    EXPECT_EQ(explorer::DeviceNameProblem("tab\there"), "a device name cannot hold the character \"\\x09\".");
    EXPECT_EQ(explorer::DeviceNameProblem("trailing."), "a device name cannot end with a dot or a space.");
    EXPECT_EQ(explorer::DeviceNameProblem(QString(256, 'n')), "a device name holds at most 255 characters.");
    EXPECT_EQ(explorer::DeviceNameProblem(QString(255, 'n')), "");
    // 255 UTF-16 units fit the device; in UTF-8 they need twice the bytes.
    EXPECT_EQ(
        explorer::LocalNameProblem(QString(200, QChar(0x0436))), "a file name here holds at most 255 bytes.");
    EXPECT_EQ(explorer::LocalNameProblem(QString(127, QChar(0x0436))), "");
}

TEST_F(FileTransferTest, FilesAroundTheBlockSizeArriveWholeBothWays)
{
    ASSERT_TRUE(MakeDir("\\In"));
    Open("\\In");
    const std::size_t sizes[] = { 0, 1, 59999, 60000, 60001, 120000 };
    QStringList drops, names;
    for (std::size_t size : sizes) {
        names.append(QStringLiteral("f%1.bin").arg(size));
        drops.append(PcFile(names.last(), Pattern(size)));
    }
    ASSERT_EQ(Transfer([&] { Transfers().OnDropFiles(drops); }), true);
    for (int i = 0; i < names.size(); ++i)
        EXPECT_EQ(GetDeviceFile("\\In\\" + names[i]), Pattern(sizes[i])) << names[i].toStdString();
    EXPECT_EQ(StoreEntries("\\In").size(), names.size()) << "a temporary file stayed behind";
    QStringList listed = ListNames(), sorted = names;
    listed.sort();
    sorted.sort();
    EXPECT_EQ(listed, sorted);

    ASSERT_EQ(Transfer([&] { Transfers().CopySelectionToClipboard(RowsOf(names)); }), true);
    QStringList expected;
    for (int i = 0; i < names.size(); ++i) {
        expected.append(QDir(explorer::ClipboardDir()).filePath(names[i]));
        EXPECT_EQ(ReadPc(expected.last()), Pattern(sizes[i])) << names[i].toStdString();
    }
    EXPECT_EQ(ClipboardPaths(), expected);
    EXPECT_EQ(m_prompter.Count(), 0);
}

TEST_F(FileTransferTest, YesToAllAndNoToAllAnswerForTheRestOfTheBatch)
{
    SetPolicy(explorer::kCopyPrompt);
    ASSERT_TRUE(MakeDir("\\Ow"));
    const QStringList names = { "one.txt", "two.txt", "three.txt" };
    QStringList drops;
    for (const QString& name : names) {
        ASSERT_TRUE(PutDated("\\Ow\\" + name, "old", QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6), Qt::UTC)));
        drops.append(PcFile(name, "newer"));
    }
    Open("\\Ow");
    m_prompter.QueueOverwriteAnswer(PromptAnswer::YesToAll);
    ASSERT_EQ(Transfer([&] { Transfers().OnDropFiles(drops); }), true);
    ASSERT_EQ(m_prompter.Count(), 1);
    const ScriptedPrompter::Record question = m_prompter.Records()[0];
    EXPECT_EQ(question.kind, ScriptedPrompter::Kind::Overwrite);
    EXPECT_EQ(question.caption, "Overwrite existing file ?");
    EXPECT_EQ(question.overwrite.fileName, "one.txt");
    EXPECT_EQ(question.overwrite.deviceDir, "\\Ow");
    EXPECT_EQ(question.overwrite.pcSizeText, "5");
    EXPECT_EQ(question.overwrite.deviceSizeText, "3");
    EXPECT_EQ(question.overwrite.deviceTimeText,
        QLocale::c().toString(QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6), Qt::UTC).toLocalTime(),
            QStringLiteral("MMM dd yyyy  HH:mm:ss")));
    EXPECT_FALSE(question.overwrite.focusOnNo) << "the PC's copy is the newer one";
    for (const QString& name : names)
        EXPECT_EQ(GetDeviceFile("\\Ow\\" + name), "newer");

    for (const QString& name : names)
        PcFile(name, "newest");
    m_prompter.QueueOverwriteAnswer(PromptAnswer::NoToAll);
    EXPECT_EQ(Transfer([&] { Transfers().OnDropFiles(drops); }), false) << "files left alone are not copied";
    EXPECT_EQ(m_prompter.Count(), 2);
    for (const QString& name : names)
        EXPECT_EQ(GetDeviceFile("\\Ow\\" + name), "newer");

    // "&Cancel" ends the batch at once; the check box changes the policy
    // whatever the answer.
    m_prompter.QueueOverwriteAnswer(PromptAnswer::Cancel, true);
    EXPECT_EQ(Transfer([&] { Transfers().OnDropFiles(drops); }), false);
    EXPECT_EQ(m_prompter.Count(), 3);
    EXPECT_EQ(GetDeviceFile("\\Ow\\three.txt"), "newer");
    EXPECT_EQ(explorer::CopyFilesWhen(), explorer::kCopyWhenNewer);
    EXPECT_EQ(m_prompter.UnexpectedCount(), 0);
}

TEST_F(FileTransferTest, PoliciesWithoutAQuestion)
{
    ASSERT_TRUE(MakeDir("\\P"));
    ASSERT_TRUE(PutDated("\\P\\stale.txt", "device", QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC)));
    ASSERT_TRUE(PutDated("\\P\\fresh.txt", "device", QDateTime(QDate(2090, 1, 1), QTime(0, 0), Qt::UTC)));
    const QString stale = PcFile("stale.txt", "pc"), fresh = PcFile("fresh.txt", "pc");
    const QString missing = PcFile("missing.txt", "pc");
    Open("\\P");

    SetPolicy(explorer::kCopyWhenNewer);
    // A device file that cannot be found is copied; a newer one is kept.
    EXPECT_EQ(Transfer([&] { Transfers().OnDropFiles({ stale, fresh, missing }); }), false);
    EXPECT_EQ(GetDeviceFile("\\P\\stale.txt"), "pc");
    EXPECT_EQ(GetDeviceFile("\\P\\fresh.txt"), "device");
    EXPECT_EQ(GetDeviceFile("\\P\\missing.txt"), "pc");

    PcFile("stale.txt", "pc again");
    SetPolicy(explorer::kCopyNever);
    EXPECT_EQ(Transfer([&] { Transfers().OnDropFiles({ stale }); }), false);
    EXPECT_EQ(GetDeviceFile("\\P\\stale.txt"), "pc");

    SetPolicy(explorer::kCopyAlways);
    EXPECT_EQ(Transfer([&] { Transfers().OnDropFiles({ stale, fresh }); }), true);
    EXPECT_EQ(GetDeviceFile("\\P\\stale.txt"), "pc again");
    EXPECT_EQ(GetDeviceFile("\\P\\fresh.txt"), "pc");
    EXPECT_EQ(m_prompter.Count(), 0);
}

TEST_F(FileTransferTest, CancelInTheMiddleKeepsTheDevicesOriginal)
{
    SetPolicy(explorer::kCopyAlways);
    ASSERT_TRUE(MakeDir("\\C"));
    ASSERT_TRUE(PutDeviceFile("\\C\\big.bin", "original"));
    Open("\\C");
    const QString pipe = QDir(m_pc).filePath("big.bin");
    PipeFeeder feeder(pipe, Pattern(150000), Pattern(150000));
    QSignalSpy finished(&Transfers(), &explorer::FileTransfers::finished);
    explorer::CCopyProgressDialog* dialog = StartUntilBytesCopied({ pipe });
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->windowTitle(), "Copy to device");
    auto* copied = dialog->findChild<QLineEdit*>("bytesCopiedEdit");
    EXPECT_EQ(dialog->findChild<QLineEdit*>("fromEdit")->text(), pipe);
    EXPECT_EQ(dialog->findChild<QLineEdit*>("toEdit")->text(), "\\C\\big.bin");
    EXPECT_TRUE(copied->text().endsWith(" Kb")) << copied->text().toStdString();
    QTest::mouseClick(dialog->findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
    feeder.Release();
    ASSERT_TRUE(WaitFor([&] { return finished.size() == 1; }));
    EXPECT_FALSE(finished.first().first().toBool());
    EXPECT_EQ(GetDeviceFile("\\C\\big.bin"), "original");
    EXPECT_EQ(StoreEntries("\\C"), QStringList({ "big.bin" }));
    EXPECT_EQ(m_prompter.Count(), 0);
    EXPECT_TRUE(WaitFor([&] { return Transfers().progressDialog() == nullptr; }));
}

TEST_F(FileTransferTest, ADeviceStoppedMidCopyLeavesNoHalfFileUnderTheFinalName)
{
    SetPolicy(explorer::kCopyAlways);
    ASSERT_TRUE(MakeDir("\\S"));
    ASSERT_TRUE(PutDeviceFile("\\S\\kept.bin", "original"));
    Open("\\S");
    const QString pipe = QDir(m_pc).filePath("kept.bin");
    const QString fresh = QDir(m_pc).filePath("fresh.bin");
    PcFile("fresh.bin", "never sent");
    PipeFeeder feeder(pipe, Pattern(150000), Pattern(150000));
    QSignalSpy finished(&Transfers(), &explorer::FileTransfers::finished);
    ASSERT_TRUE(StartUntilBytesCopied({ pipe, fresh }));
    // The link's reconnection finds no device and asks; the copy adds no
    // message of its own.
    m_prompter.QueueConnectionAnswer(devlink::ConnectionErrorAnswer::Cancel);
    m_prompter.QueueAnswer(PromptAnswer::Abort);
    StopDevice();
    feeder.Release();
    ASSERT_TRUE(WaitFor([&] { return finished.size() == 1; }, 60000));
    EXPECT_FALSE(finished.first().first().toBool());
    QFile kept(QString::fromStdString((store() / "files" / "S" / "kept.bin").string()));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("original"));
    EXPECT_FALSE(StoreEntries("\\S").contains("fresh.bin"));
    for (const ScriptedPrompter::Record& record : m_prompter.Records())
        EXPECT_TRUE(
            record.kind == ScriptedPrompter::Kind::ConnectionError || record.caption == "Connection error")
            << record.caption.toStdString() << ": " << record.text.toStdString();
    EXPECT_EQ(m_prompter.Count(), 2) << "the rest of the batch asked again";
    EXPECT_EQ(m_prompter.UnexpectedCount(), 0);
}

TEST_F(FileTransferTest, DropsOnThePanesLandInTheCurrentFolderAndAreSelected)
{
    SetPolicy(explorer::kCopyAlways);
    ASSERT_TRUE(MakeDir("\\D"));
    ASSERT_TRUE(MakeDir("\\D\\Sub"));
    explorer::ExplorerController& explorer = Open("\\D");
    QWidget window;
    auto* tree = new explorer::CFileDropTreeCtrl(&explorer, &window);
    auto* list = new explorer::CFileListCtrl(&explorer, &window);
    auto* layout = new QHBoxLayout(&window);
    layout->addWidget(tree);
    layout->addWidget(list);
    window.resize(700, 400);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    // The new tree's first current item moved the explorer; back to "\D".
    explorer.SelectDirectory("\\D", false);
    Settle();
    ASSERT_EQ(explorer.dirName(), "\\D");

    auto drop = [&](QWidget* target, const QPoint& at, const QStringList& paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls.append(QUrl::fromLocalFile(path));
        data.setUrls(urls);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent event(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &event);
        EXPECT_TRUE(event.isAccepted());
    };

    QSignalSpy finished(&Transfers(), &explorer::FileTransfers::finished);
    const QString one = PcFile("one.txt", "1"), two = PcFile("two.txt", "22");
    PcFile("Pics/a.bin", "a");
    PcFile("Pics/Deep/b.bin", "bb");
    drop(list->viewport(), { 20, 20 }, { one, two, QDir(m_pc).filePath("Pics") });
    ASSERT_TRUE(WaitFor([&] { return finished.size() == 1; }));
    EXPECT_TRUE(finished.first().first().toBool());
    Settle();
    QStringList selected;
    ASSERT_TRUE(WaitFor([&] { return list->SelectedRows().size() == 3; }));
    for (int row : list->SelectedRows())
        selected.append(explorer.listModel()->rowAt(row).name);
    EXPECT_EQ(selected, QStringList({ "Pics", "one.txt", "two.txt" }));
    EXPECT_EQ(GetDeviceFile("\\D\\Pics\\Deep\\b.bin"), "bb");
    EXPECT_NE(
        explorer::DirectoryTreeModel::ChildNamed(explorer.treeModel()->ItemOf("\\D\\Pics"), "Deep"), nullptr);

    // On the tree the folder under the pointer does not matter: the copy goes
    // to the current one.
    const QModelIndex sub = explorer.treeModel()->ItemOf("\\D\\Sub")->index();
    const QString three = PcFile("three.txt", "333");
    drop(tree->viewport(), tree->visualRect(sub).center(), { three });
    ASSERT_TRUE(WaitFor([&] { return finished.size() == 2; }));
    Settle();
    EXPECT_EQ(GetDeviceFile("\\D\\three.txt"), "333");
    EXPECT_FALSE(DeviceFileThere("\\D\\Sub\\three.txt"));
    EXPECT_EQ(m_prompter.Count(), 0);
}

TEST_F(FileTransferTest, ClipboardRoundTripAndAnotherProgramTakingIt)
{
    SetPolicy(explorer::kCopyAlways);
    ASSERT_TRUE(MakeDir("\\Src"));
    ASSERT_TRUE(MakeDir("\\Src\\Sub"));
    ASSERT_TRUE(MakeDir("\\Dst"));
    ASSERT_TRUE(PutDeviceFile("\\Src\\a.txt", "alpha"));
    ASSERT_TRUE(PutDeviceFile("\\Src\\Sub\\b.txt", "beta"));
    // Reading a device file changes none of its attributes.
    ASSERT_TRUE(SetAttributes("\\Src\\a.txt", explorer::kAttributeReadOnly | explorer::kAttributeHidden));
    explorer::ExplorerController& explorer = Open("\\Src");

    ASSERT_EQ(Transfer([&] { Transfers().CopySelectionToClipboard(RowsOf({ "Sub", "a.txt" })); }), true);
    const QDir clip(explorer::ClipboardDir());
    EXPECT_EQ(ClipboardPaths(), QStringList({ clip.filePath("Sub"), clip.filePath("a.txt") }));
    EXPECT_EQ(ReadPc(clip.filePath("Sub/b.txt")), "beta");
    EXPECT_EQ(ReadPc(clip.filePath("a.txt")), "alpha");
    EXPECT_EQ(Device().CeGetFileAttributes(u"\\Src\\a.txt"),
        DWORD(explorer::kAttributeReadOnly | explorer::kAttributeHidden));

    explorer.SelectDirectory("\\Dst", false);
    Settle();
    ASSERT_EQ(Transfer([&] { Transfers().PasteFromClipboard(); }), true);
    EXPECT_EQ(GetDeviceFile("\\Dst\\a.txt"), "alpha");
    EXPECT_EQ(GetDeviceFile("\\Dst\\Sub\\b.txt"), "beta");
    EXPECT_EQ(ListNames(), QStringList({ "Sub", "a.txt" }));

    // The tree's "Copy": the current folder as one folder on the clipboard.
    explorer.SelectDirectory("\\Src", false);
    Settle();
    ASSERT_EQ(Transfer([&] { Transfers().CopyTreeDirectoryToClipboard(); }), true);
    EXPECT_EQ(ClipboardPaths(), QStringList({ clip.filePath("Src") }));
    EXPECT_EQ(ReadPc(clip.filePath("Src/Sub/b.txt")), "beta");
    EXPECT_FALSE(QFileInfo::exists(clip.filePath("a.txt"))) << "the clipboard folder was not emptied first";
    EXPECT_TRUE(Transfers().ownsClipboard());

    QGuiApplication::clipboard()->setText(QStringLiteral("another program's text"));
    EXPECT_TRUE(WaitFor([&] { return !Transfers().ownsClipboard(); }, 5000));
    EXPECT_EQ(clip.entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    EXPECT_EQ(m_prompter.Count(), 0);
}

TEST_F(FileTransferTest, ADragFetchesTheFilesOnlyWhenATargetAsksForThem)
{
    ASSERT_TRUE(MakeDir("\\Dr"));
    ASSERT_TRUE(MakeDir("\\Dr\\Sub"));
    ASSERT_TRUE(PutDeviceFile("\\Dr\\a.txt", "alpha"));
    ASSERT_TRUE(PutDeviceFile("\\Dr\\Sub\\b.txt", "beta"));
    Open("\\Dr");
    const QDir drag(explorer::DragDropDir());
    std::unique_ptr<QMimeData> data(Transfers().PrepareDrag(RowsOf({ "Sub", "a.txt" })));
    ASSERT_TRUE(data);
    EXPECT_TRUE(data->hasUrls());
    EXPECT_EQ(ReadPc(drag.filePath("a.txt")), "") << "copied before a target asked";
    EXPECT_TRUE(QFileInfo(drag.filePath("Sub")).isDir());
    EXPECT_FALSE(QFileInfo::exists(drag.filePath("Sub/b.txt")));

    const QList<QUrl> urls = data->urls();
    EXPECT_EQ(urls,
        QList<QUrl>(
            { QUrl::fromLocalFile(drag.filePath("Sub")), QUrl::fromLocalFile(drag.filePath("a.txt")) }));
    EXPECT_EQ(ReadPc(drag.filePath("a.txt")), "alpha");
    EXPECT_EQ(ReadPc(drag.filePath("Sub/b.txt")), "beta");
    EXPECT_EQ(data->urls(), urls);

    // The next drag starts from placeholders again; ending it without a
    // target copies nothing.
    std::unique_ptr<QMimeData> refused(Transfers().PrepareDrag(RowsOf({ "a.txt" })));
    ASSERT_TRUE(refused);
    refused.reset();
    Settle();
    EXPECT_EQ(ReadPc(drag.filePath("a.txt")), "");
    EXPECT_FALSE(QFileInfo::exists(drag.filePath("Sub")));
    EXPECT_EQ(m_prompter.Count(), 0);
}

TEST_F(FileTransferTest, RefusedNamesMissingSourcesAndAReadOnlyTargetAreToldAndTheRestCopied)
{
    SetPolicy(explorer::kCopyAlways);
    ASSERT_TRUE(MakeDir("\\R"));
    ASSERT_TRUE(PutDeviceFile("\\R\\ro.txt", "kept"));
    ASSERT_TRUE(SetAttributes("\\R\\ro.txt", explorer::kAttributeReadOnly));
    Open("\\R");
    const QString colon = PcFile("a:b.txt", "x"), dotted = PcFile("dotted.", "y");
    const QString missing = QDir(m_pc).filePath("gone.txt");
    const QString readOnly = PcFile("ro.txt", "new"), fine = PcFile("fine.txt", "z");
    EXPECT_EQ(Transfer([&] { Transfers().OnDropFiles({ colon, dotted, missing, readOnly, fine }); }), false);
    EXPECT_EQ(GetDeviceFile("\\R\\fine.txt"), "z");
    EXPECT_EQ(GetDeviceFile("\\R\\ro.txt"), "kept");
    EXPECT_EQ(StoreEntries("\\R"), QStringList({ "fine.txt", "ro.txt" }));
    const QList<ScriptedPrompter::Record> records = m_prompter.Records();
    ASSERT_EQ(records.size(), 4);
    EXPECT_EQ(records[0].caption, "Copy Error");
    EXPECT_EQ(records[0].text,
        "\"" + colon
            + "\" cannot be copied to the device:\r\na device name cannot hold the character \":\".");
    EXPECT_EQ(records[1].text,
        "\"" + dotted
            + "\" cannot be copied to the device:\r\na device name cannot end with a dot or a space.");
    EXPECT_EQ(records[2].caption, "Copy Error");
    EXPECT_EQ(records[2].text,
        "The following error has occured whilst copying:\r\n" + missing
            + "\r\n\r\nError:No such file or directory");
    EXPECT_EQ(records[3].caption, "CopyToDevice Error 1");
    EXPECT_EQ(records[3].text,
        "Could not create \"\\R\\ro.txt\".\r\nError: " + devlink::DeviceErrorText(ERROR_ACCESS_DENIED)
            + "\r\n");
    EXPECT_EQ(records[3].icon, devlink::PromptIcon::Warning);
}

TEST_F(FileTransferTest, ALongDropListNeedsNoFixedBuffer)
{
    SetPolicy(explorer::kCopyAlways);
    ASSERT_TRUE(MakeDir("\\L"));
    explorer::ExplorerController& explorer = Open("\\L");
    QStringList drops;
    // 300 paths of over 200 characters: far more than 30000 bytes as UTF-16.
    for (int i = 0; i < 300; ++i)
        drops.append(
            PcFile(QStringLiteral("%1-%2.txt").arg(i, 3, 10, QLatin1Char('0')).arg(QString(200, 'p')),
                std::to_string(i)));
    QSignalSpy selected(&Transfers(), &explorer::FileTransfers::filesSelected);
    ASSERT_EQ(Transfer([&] { Transfers().OnDropFiles(drops); }), true);
    EXPECT_EQ(explorer.listModel()->rowCount(), 300);
    EXPECT_EQ(StoreEntries("\\L").size(), 300);
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected.first().first().toStringList().size(), 300);
    EXPECT_EQ(GetDeviceFile("\\L\\299-" + QString(200, 'p') + ".txt"), "299");
}

TEST_F(FileTransferTest, ACabCopiedWithAutoInstallAsksForItsInstallation)
{
    SetPolicy(explorer::kCopyAlways);
    ASSERT_TRUE(MakeDir("\\Cab"));
    Open("\\Cab");
    QSignalSpy install(&Transfers(), &explorer::FileTransfers::cabInstallRequested);
    const QString cab = PcFile("Setup.CAB", "MSCF");
    ASSERT_TRUE(settings::WriteDword(QStringLiteral("AutoInstallCABs"), 0));
    ASSERT_EQ(Transfer([&] { Transfers().OnDropFiles({ cab }); }), true);
    EXPECT_EQ(install.size(), 0);
    ASSERT_TRUE(settings::WriteDword(QStringLiteral("AutoInstallCABs"), 1));
    ASSERT_EQ(Transfer([&] { Transfers().OnDropFiles({ cab, PcFile("notes.txt", "n") }); }), true);
    ASSERT_EQ(install.size(), 1);
    EXPECT_EQ(install.first().first().toString(), "\\Cab\\Setup.CAB");
}

} // namespace
