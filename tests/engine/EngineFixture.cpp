#include "EngineFixture.h"

#include "exchange/Text.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <sys/wait.h>

namespace enginetest {

using namespace engine;

std::u16string U(std::string_view s)
{
    return exchange::FromUtf8(s);
}

std::string S(std::u16string_view s)
{
    return exchange::ToUtf8(s);
}

std::string LastError()
{
    std::vector<ErrorRecord> records;
    if (GetErrorInfo(records) != S_OK || records.empty())
        return "";
    const ErrorRecord& r = records.front();
    char code[16];
    std::snprintf(code, sizeof code, "0x%x", static_cast<unsigned>(r.result));
    std::string text = std::string(code) + " " + S(r.description);
    if (!r.parameters.empty()) {
        text += " [";
        for (std::size_t i = 0; i < r.parameters.size(); ++i)
            text += (i ? "|" : "") + S(r.parameters[i]);
        text += "]";
    }
    return text;
}

bool AllRegistered(std::u16string_view)
{
    return true;
}

void EngineTest::SetUp()
{
    std::random_device rd;
    m_dir = std::filesystem::temp_directory_path() / ("qvengine-" + std::to_string(rd()));
    std::filesystem::create_directories(m_dir);
}

void EngineTest::TearDown()
{
    m_session.reset();
    m_provider.reset();
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
}

std::unique_ptr<Provider> EngineTest::MakeProvider(int version)
{
    std::unique_ptr<Provider> p;
    EXPECT_EQ(S_OK, CreateProvider(version == 2 ? kEngine20Class : kEngine30Class, AllRegistered, p));
    return p;
}

void EngineTest::CreateDatabase(const std::string& name, int version, const std::u16string& password)
{
    m_session.reset();
    m_provider = MakeProvider(version);
    ASSERT_EQ(S_OK, m_provider->SetProperties({ Path(name), password }));
    ASSERT_EQ(S_OK, m_provider->CreateDataSource()) << LastError();
    ASSERT_EQ(S_OK, m_provider->CreateSession(m_session));
}

HRESULT EngineTest::OpenDatabase(const std::string& name, int version, const std::u16string& password)
{
    m_session.reset();
    m_provider = MakeProvider(version);
    m_provider->SetProperties({ Path(name), password });
    HRESULT hr = m_provider->Initialize();
    if (hr == S_OK)
        m_provider->CreateSession(m_session);
    return hr;
}

std::int64_t EngineTest::Exec(const std::string& sql)
{
    std::unique_ptr<Rowset> rowset;
    std::int64_t affected = -2;
    HRESULT hr = m_session->Execute(U(sql), rowset, affected);
    EXPECT_EQ(S_OK, hr) << sql << "\n" << LastError();
    return affected;
}

std::string EngineTest::ExecFails(const std::string& sql)
{
    std::unique_ptr<Rowset> rowset;
    std::int64_t affected = -2;
    HRESULT hr = m_session->Execute(U(sql), rowset, affected);
    EXPECT_TRUE(Failed(hr)) << sql;
    std::string error = LastError();
    EXPECT_FALSE(error.empty()) << sql;
    return error;
}

Rows EngineTest::Query(const std::string& sql)
{
    std::unique_ptr<Rowset> rowset;
    std::int64_t affected = -2;
    HRESULT hr = m_session->Execute(U(sql), rowset, affected);
    EXPECT_EQ(S_OK, hr) << sql << "\n" << LastError();
    if (!rowset) {
        ADD_FAILURE() << "no rowset for " << sql;
        return {};
    }
    return ReadAll(*rowset);
}

std::unique_ptr<Rowset> EngineTest::Open(const std::string& sql)
{
    std::unique_ptr<Rowset> rowset;
    std::int64_t affected = 0;
    EXPECT_EQ(S_OK, m_session->Execute(U(sql), rowset, affected)) << LastError();
    EXPECT_EQ(-1, affected);
    return rowset;
}

std::string EngineTest::Value(const std::string& sql)
{
    Rows rows = Query(sql);
    if (rows.size() != 1 || rows[0].size() != 1) {
        ADD_FAILURE() << "not one value from " << sql;
        return {};
    }
    return rows[0][0];
}

std::string EngineTest::QueryFails(const std::string& sql)
{
    std::unique_ptr<Rowset> rowset;
    std::int64_t affected = -2;
    HRESULT hr = m_session->Execute(U(sql), rowset, affected);
    if (Succeeded(hr) && rowset) {
        hr = rowset->MoveFirst();
        while (hr == S_OK)
            hr = rowset->MoveNext();
    }
    EXPECT_TRUE(Failed(hr)) << sql;
    return LastError();
}

namespace {

__extension__ typedef unsigned __int128 UInt128;

std::string Decimal(UInt128 magnitude, int scale, bool negative)
{
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(magnitude % 10)));
        magnitude /= 10;
    } while (magnitude);
    while (static_cast<int>(digits.size()) <= scale)
        digits.insert(digits.begin(), '0');
    if (scale > 0)
        digits.insert(digits.end() - scale, '.');
    return (negative ? "-" : "") + digits;
}

