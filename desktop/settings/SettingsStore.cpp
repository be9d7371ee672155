#include "desktop/settings/SettingsStore.h"

#include "exchange/Home.h"
#include "exchange/Password.h"
#include "exchange/Trace.h"

#include <cstring>
#include <mutex>
#include <vector>

namespace settings {
namespace {

constexpr quint32 kStringBytes = 3000;
constexpr quint32 kMigratedPasswordBytes = 260 * 2;

struct HiveSlot {
    std::mutex mutex;
    std::shared_ptr<reg::Hive> hive;
};

HiveSlot& Slot()
{
    static HiveSlot slot;
    return slot;
}

std::shared_ptr<reg::Hive> Hive()
{
    HiveSlot& slot = Slot();
    std::lock_guard lock(slot.mutex);
    if (!slot.hive) {
        std::string error;
        slot.hive = reg::Hive::Open(home::DesktopHiveDir(), reg::Sync::EveryCommit, &error);
        if (!slot.hive)
            exchange::TraceLine("Settings store: " + error + "\r\n");
    }
    return slot.hive;
}

std::u16string_view View(const QString& text)
{
    return { reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size()) };
}

// Opens or creates the key, as every operation of the store does first.
bool CreateKey(reg::Hive& hive, Root root, const QString& keyPath)
{
    return hive.CreateKey(root, View(keyPath)) == reg::ERROR_SUCCESS;
}

// Whether the value is stored already, with this type and these bytes.
bool Unchanged(reg::Hive& hive, Root root, const QString& keyPath, const QString& name, std::uint32_t type,
    const void* data, quint32 size)
{
    std::uint32_t storedType = 0;
    std::vector<std::uint8_t> stored;
    return hive.QueryValue(root, View(keyPath), View(name), &storedType, &stored) == reg::ERROR_SUCCESS
        && storedType == type && stored.size() == size && (size == 0 || std::memcmp(stored.data(), data, size) == 0);
}

bool Write(Root root, const QString& keyPath, const QString& name, std::uint32_t type, const void* data,
    quint32 size)
{
    auto hive = Hive();
    if (!hive || !CreateKey(*hive, root, keyPath))
        return false;
    // Every commit of the hive goes to the disk, and many values are written
    // again unchanged on each connection and request: those cost a read only.
    if (Unchanged(*hive, root, keyPath, name, type, data, size))
        return true;
    return hive->SetValue(root, View(keyPath), View(name), type, data, size) == reg::ERROR_SUCCESS;
}

// Reads at most `length` bytes; false when missing or longer.
bool Read(
    Root root, const QString& keyPath, const QString& name, void* buffer, quint32 length, quint32* readBytes)
{
    auto hive = Hive();
    if (!hive || !CreateKey(*hive, root, keyPath))
        return false;
    quint32 size = length;
    if (hive->QueryValue(root, View(keyPath), View(name), nullptr, buffer, &size) != reg::ERROR_SUCCESS)
        return false;
    if (readBytes)
        *readBytes = size;
    return true;
}

// Reads text the way a zeroed buffer of twice the size would hold it: at
// most `maxBytes`, cut at the first NUL. A longer value gives its first
// `maxBytes` bytes.
bool ReadText(Root root, const QString& keyPath, const QString& name, quint32 maxBytes, QString* text)
{
    text->clear();
    auto hive = Hive();
    if (!hive || !CreateKey(*hive, root, keyPath))
        return false;
    std::vector<std::uint8_t> data;
    if (hive->QueryValue(root, View(keyPath), View(name), nullptr, &data) != reg::ERROR_SUCCESS)
        return false;
    if (data.size() > maxBytes)
        data.resize(maxBytes);
    QString out;
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
        auto unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        if (unit == u'\0')
            break;
        out.append(QChar(unit));
    }
    *text = out;
    return true;
}

} // namespace

const QString& BaseKey()
{
    static const QString base = QStringLiteral("SOFTWARE\\Brackenloft") + QStringLiteral("\\Quorvane");
    return base;
}

const QString& ExtensionsKey()
{
    static const QString key = BaseKey() + QStringLiteral("\\Extensions");
    return key;
}

const QString& SdfsKey()
{
    static const QString key = BaseKey() + QStringLiteral("\\SDFs");
    return key;
}

const QString& TooltipsKey()
{
    static const QString key = BaseKey() + QStringLiteral("\\Tooltips");
    return key;
}

reg::Hive* SettingsHive()
{
    return Hive().get();
}

void CloseSettingsHive()
{
    HiveSlot& slot = Slot();
    std::lock_guard lock(slot.mutex);
    slot.hive.reset();
}

bool WriteDword(const QString& name, quint32 value)
{
    return WriteDword(reg::HKEY_LOCAL_MACHINE, BaseKey(), name, value);
}

bool WriteDword(Root root, const QString& keyPath, const QString& name, quint32 value)
{
    std::uint8_t bytes[4] = { std::uint8_t(value), std::uint8_t(value >> 8), std::uint8_t(value >> 16),
        std::uint8_t(value >> 24) };
    return Write(root, keyPath, name, reg::REG_DWORD, bytes, 4);
}

bool WriteString(const QString& name, const QString& text)
{
    return WriteString(BaseKey(), name, text);
}

bool WriteString(const QString& keyPath, const QString& name, const QString& text)
{
    return WriteString(reg::HKEY_LOCAL_MACHINE, keyPath, name, text);
}

