// The registry editor window on a real device: the locked editor, what the
// tree and the list show, new keys, navigation to a path that has gone,
// value deletion with a failure, the edit dialog, and export and import of
// a key through ".reg" files.
#include "WindowFixture.h"

#include "desktop/settings/SettingsStore.h"
#include "desktop/tools/CRegistryDialogs.h"
#include "desktop/tools/CRegistryEditor.h"
#include "desktop/ui/DeviceNoticeEvents.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>

using namespace windowtest;
using linktest::U;

namespace {

class RegistryEditorTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        StartAndConnect();
    }

    static void Unlock() { ASSERT_TRUE(settings::WriteDword(QStringLiteral("EditRegistry"), 7)); }

    tools::CRegistryEditor* OpenEditor()
    {
        m_editor = new tools::CRegistryEditor(false);
        m_editor->show();
        m_tree = m_editor->findChild<QTreeView*>(QStringLiteral("registryTree"));
        m_list = m_editor->findChild<QTreeView*>(QStringLiteral("valueList"));
        m_path = m_editor->findChild<QLineEdit*>(QStringLiteral("registryPath"));
        Settle();
        return m_editor;
    }

    // Waits until the editor's device work is done.
    void Settle()
    {
        ASSERT_TRUE(WaitFor([this] { return !m_editor->model()->busy(); }));
        QCoreApplication::processEvents();
    }

    void Go(const QString& path)
    {
        m_editor->NavigateToThisRegistryKey(path);
        Settle();
    }

    // A value of any type under HKEY_LOCAL_MACHINE, through the device's own side.
    void SetValue(const QString& key, const QString& name, DWORD type, const QByteArray& data)
    {
        const std::u16string keyName = U(key), valueName = U(name);
        HKEY h = 0;
        DWORD disposition = 0;
        ASSERT_EQ(Device().CeRegCreateKeyEx(
                      HKEY_LOCAL_MACHINE, keyName.c_str(), 0, nullptr, 0, 0, nullptr, &h, &disposition),
            0);
        EXPECT_EQ(Device().CeRegSetValueEx(h, valueName.c_str(), 0, type,
                      reinterpret_cast<const BYTE*>(data.constData()), DWORD(data.size())),
            0);
        Device().CeRegCloseKey(h);
    }

    void MakeKey(const QString& key)
    {
        const std::u16string keyName = U(key);
        HKEY h = 0;
        DWORD disposition = 0;
        ASSERT_EQ(Device().CeRegCreateKeyEx(
                      HKEY_LOCAL_MACHINE, keyName.c_str(), 0, nullptr, 0, 0, nullptr, &h, &disposition),
            0);
        Device().CeRegCloseKey(h);
    }

    bool KeyThere(const QString& key)
    {
        const std::u16string keyName = U(key);
        HKEY h = 0;
        if (Device().CeRegOpenKeyEx(HKEY_LOCAL_MACHINE, keyName.c_str(), 0, 0, &h) != 0)
            return false;
        Device().CeRegCloseKey(h);
        return true;
    }

    static QByteArray Text(const QString& text)
    {
        return QByteArray(reinterpret_cast<const char*>(text.utf16()), (text.size() + 1) * 2);
    }

    QStringList Column(int column) const
    {
        QStringList texts;
        for (int row = 0; row < m_list->model()->rowCount(); ++row)
            texts.append(m_list->model()->index(row, column).data().toString());
        return texts;
    }

    QStringList Children(const QString& path) const
    {
        QStringList names;
        const QModelIndex index = m_editor->model()->IndexOfPath(path);
        for (int row = 0; row < m_tree->model()->rowCount(index); ++row)
            names.append(m_tree->model()->index(row, 0, index).data().toString());
        return names;
    }

    void SelectValueRows(const QStringList& names)
    {
        m_list->clearSelection();
        const QStringList shown = Column(0);
        for (const QString& name : names)
            m_list->selectionModel()->select(m_list->model()->index(int(shown.indexOf(name)), 0),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    // Messages are asked off the window thread: waits for the n-th.
    bool WaitForPrompts(int count)
    {
        return WaitFor([this, count] { return m_prompter.Count() >= count; }, 10000);
    }

    void PressKey(QWidget* widget, Qt::Key key)
    {
        widget->setFocus();
        QTest::keyClick(widget, key);
    }

    QAction* TreeAction(const char* name)
    {
        QMenu* menu = m_editor->ShowTreeMenu(m_tree->visualRect(m_tree->currentIndex()).center());
        QAction* action = menu->findChild<QAction*>(QString::fromLatin1(name));
        menu->close();
        return action;
    }

    tools::CRegistryEditor* m_editor = nullptr;
    QTreeView* m_tree = nullptr;
    QTreeView* m_list = nullptr;
    QLineEdit* m_path = nullptr;
};

// Any number in "EditRegistry" but the unlocking one keeps the editor from
// changing the device; the explanation names the setting and the number.
TEST_F(RegistryEditorTest, TheLockedEditorExplainsHowToUnlockAndChangesNothing)
{
    ASSERT_TRUE(settings::WriteDword(QStringLiteral("EditRegistry"), 8));
    SetValue(QStringLiteral("Software\\Locked"), QStringLiteral("keep"), REG_SZ, Text(QStringLiteral("me")));
    OpenEditor();
    EXPECT_TRUE(m_editor->findChild<QLabel*>(QStringLiteral("readOnlyLabel"))->isVisible());
    Go(QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Locked"));
    SelectValueRows({ QStringLiteral("keep") });
    PressKey(m_list, Qt::Key_Delete);

    auto* explanation
        = WaitForWindow<tools::CRegistryReadOnlyDialog>(QStringLiteral("registryReadOnlyDialog"));
    ASSERT_NE(explanation, nullptr);
    auto* how = explanation->findChild<QLabel*>(QStringLiteral("howText"));
    EXPECT_FALSE(how->isVisible());
    QTest::mouseClick(explanation->findChild<QPushButton*>(QStringLiteral("howButton")), Qt::LeftButton);
    EXPECT_TRUE(how->isVisible());
    EXPECT_TRUE(how->text().contains(QStringLiteral("\"EditRegistry\" to 7"))) << how->text().toStdString();
    EXPECT_TRUE(how->text().contains(settings::BaseKey()));
    explanation->accept();

    // Neither the list's commands nor the tree's reach the device.
    m_editor->model()->CreateNewKey();
    m_editor->model()->DeleteSelectedKey();
    Settle();
    DWORD type = 0;
    std::string data;
    EXPECT_TRUE(GetDeviceValue(QStringLiteral("\\Software\\Locked"), QStringLiteral("keep"), &type, &data));
    EXPECT_TRUE(KeyThere(QStringLiteral("Software\\Locked")));
    EXPECT_EQ(Children(QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Locked")), QStringList());
    EXPECT_EQ(m_prompter.Count(), 0);
}

// The three roots with their placeholders, the list of an empty key, the
// data texts of every type (a multi-string with CRs), and the last visited
// key kept for the next opening.
TEST_F(RegistryEditorTest, TheTreeAndTheListShowWhatTheDeviceHolds)
{
    MakeKey(QStringLiteral("Software\\Shown\\Empty"));
    const QString key = QStringLiteral("Software\\Shown\\Typed");
    const QByteArray multi("a\0\0\0b\0\0\0\0\0", 10);
    SetValue(key, QStringLiteral("multi"), REG_MULTI_SZ, multi);
    SetValue(key, QStringLiteral("number"), REG_DWORD, QByteArray("\x2a\0\0\0", 4));
    SetValue(key, QStringLiteral("big"), REG_DWORD_BIG_ENDIAN, QByteArray("\x01\x02\x03\x04", 4));
    SetValue(key, QStringLiteral("bytes"), REG_BINARY, QByteArray("\x00\xff\x10", 3));
    SetValue(key, QStringLiteral("path"), REG_EXPAND_SZ, Text(QStringLiteral("%WINDIR%")));
    SetValue(key, QStringLiteral("odd"), 0x1234, QByteArray("\x01\x02", 2));
    SetValue(key, QStringLiteral("Default"), REG_SZ, Text(QStringLiteral("named default")));
    OpenEditor();

    const QModelIndex top = m_tree->model()->index(0, 0);
    EXPECT_EQ(top.data().toString(), QStringLiteral("Mobile Device"));
    EXPECT_EQ(Children(QStringLiteral("HKEY_LOCAL_MACHINE")), QStringList({ QStringLiteral("HIDDEN_TEXT") }));
    QStringList roots;
    for (int row = 0; row < m_tree->model()->rowCount(top); ++row)
        roots.append(m_tree->model()->index(row, 0, top).data().toString());
    EXPECT_EQ(roots,
        QStringList({ QStringLiteral("HKEY_CLASSES_ROOT"), QStringLiteral("HKEY_CURRENT_USER"),
            QStringLiteral("HKEY_LOCAL_MACHINE") }));

    Go(QStringLiteral("hkey_local_machine\\software\\shown\\empty"));
    EXPECT_EQ(m_path->text(), QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Shown\\Empty"));
    EXPECT_EQ(Column(0), QStringList({ QStringLiteral("(Default)") }));
    EXPECT_EQ(Column(2), QStringList({ QStringLiteral("(value not set)") }));
    // A key with sub-keys is expandable before it is read; one without is not.
    EXPECT_EQ(Children(QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Shown")),
        QStringList({ QStringLiteral("Empty"), QStringLiteral("Typed") }));
    EXPECT_EQ(Children(QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Shown\\Typed")), QStringList());

    Go(QStringLiteral("HKEY_LOCAL_MACHINE\\") + key);
    // In the device's order (by name), the value named "Default" in the first row.
    EXPECT_EQ(Column(0),
        QStringList({ QStringLiteral("(Default)"), QStringLiteral("big"), QStringLiteral("bytes"),
            QStringLiteral("multi"), QStringLiteral("number"), QStringLiteral("odd"),
            QStringLiteral("path") }));
    EXPECT_EQ(Column(1),
        QStringList({ QStringLiteral("REG_SZ"), QStringLiteral("REG_DWORD_BIG_ENDIAN"),
            QStringLiteral("REG_BINARY"), QStringLiteral("REG_MULTI_SZ"), QStringLiteral("REG_DWORD"),
            QStringLiteral("REG_0x1234"), QStringLiteral("REG_EXPAND_SZ") }));
    EXPECT_EQ(Column(2),
        QStringList({ QStringLiteral("named default"), QStringLiteral("0x01020304"), QStringLiteral("00ff10"),
            QStringLiteral("a\rb"), QStringLiteral("0x0000002a"), QStringLiteral("0102"),
            QStringLiteral("%WINDIR%") }));
    QList<int> images;
    for (int row = 0; row < 7; ++row)
        images.append(
            m_list->model()->index(row, 0).data(tools::RegistryEditorModel::ValueImageRole).toInt());
    EXPECT_EQ(images, QList<int>({ 3, 4, 5, 6, 4, 5, 7 }));

    // Showing a value never changes it: "Default" keeps its name.
    DWORD type = 0;
    std::string data;
    EXPECT_TRUE(GetDeviceValue(QStringLiteral("\\") + key, QStringLiteral("Default"), &type, &data));

    delete m_editor;
    QString last;
    ASSERT_TRUE(settings::ReadString(QStringLiteral("RegistryLastVisited"), &last));
    EXPECT_EQ(last, QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Shown\\Typed"));
    OpenEditor();
    EXPECT_EQ(m_path->text(), last);
    EXPECT_EQ(Column(0).size(), 7);
}

// Two new keys in a row under one key: "New key", then "New key 2"; each is
// on the device once its name is confirmed. Delete then takes one of them
// with its sub-keys, and F2 renames the other with what lies below it.
TEST_F(RegistryEditorTest, TwoNewKeysInARowAreNumberedThenDeletedAndRenamedWithTheirSubKeys)
{
    Unlock();
    MakeKey(QStringLiteral("Software\\Parent"));
    OpenEditor();
    Go(QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Parent"));
    for (int i = 0; i < 2; ++i) {
        Go(QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Parent"));
        TreeAction("newKeyAction")->trigger();
        Settle();
        auto* editor = m_tree->viewport()->findChild<QLineEdit*>();
        ASSERT_NE(editor, nullptr);
        const QString name = i == 0 ? QStringLiteral("New key") : QStringLiteral("New key 2");
        EXPECT_EQ(editor->text(), name);
        EXPECT_FALSE(KeyThere(QStringLiteral("Software\\Parent\\") + name));
        // The edit ends a moment after Enter; the key is made then.
        QTest::keyClick(editor, Qt::Key_Return);
        ASSERT_TRUE(WaitFor([&] { return KeyThere(QStringLiteral("Software\\Parent\\") + name); }, 10000));
        Settle();
    }
    EXPECT_EQ(m_path->text(), QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Parent\\New key 2"));
    EXPECT_EQ(Children(QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Parent")),
        QStringList({ QStringLiteral("New key"), QStringLiteral("New key 2") }));

    // Delete on the tree asks, then takes the key with its sub-keys; the
    // parent is selected.
    MakeKey(QStringLiteral("Software\\Parent\\New key 2\\Deeper"));
    m_prompter.QueueAnswer(devlink::PromptAnswer::Yes);
    PressKey(m_tree, Qt::Key_Delete);
    ASSERT_TRUE(WaitForPrompts(1));
    Settle();
    EXPECT_EQ(m_prompter.Records().first().text,
        QStringLiteral("This will delete the following registry key, and any subkeys.\r\n\r\n"
                       "HKEY_LOCAL_MACHINE\\Software\\Parent\\New key 2\r\n\r\nAre you sure ?\r\n"));
    EXPECT_EQ(m_prompter.Records().first().buttons, devlink::PromptButtons::YesNoCancel);
    EXPECT_TRUE(WaitFor([&] { return !KeyThere(QStringLiteral("Software\\Parent\\New key 2")); }, 10000));
    Settle();
    EXPECT_EQ(m_path->text(), QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Parent"));
    EXPECT_EQ(Children(QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Parent")),
        QStringList({ QStringLiteral("New key") }));

    // F2 renames a key with what lies below it.
    SetValue(QStringLiteral("Software\\Parent\\New key\\Sub"), QStringLiteral("v"), REG_SZ,
        Text(QStringLiteral("kept")));
    Go(QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Parent\\New key"));
    PressKey(m_tree, Qt::Key_F2);
    auto* label = m_tree->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(label, nullptr);
    label->setText(QStringLiteral("Renamed"));
    QTest::keyClick(label, Qt::Key_Return);
    ASSERT_TRUE(WaitFor([&] { return !KeyThere(QStringLiteral("Software\\Parent\\New key")); }, 10000));
    Settle();
    DWORD type = 0;
    std::string data;
    EXPECT_TRUE(GetDeviceValue(
        QStringLiteral("\\Software\\Parent\\Renamed\\Sub"), QStringLiteral("v"), &type, &data));
    EXPECT_EQ(m_path->text(), QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Parent\\Renamed"));
    EXPECT_EQ(Children(QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Parent\\Renamed")),
        QStringList({ QStringLiteral("Sub") }));
}

// A path whose last part has gone selects the deepest key that exists; a
// key deleted on the device while it is shown is reported and the tree
// drops it.
TEST_F(RegistryEditorTest, APathThatHasGoneEndsAtTheDeepestExistingKey)
{
    MakeKey(QStringLiteral("Software\\A\\B"));
    ASSERT_TRUE(settings::WriteString(
        QStringLiteral("RegistryLastVisited"), QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\A\\B\\C\\D")));
    OpenEditor();
    EXPECT_EQ(m_path->text(), QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\A\\B"));
    EXPECT_EQ(m_editor->model()->PathOf(m_tree->currentIndex()), m_path->text());

    ASSERT_TRUE(DeleteDeviceKey(QStringLiteral("Software\\A\\B")));
    PressKey(m_list, Qt::Key_F5);
    Settle();
    ASSERT_TRUE(WaitForPrompts(1));
    ASSERT_EQ(m_prompter.Count(), 1);
    const auto record = m_prompter.Records().first();
    EXPECT_EQ(record.caption, QStringLiteral("Error"));
    EXPECT_EQ(record.text,
        QStringLiteral(
            "Cannot find the registry key: HKEY_LOCAL_MACHINE\\Software\\A\\B.\r\nThis registry key may "
            "have been moved or deleted."));
    EXPECT_EQ(record.icon, devlink::PromptIcon::Information);
    EXPECT_EQ(m_path->text(), QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\A"));
    EXPECT_EQ(Children(QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\A")), QStringList());
}

// Three values chosen, one of them gone from the device before the answer:
// two are deleted and the warning says so; "Don't ask me again." sticks.
TEST_F(RegistryEditorTest, DeletingThreeValuesOfWhichOneFailsWarns)
{
    Unlock();
    const QString key = QStringLiteral("Software\\Three");
    for (const char* name : { "x", "y", "z", "w" })
        SetValue(key, QString::fromLatin1(name), REG_SZ, Text(QStringLiteral("v")));
    OpenEditor();
    Go(QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Three"));
    SelectValueRows({ QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("z") });
    PressKey(m_list, Qt::Key_Delete);
    auto* confirm = WaitForWindow<tools::CDeleteValuesDialog>(QStringLiteral("deleteValuesDialog"));
    ASSERT_NE(confirm, nullptr);
    EXPECT_EQ(confirm->findChild<QLabel*>(QStringLiteral("deleteText"))->text(),
        QStringLiteral("This will delete these 3 values."));
    const std::u16string keyName = U(QStringLiteral("\\") + key), y = U(QStringLiteral("y"));
    HKEY h = 0;
    ASSERT_EQ(Device().CeRegOpenKeyEx(HKEY_LOCAL_MACHINE, keyName.c_str(), 0, 0, &h), 0);
    ASSERT_EQ(Device().CeRegDeleteValue(h, y.c_str()), 0);
    Device().CeRegCloseKey(h);
    confirm->findChild<QCheckBox*>(QStringLiteral("dontAskBox"))->setChecked(true);
    QTest::mouseClick(confirm->findChild<QPushButton*>(QStringLiteral("yesButton")), Qt::LeftButton);
    Settle();

    ASSERT_EQ(m_prompter.Count(), 1);
    EXPECT_EQ(m_prompter.Records().first().caption, QStringLiteral("Quorvane"));
    EXPECT_EQ(m_prompter.Records().first().text,
        QStringLiteral("Warning: Only 2 of the 3 values could be deleted."));
    EXPECT_EQ(Column(0), QStringList({ QStringLiteral("(Default)"), QStringLiteral("w") }));
    quint32 confirmSetting = 1;
    ASSERT_TRUE(settings::ReadDword(QStringLiteral("RegistryDelete"), &confirmSetting));
    EXPECT_EQ(confirmSetting, 0u);

    // Not asked any more.
    SelectValueRows({ QStringLiteral("w") });
    PressKey(m_list, Qt::Key_Delete);
    Settle();
    EXPECT_EQ(Column(0), QStringList({ QStringLiteral("(Default)") }));
}

// The edit dialog: a DWORD typed in decimal or hex, a multi-string one line
// each, binary as hex pairs, an empty name refused, and a rename by F2.
TEST_F(RegistryEditorTest, TheEditDialogStoresEachTypeAsTyped)
{
    Unlock();
    MakeKey(QStringLiteral("Software\\Edit"));
    OpenEditor();
    Go(QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Edit"));

    const auto newValue = [this](DWORD type, const QString& name) {
        m_editor->NewValue(type);
        auto* dialog = WaitForWindow<tools::CRegistryEditDialog>(QStringLiteral("registryEditDialog"));
        dialog->findChild<QLineEdit*>(QStringLiteral("valueNameEdit"))->setText(name);
        return dialog;
    };
    auto* dialog = newValue(REG_DWORD, QString());
    dialog->findChild<QLineEdit*>(QStringLiteral("valueDataEdit"))->setText(QStringLiteral("ff"));
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("okButton")), Qt::LeftButton);
    Settle();
    ASSERT_TRUE(WaitForPrompts(1));
    ASSERT_EQ(m_prompter.Count(), 1);
    EXPECT_EQ(m_prompter.Records().first().text,
        QStringLiteral("Please enter a name for this new Registry Value."));
    EXPECT_TRUE(dialog->isVisible());
    dialog->findChild<QLineEdit*>(QStringLiteral("valueNameEdit"))->setText(QStringLiteral("hex"));
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("okButton")), Qt::LeftButton);
    Settle();

    dialog = newValue(REG_DWORD, QStringLiteral("dec"));
    dialog->findChild<QRadioButton*>(QStringLiteral("decimalButton"))->setChecked(true);
    dialog->findChild<QLineEdit*>(QStringLiteral("valueDataEdit"))->setText(QStringLiteral("4294967295"));
    dialog->accept();
    Settle();
    dialog = newValue(REG_MULTI_SZ, QStringLiteral("lines"));
    dialog->findChild<QPlainTextEdit*>(QStringLiteral("valueDataText"))
        ->setPlainText(QStringLiteral("one\ntwo"));
    dialog->accept();
    Settle();
    dialog = newValue(REG_BINARY, QStringLiteral("blob"));
    dialog->findChild<QPlainTextEdit*>(QStringLiteral("valueDataText"))
        ->setPlainText(QStringLiteral("de ad\nbe ef"));
    dialog->accept();
    Settle();

    const QString deviceKey = QStringLiteral("\\Software\\Edit");
    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(GetDeviceValue(deviceKey, QStringLiteral("hex"), &type, &data));
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(data, std::string("\xff\0\0\0", 4));
    ASSERT_TRUE(GetDeviceValue(deviceKey, QStringLiteral("dec"), &type, &data));
    EXPECT_EQ(data, std::string("\xff\xff\xff\xff", 4));
    ASSERT_TRUE(GetDeviceValue(deviceKey, QStringLiteral("lines"), &type, &data));
    EXPECT_EQ(type, REG_MULTI_SZ);
    EXPECT_EQ(data, std::string("o\0n\0e\0\0\0t\0w\0o\0\0\0\0\0", 18));
    ASSERT_TRUE(GetDeviceValue(deviceKey, QStringLiteral("blob"), &type, &data));
    EXPECT_EQ(data, "\xde\xad\xbe\xef");

    // A rename keeps type and data; onto another value's name it is refused.
    const int blobRow = int(Column(0).indexOf(QStringLiteral("blob")));
    m_editor->model()->RenameValue(blobRow, QStringLiteral("hex"));
    Settle();
    ASSERT_TRUE(WaitForPrompts(2));
    EXPECT_EQ(m_prompter.Records().last().text,
        QStringLiteral("Unable to rename registry value \"blob\" to \"hex\"\r\n"));
    ASSERT_TRUE(GetDeviceValue(deviceKey, QStringLiteral("hex"), &type, &data));
    EXPECT_EQ(type, REG_DWORD);
    m_editor->model()->RenameValue(int(Column(0).indexOf(QStringLiteral("blob"))), QStringLiteral("renamed"));
    Settle();
    EXPECT_FALSE(GetDeviceValue(deviceKey, QStringLiteral("blob"), &type, &data));
    ASSERT_TRUE(GetDeviceValue(deviceKey, QStringLiteral("renamed"), &type, &data));
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(data, "\xde\xad\xbe\xef");
}

// A key with every type (a 1 MB binary value and an unknown type among them)
// goes to a ".reg" file and comes back byte for byte; a file with an error
// changes nothing and names its line.
TEST_F(RegistryEditorTest, ExportAndImportRoundTripAndABadFileChangesNothing)
{
    Unlock();
    const QString key = QStringLiteral("Software\\Trip");
    QByteArray large(1000 * 1000, '\0');
    for (int i = 0; i < large.size(); ++i)
        large[i] = char((i * 7) & 0xff);
    const QList<std::tuple<QString, DWORD, QByteArray>> values = {
        { QString(), REG_SZ, Text(QStringLiteral("unnamed")) },
        { QStringLiteral("text \"q\" \\ [x] = é"), REG_SZ, Text(QStringLiteral("a\"b\\c")) },
        { QStringLiteral("expand"), REG_EXPAND_SZ, Text(QStringLiteral("%TEMP%")) },
        { QStringLiteral("multi"), REG_MULTI_SZ, QByteArray("a\0\0\0b\0\0\0\0\0", 10) },
        { QStringLiteral("dword"), REG_DWORD, QByteArray("\x01\x02\x03\x04", 4) },
        { QStringLiteral("big"), REG_DWORD_BIG_ENDIAN, QByteArray("\x01\x02\x03\x04", 4) },
        { QStringLiteral("large"), REG_BINARY, large },
        { QStringLiteral("odd"), 0x1234, QByteArray("\x05", 1) },
    };
    for (const auto& [name, type, data] : values)
        SetValue(key, name, type, data);
    SetValue(key + QStringLiteral("\\Sub"), QStringLiteral("s"), REG_SZ, Text(QStringLiteral("below")));
    OpenEditor();
    Go(QStringLiteral("HKEY_LOCAL_MACHINE\\") + key);

    const QString file = QString::fromStdString((home() / "trip.reg").string());
    m_editor->model()->ExportKey(file);
    Settle();
    EXPECT_EQ(m_prompter.Count(), 0);
    ASSERT_TRUE(QFile::exists(file));
    ASSERT_TRUE(DeleteDeviceKey(key));

    m_editor->model()->ImportFile(file);
    Settle();
    EXPECT_EQ(m_prompter.Count(), 0);
    const std::u16string keyName = U(key);
    HKEY h = 0;
    ASSERT_EQ(Device().CeRegOpenKeyEx(HKEY_LOCAL_MACHINE, keyName.c_str(), 0, 0, &h), 0);
    for (const auto& [name, type, data] : values) {
        const std::u16string valueName = U(name);
        std::vector<BYTE> buffer(large.size() + 16);
        DWORD size = DWORD(buffer.size()), readType = 0;
        ASSERT_EQ(
            Device().CeRegQueryValueEx(h, valueName.c_str(), nullptr, &readType, buffer.data(), &size), 0)
            << name.toStdString();
        EXPECT_EQ(readType, type) << name.toStdString();
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(buffer.data()), size), data) << name.toStdString();
    }
    Device().CeRegCloseKey(h);
    EXPECT_TRUE(KeyThere(key + QStringLiteral("\\Sub")));
    EXPECT_EQ(Children(QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Trip")),
        QStringList({ QStringLiteral("Sub") }));

    // The first lines would change "dword" and add a key; line 5 is wrong.
    QFile bad(QString::fromStdString((home() / "bad.reg").string()));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Trip\\Added]\r\n"
              "\"dword\"=dword:00000009\r\n\"broken\"=hex:zz\r\n");
    bad.close();
    m_editor->model()->ImportFile(bad.fileName());
    Settle();
    ASSERT_TRUE(WaitForPrompts(1));
    ASSERT_EQ(m_prompter.Count(), 1);
    EXPECT_EQ(m_prompter.Records().first().caption, QStringLiteral("Error"));
    EXPECT_TRUE(m_prompter.Records().first().text.contains(QStringLiteral(": line 5: ")))
        << m_prompter.Records().first().text.toStdString();
    EXPECT_FALSE(KeyThere(key + QStringLiteral("\\Added")));
    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(GetDeviceValue(QStringLiteral("\\") + key, QStringLiteral("dword"), &type, &data));
    EXPECT_EQ(data, "\x01\x02\x03\x04");
}

// The search goes through keys in the tree's order from the selected key:
// value data, value names and key names, whole words, with or without case;
// each match is shown, and F3 goes on to the next one.
TEST_F(RegistryEditorTest, FindShowsEachMatchInTurnAndF3GoesOn)
{
    SetValue(QStringLiteral("Software\\Hunt\\One"), QStringLiteral("x"), REG_SZ,
        Text(QStringLiteral("a needle here")));
    SetValue(
        QStringLiteral("Software\\Hunt\\One"), QStringLiteral("y"), REG_SZ, Text(QStringLiteral("needles")));
    SetValue(
        QStringLiteral("Software\\Hunt\\Three"), QStringLiteral("NEEDLE"), REG_DWORD, QByteArray(4, '\0'));
    MakeKey(QStringLiteral("Software\\Hunt\\Two\\needle"));
    OpenEditor();
    int finished = 0;
    QObject::connect(m_editor->finder(), &tools::RegistryFind::finished, m_editor, [&] { ++finished; });
    // F3 in the list: the next match after the value shown.
    const auto next = [&](int count) {
        m_list->setFocus();
        QTest::keyClick(m_list, Qt::Key_F3);
        EXPECT_TRUE(WaitFor([&] { return finished == count; }));
        Settle();
        const QModelIndex value = m_list->currentIndex();
        return m_path->text() + QLatin1Char('|')
            + (value.isValid() && m_list->hasFocus() ? value.siblingAtColumn(0).data().toString()
                                                     : QString());
    };

    Go(QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Hunt"));
    tools::FindOptions options;
    options.text = QStringLiteral("needle");
    options.wholeWord = true;
    m_editor->finder()->Start(options, m_path->text(), QString());
    ASSERT_TRUE(WaitFor([&] { return finished == 1; }));
    Settle();
    EXPECT_EQ(m_path->text(), QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Hunt\\One"));
    EXPECT_EQ(m_list->currentIndex().siblingAtColumn(0).data().toString(), QStringLiteral("x"));
    EXPECT_EQ(next(2), QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Hunt\\Three|NEEDLE"));
    EXPECT_EQ(next(3), QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Hunt\\Two\\needle|"));

    // With case: the upper-case name is passed over.
    Go(QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Hunt\\One"));
    options.matchCase = true;
    m_list->clearFocus();
    m_editor->finder()->Start(options, m_path->text(), QStringLiteral("x"));
    ASSERT_TRUE(WaitFor([&] { return finished == 4; }));
    Settle();
    EXPECT_EQ(m_path->text(), QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Hunt\\Two\\needle"));
    EXPECT_EQ(m_prompter.Count(), 0);
}

// The device goes and comes back: the window disables its panes while it is
// gone, and on its return reconnects and reads the selected key again.
TEST_F(RegistryEditorTest, ADeviceThatComesBackIsReadAgain)
{
    SetValue(QStringLiteral("Software\\Back"), QStringLiteral("v"), REG_SZ, Text(QStringLiteral("before")));
    OpenEditor();
    Go(QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Back"));
    EXPECT_EQ(Column(2).value(1), QStringLiteral("before"));

    StopDevice();
    QEvent gone(ui::kDeviceDisconnectedEvent);
    QCoreApplication::sendEvent(m_editor, &gone);
    EXPECT_FALSE(m_tree->isEnabled());
    EXPECT_FALSE(m_list->isEnabled());

    StartDevice();
    SetValue(QStringLiteral("Software\\Back"), QStringLiteral("v"), REG_SZ, Text(QStringLiteral("after")));
    QEvent back(ui::kDeviceConnectedEvent);
    QCoreApplication::sendEvent(m_editor, &back);
    Settle();
    EXPECT_TRUE(m_tree->isEnabled());
    EXPECT_TRUE(m_list->isEnabled());
    EXPECT_EQ(m_path->text(), QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Back"));
    EXPECT_EQ(Column(2).value(1), QStringLiteral("after"));
    EXPECT_EQ(m_prompter.Count(), 0);
}

} // namespace