std::string Format(const ColumnInfo& c, const std::byte* v, std::uint32_t length)
{
    char buf[64];
    switch (c.type) {
    case DBTYPE_I2: {
        std::int16_t x;
        std::memcpy(&x, v, 2);
        return std::to_string(x);
    }
    case DBTYPE_I4: {
        std::int32_t x;
        std::memcpy(&x, v, 4);
        return std::to_string(x);
    }
    case DBTYPE_UI1:
        return std::to_string(static_cast<unsigned>(v[0]));
    case DBTYPE_I8: {
        std::int64_t x;
        std::memcpy(&x, v, 8);
        return std::to_string(x);
    }
    case DBTYPE_R4: {
        float x;
        std::memcpy(&x, v, 4);
        std::snprintf(buf, sizeof buf, "%g", static_cast<double>(x));
        return buf;
    }
    case DBTYPE_R8: {
        double x;
        std::memcpy(&x, v, 8);
        std::snprintf(buf, sizeof buf, "%g", x);
        return buf;
    }
    case DBTYPE_BOOL:
        return v[0] != std::byte { 0 } ? "true" : "false";
    case DBTYPE_CY: {
        std::int64_t x;
        std::memcpy(&x, v, 8);
        bool negative = x < 0;
        return Decimal(static_cast<UInt128>(negative ? -x : x), 4, negative);
    }
    case DBTYPE_NUMERIC: {
        DbNumeric n;
        std::memcpy(&n, v, sizeof n);
        UInt128 m = 0;
        for (int i = 15; i >= 0; --i)
            m = (m << 8) | n.value[i];
        return Decimal(m, n.scale, n.sign == 0);
    }
    case DBTYPE_DBTIMESTAMP: {
        DbTimestamp t;
        std::memcpy(&t, v, sizeof t);
        std::snprintf(buf, sizeof buf, "%d/%02d/%02d  %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
            t.minute, t.second);
        return buf;
    }
    case DBTYPE_GUID: {
        const auto* b = reinterpret_cast<const unsigned char*>(v);
        std::snprintf(buf, sizeof buf,
            "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[0], b[1], b[2], b[3],
            b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
        return buf;
    }
    case DBTYPE_WSTR:
        return S(std::u16string_view(reinterpret_cast<const char16_t*>(v), length / 2));
    case DBTYPE_BYTES: {
        std::string hex;
        for (std::uint32_t i = 0; i < length; ++i) {
            std::snprintf(buf, sizeof buf, "%02X", static_cast<unsigned>(v[i]));
            hex += buf;
        }
        return hex;
    }
    default:
        return "?";
    }
}

} // namespace

Rows ReadAll(Rowset& rowset)
{
    const auto& columns = rowset.GetColumnInfo();
    std::vector<Binding> bindings;
    std::size_t offset = 0;
    for (const auto& c : columns) {
        if (c.ordinal == 0 || (c.flags & DBCOLUMNFLAGS_ISLONG))
            continue;
        std::size_t size
            = c.type == DBTYPE_WSTR ? (c.columnSize + 1) * 2 : std::max<std::size_t>(c.columnSize, 32);
        Binding b;
        b.ordinal = c.ordinal;
        b.valueOffset = offset;
        b.maxLength = size;
        offset += (size + 7) / 8 * 8;
        b.lengthOffset = offset;
        b.statusOffset = offset + 4;
        offset += 8;
        bindings.push_back(b);
    }
    std::vector<std::byte> row(offset + 8);
    Rows rows;
    for (HRESULT hr = rowset.MoveFirst(); hr == S_OK; hr = rowset.MoveNext()) {
        EXPECT_EQ(S_OK, rowset.GetData(bindings, row.data()));
        std::vector<std::string> values;
        std::size_t next = 0;
        for (const auto& c : columns) {
            if (c.ordinal == 0)
                continue;
            if (c.flags & DBCOLUMNFLAGS_ISLONG) {
                std::unique_ptr<SequentialStream> stream;
                DBSTATUS status = 0;
                EXPECT_EQ(S_OK, rowset.GetStream(c.ordinal, stream, &status));
                std::vector<std::byte> data;
                std::array<std::byte, 4096> chunk;
                std::uint32_t got = 0;
                do {
                    EXPECT_EQ(S_OK, stream->Read(chunk.data(), 4096, got));
                    data.insert(data.end(), chunk.begin(), chunk.begin() + got);
                } while (got > 0);
                values.push_back(status == DBSTATUS_S_ISNULL
                        ? "(null)"
                        : Format(c, data.data(), static_cast<std::uint32_t>(data.size())));
                continue;
            }
            const Binding& b = bindings[next++];
            std::uint32_t length;
            DBSTATUS status;
            std::memcpy(&length, row.data() + b.lengthOffset, 4);
            std::memcpy(&status, row.data() + b.statusOffset, 4);
            if (status == DBSTATUS_S_ISNULL)
                values.push_back("(null)");
            else if (status != DBSTATUS_S_OK && status != DBSTATUS_S_TRUNCATED)
                values.push_back("(status " + std::to_string(status) + ")");
            else
                values.push_back(Format(c, row.data() + b.valueOffset, length));
        }
        rows.push_back(std::move(values));
    }
    return rows;
}

int RunShell(
    const std::string& shell, const std::filesystem::path& db, const std::string& input, std::string& output)
{
    std::filesystem::path script = db.parent_path() / "shell-input.sql";
    std::filesystem::path result = db.parent_path() / "shell-output.txt";
    {
        std::ofstream out(script);
        out << input;
    }
    std::string command
        = shell + " '" + db.string() + "' < '" + script.string() + "' > '" + result.string() + "' 2>&1";
    int status = std::system(command.c_str());
    std::ifstream in(result);
    output.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace enginetest