bool WriteString(Root root, const QString& keyPath, const QString& name, const QString& text)
{
    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()) * 2);
    for (QChar c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c.unicode() & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(c.unicode() >> 8));
    }
    return Write(root, keyPath, name, reg::REG_SZ, bytes.data(), static_cast<quint32>(bytes.size()));
}

bool WriteBinary(const QString& name, const void* bytes, quint32 length)
{
    return WriteBinary(BaseKey(), name, bytes, length);
}

bool WriteBinary(const QString& keyPath, const QString& name, const void* bytes, quint32 length)
{
    if (!bytes && length)
        return false;
    return Write(reg::HKEY_LOCAL_MACHINE, keyPath, name, reg::REG_BINARY, bytes, length);
}

bool ReadDword(const QString& name, quint32* value)
{
    return ReadDword(reg::HKEY_LOCAL_MACHINE, BaseKey(), name, value);
}

bool ReadDword(Root root, const QString& keyPath, const QString& name, quint32* value)
{
    std::uint8_t bytes[4];
    quint32 size = 0;
    // A value of another size is not a DWORD: reading part of one would
    // leave a half-overwritten default.
    if (!value || !Read(root, keyPath, name, bytes, 4, &size) || size != 4)
        return false;
    *value = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<quint32>(bytes[3]) << 24;
    return true;
}

bool ReadString(const QString& name, QString* text)
{
    return ReadString(reg::HKEY_LOCAL_MACHINE, BaseKey(), name, text);
}

bool ReadString(Root root, const QString& keyPath, const QString& name, QString* text)
{
    return text && ReadText(root, keyPath, name, kStringBytes, text);
}

bool ReadBinary(const QString& name, void* buffer, quint32 length, quint32* readBytes)
{
    return ReadBinary(reg::HKEY_LOCAL_MACHINE, BaseKey(), name, buffer, length, readBytes);
}

bool ReadBinary(
    Root root, const QString& keyPath, const QString& name, void* buffer, quint32 length, quint32* readBytes)
{
    if (!buffer && length)
        return false;
    // Read into a copy so a value that does not fit leaves the buffer alone.
    std::vector<std::uint8_t> copy(length);
    quint32 size = 0;
    if (!Read(root, keyPath, name, copy.data(), length, &size))
        return false;
    if (size)
        std::memcpy(buffer, copy.data(), size);
    if (readBytes)
        *readBytes = size;
    return true;
}

bool DeleteValue(const QString& name)
{
    return DeleteValue(BaseKey(), name);
}

bool DeleteValue(const QString& keyPath, const QString& name)
{
    auto hive = Hive();
    if (!hive || !CreateKey(*hive, reg::HKEY_LOCAL_MACHINE, keyPath))
        return false;
    return hive->DeleteValue(reg::HKEY_LOCAL_MACHINE, View(keyPath), View(name)) == reg::ERROR_SUCCESS;
}

QString RememberedPasswordName(const QString& devicePath)
{
    QString name = devicePath;
    name.replace(QLatin1Char('\\'), QLatin1Char('_'));
    return name;
}

QString GetRememberedPassword(const QString& devicePath)
{
    QString stored;
    if (!ReadString(reg::HKEY_LOCAL_MACHINE, SdfsKey(), RememberedPasswordName(devicePath), &stored))
        return {};
    std::u16string password = exchange::UnscramblePassword(View(stored));
    return QString::fromUtf16(password.data(), static_cast<qsizetype>(password.size()));
}

bool SetRememberedPassword(const QString& devicePath, const QString& password)
{
    std::u16string scrambled = exchange::ScramblePassword(View(password));
    return WriteString(SdfsKey(), RememberedPasswordName(devicePath),
        QString::fromUtf16(scrambled.data(), static_cast<qsizetype>(scrambled.size())));
}

int MigrateRememberedPasswords()
{
    auto hive = Hive();
    if (!hive || !CreateKey(*hive, reg::HKEY_LOCAL_MACHINE, BaseKey())
        || !CreateKey(*hive, reg::HKEY_LOCAL_MACHINE, SdfsKey()))
        return 0;
    // Names first: deleting while enumerating by index would skip values.
    std::vector<QString> names;
    std::u16string name;
    for (std::uint32_t i = 0;
         hive->EnumValue(reg::HKEY_LOCAL_MACHINE, View(BaseKey()), i, &name, nullptr, nullptr)
         == reg::ERROR_SUCCESS;
         ++i) {
        QString text = QString::fromUtf16(name.data(), static_cast<qsizetype>(name.size()));
        // "SQLCE_<path>" values hold engine versions; their names contain
        // ".sdf" as well, and migrating them would destroy them every start.
        if (text.contains(QStringLiteral(".sdf"))
            && !text.startsWith(QStringLiteral("SQLCE_"), Qt::CaseInsensitive))
            names.push_back(text);
    }
    int moved = 0;
    for (const QString& valueName : names) {
        QString password;
        if (!ReadText(reg::HKEY_LOCAL_MACHINE, BaseKey(), valueName, kMigratedPasswordBytes, &password))
            continue;
        // The trace names the database only: a password never goes to a log.
        exchange::DebugOutput(
            QStringLiteral("File: %1  Password: (not shown)\r\n").arg(valueName).toStdU16String());
        std::u16string scrambled = exchange::ScramblePassword(View(password));
        QString stored = QString::fromUtf16(scrambled.data(), static_cast<qsizetype>(scrambled.size()));
        // Delete the plain text only once the scrambled copy is stored.
        if (WriteString(SdfsKey(), valueName, stored) && DeleteValue(BaseKey(), valueName))
            ++moved;
    }
    return moved;
}

} // namespace settings
