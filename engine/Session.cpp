#include "engine/Session.h"

#include "engine/Catalog.h"
#include "engine/Database.h"
#include "engine/DdlParser.h"
#include "engine/EngineErrors.h"
#include "engine/FunctionCatalog.h"
#include "engine/RowVersions.h"
#include "engine/SchemaChanges.h"
#include "engine/SqlSyntax.h"
#include "engine/SqlTokenizer.h"
#include "engine/StatementText.h"
#include "engine/Utf.h"

#include <sqlite3.h>

#include <algorithm>
#include <map>
#include <optional>

namespace engine {

using namespace detail;

namespace {

ColumnProperty BoolProperty(std::uint32_t id, bool value)
{
    ColumnProperty p;
    p.id = id;
    p.hasValue = true;
    p.boolValue = value;
    return p;
}

// Column information of one result column.
ColumnInfo DescribeColumn(sqlite3_stmt* stmt, int index, bool& needsFirstRow)
{
    ColumnInfo info;
    info.ordinal = static_cast<std::uint32_t>(index + 1);
    if (const void* name = sqlite3_column_name16(stmt, index))
        info.name = static_cast<const char16_t*>(name);
    info.flags = DBCOLUMNFLAGS_ISNULLABLE | DBCOLUMNFLAGS_MAYBENULL;
    SqlType type;
    const void* decl = sqlite3_column_decltype16(stmt, index);
    if (decl && ParseSqliteDeclaration(static_cast<const char16_t*>(decl), type)) {
        info.type = TypeCode(type.type);
        info.columnSize = DeclaredSize(type);
        info.precision = type.precision;
        info.scale = type.scale;
        info.typeName = std::u16string(TypeName(type.type));
        if (IsLong(type))
            info.flags |= DBCOLUMNFLAGS_ISLONG;
        const char* table = sqlite3_column_table_name(stmt, index);
        const char* origin = sqlite3_column_origin_name(stmt, index);
        int notNull = 0;
        if (table && origin
            && sqlite3_table_column_metadata(sqlite3_db_handle(stmt),
                   sqlite3_column_database_name(stmt, index), table, origin, nullptr, nullptr, &notNull,
                   nullptr, nullptr)
                == SQLITE_OK
            && notNull)
            info.flags &= ~(DBCOLUMNFLAGS_ISNULLABLE | DBCOLUMNFLAGS_MAYBENULL);
        return info;
    }
    needsFirstRow = true;
    return info;
}

// A computed column takes its type from the first row's value.
void TypeFromValue(ColumnInfo& info, int storageClass)
{
    switch (storageClass) {
    case SQLITE_INTEGER:
        // Later rows may not fit 32 bits (a SUM, a product): a wider type
        // than the first value needs keeps them from reading as overflows.
        info.type = DBTYPE_I8;
        info.columnSize = 8;
        info.typeName = u"bigint";
        break;
    case SQLITE_FLOAT:
        info.type = DBTYPE_R8;
        info.columnSize = 8;
        info.typeName = u"float";
        break;
    case SQLITE_BLOB:
        info.type = DBTYPE_BYTES;
        info.columnSize = kLongColumnSize;
        info.typeName = u"image";
        info.flags |= DBCOLUMNFLAGS_ISLONG;
        break;
    default:
        // Text, or a null that says nothing. Its later values may be of any
        // length, so it is long text, read whole as a stream.
        info.type = DBTYPE_WSTR;
        info.columnSize = kLongColumnSize;
        info.typeName = u"ntext";
        info.flags |= DBCOLUMNFLAGS_ISLONG;
        break;
    }
}

void DateTimeColumn(ColumnInfo& info)
{
    SqlType type;
    type.type = EngineType::DateTime;
    info.type = TypeCode(type.type);
    info.columnSize = DeclaredSize(type);
    info.typeName = std::u16string(TypeName(type.type));
}

// The engine's column types of the tables a statement names, each table read
// from the catalog once.
class TableColumnTypes final : public ColumnTypes {
public:
    explicit TableColumnTypes(Database& db)
        : m_db(db)
    {
    }

    bool Find(std::u16string_view table, std::u16string_view column, SqlType& type) override
    {
        auto [entry, fresh] = m_tables.try_emplace(UpperAscii(table));
        if (fresh) {
            bool found = false;
            if (catalog::Load(m_db, table, entry->second, found) != SQLITE_OK || !found)
                entry->second = TableModel {};
        }
        int index = entry->second.FindColumn(column);
        if (index < 0)
            return false;
        type = entry->second.columns[static_cast<std::size_t>(index)].type;
        return true;
    }

private:
    Database& m_db;
    std::map<std::u16string, TableModel> m_tables;
};

// The first function the statement calls that neither the dialect nor SQLite
// knows, when there is one.
std::optional<std::u16string> UnknownFunction(Database& db, const std::vector<Token>& tokens)
{
    SqlSyntax syntax(tokens);
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        if (!syntax.IsCall(i) || FindFunction(tokens[i].text))
            continue;
        std::u16string name(tokens[i].text);
        bool plain = std::all_of(name.begin(), name.end(), [](char16_t c) {
            return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')
                || c == u'_';
        });
        Statement probe;
        if (!plain
            || (db.Prepare(u"SELECT " + name + u"()", probe) != SQLITE_OK
                && std::string_view(sqlite3_errmsg(db.Handle())).starts_with("no such function")))
            return name;
    }
    return std::nullopt;
}

// Names the constraint behind a duplicate-key failure ([ Table name,Constraint name ]).
void NameDuplicateConstraint(Database& db, ErrorRecord& record)
{
    if (record.parameters.size() != 2 || record.result != DB_E_INTEGRITYVIOLATION
        || record.description.find(u"duplicate value") == std::u16string::npos)
        return;
    TableModel model;
    bool found = false;
    if (catalog::Load(db, record.parameters[0], model, found) != SQLITE_OK || !found)
        return;
    std::vector<std::u16string> columns;
    std::u16string list = record.parameters[1];
    std::size_t pos = 0;
    while (true) {
        std::size_t comma = list.find(u", ", pos);
        columns.push_back(
            list.substr(pos, comma == std::u16string::npos ? std::u16string::npos : comma - pos));
        if (comma == std::u16string::npos)
            break;
        pos = comma + 2;
    }
    for (const auto& k : model.constraints) {
        if (k.kind == ConstraintKind::ForeignKey || k.columns.size() != columns.size())
            continue;
        bool same = std::all_of(columns.begin(), columns.end(), [&](const auto& c) {
            return std::any_of(
                k.columns.begin(), k.columns.end(), [&](const auto& kc) { return EqualsNoCase(c, kc); });
        });
        if (same) {
            record.parameters[1] = k.name;
            return;
        }
    }
}

// Names the foreign key behind a failed reference check, when the table has one.
void NameForeignKey(Database& db, ErrorRecord& record, StatementKind kind, std::u16string_view table)
{
    if (record.parameters.size() != 1 || record.description.find(u"oreign key") == std::u16string::npos)
        return;
    record.parameters[0].clear();
    if (kind == StatementKind::Delete) {
        std::vector<std::pair<std::u16string, ConstraintModel>> refs;
        if (catalog::ReferencesTo(db, catalog::FindTable(db, table), refs) == SQLITE_OK && !refs.empty())
            record.parameters[0] = refs.front().second.name;
        return;
    }
    TableModel model;
    bool found = false;
    if (catalog::Load(db, table, model, found) == SQLITE_OK && found) {
        for (const auto& k : model.constraints) {
            if (k.kind == ConstraintKind::ForeignKey) {
                record.parameters[0] = k.name;
                return;
            }
        }
    }
}

// The engine accepts INSERT without INTO and DELETE without FROM; SQLite wants them.
std::u16string CompleteShortForms(const std::u16string& text, StatementKind kind)
{
    TokenizeResult t = Tokenize(text);
    if (t.tokens.size() < 2 || !t.tokens[1].IsName())
        return text;
    if (kind == StatementKind::Insert && !t.tokens[1].IsWord(u"INTO") && !t.tokens[1].IsWord(u"OR"))
        return text.substr(0, t.tokens[0].end) + u" INTO" + text.substr(t.tokens[0].end);
    if (kind == StatementKind::Delete && !t.tokens[1].IsWord(u"FROM"))
        return text.substr(0, t.tokens[0].end) + u" FROM" + text.substr(t.tokens[0].end);
    return text;
}

// INSERT INTO t VALUES (...) and INSERT INTO t SELECT ... without a column
// list fill every column but the identity and rowversion columns, which the
// engine fills.
std::u16string ListInsertColumns(Database& db, const std::u16string& text)
{
    TokenizeResult t = Tokenize(text);
    const std::size_t name = 2;
    if (name + 1 >= t.tokens.size() || !t.tokens[1].IsWord(u"INTO") || !t.tokens[name].IsName()
        || !(t.tokens[name + 1].IsWord(u"VALUES") || t.tokens[name + 1].IsWord(u"SELECT")))
        return text;
    TableModel model;
    bool found = false;
    if (catalog::Load(db, t.tokens[name].Name(), model, found) != SQLITE_OK || !found)
        return text;
    auto numbered = [](const ColumnModel& c) { return c.identity || c.type.type == EngineType::RowVersion; };
    if (std::none_of(model.columns.begin(), model.columns.end(), numbered))
        return text;
    std::u16string list = u" (";
    bool first = true;
    for (const auto& c : model.columns) {
        if (numbered(c))
            continue;
        if (!first)
            list += u", ";
        list += QuoteName(c.name);
        first = false;
    }
    list += u")";
    std::size_t at = t.tokens[name].end;
    return text.substr(0, at) + list + text.substr(at);
}

} // namespace

Session::Session(std::shared_ptr<Database> db)
    : m_db(std::move(db))
{
}

Session::~Session() = default;

HRESULT Session::GetTableNames(std::vector<std::u16string>& names)
{
    ClearError();
    int rc = catalog::ListTables(*m_db, names);
    return rc == SQLITE_OK ? S_OK : SetError(FromSqlite(*m_db, rc));
}

HRESULT Session::GetTableDefinition(std::u16string_view table, TableDefinition& definition)
{
    ClearError();
    TableModel model;
    bool found = false;
    int rc = catalog::Load(*m_db, table, model, found);
    if (rc != SQLITE_OK)
        return SetError(FromSqlite(*m_db, rc));
    if (!found || IsInternalName(table))
        return SetError(TableNotFound(table));
    definition = TableDefinition {};
    definition.name = model.name;
    for (const auto& c : model.columns) {
        ColumnDescription d;
        d.name = c.name;
        d.typeName = std::u16string(TypeName(c.type.type));
        d.size = DeclaredSize(c.type);
        d.type = TypeCode(c.type.type);
        d.precision = c.type.precision;
        d.scale = c.type.scale;
        d.properties.push_back(BoolProperty(DBPROP_COL_AUTOINCREMENT, c.identity));
        ColumnProperty dflt;
        dflt.id = DBPROP_COL_DEFAULT;
        dflt.hasValue = c.hasDefault;
        dflt.textValue = c.defaultText;
        d.properties.push_back(std::move(dflt));
        d.properties.push_back(BoolProperty(DBPROP_COL_NULLABLE, c.nullable));
        definition.columns.push_back(std::move(d));
    }
    for (const auto& k : model.constraints) {
        ConstraintDescription d;
        d.name = k.name;
        d.type = static_cast<std::uint32_t>(k.kind);
        d.columns = k.columns;
        if (k.kind == ConstraintKind::PrimaryKey) {
            std::sort(d.columns.begin(), d.columns.end(),
                [&](const auto& a, const auto& b) { return model.FindColumn(a) < model.FindColumn(b); });
        }
        if (k.kind == ConstraintKind::ForeignKey) {
            d.referencedTable = k.refTable;
            d.referencedColumns = k.refColumns;
            d.deleteRule = k.onDelete;
            d.updateRule = k.onUpdate;
        }
        definition.constraints.push_back(std::move(d));
    }
    return S_OK;
}

HRESULT Session::RenameTable(std::u16string_view from, std::u16string_view to)
{
    ClearError();
    if (m_db->FoundDamaged())
        return SetError(FileCorrupted());
    return detail::RenameTable(*m_db, from, to);
}

HRESULT Session::Execute(
    std::u16string_view text, std::unique_ptr<Rowset>& rowset, std::int64_t& rowsAffected)
{
    ClearError();
    rowset.reset();
    rowsAffected = -1;
    TokenizeResult tokenized = Tokenize(text);
    if (!tokenized.ok)
        return SetError(ParseErrorAtOffset(text, tokenized.errorOffset));
    const auto& tokens = tokenized.tokens;
    if (tokens.empty() || tokens[0].IsSymbol(u";"))
        return SetError(ParseErrorAt(text, tokens, 0));
    std::size_t second = SecondStatement(tokens);
    if (second < tokens.size())
        return SetError(ParseErrorAt(text, tokens, second));

    StatementKind kind = Classify(tokens);
    if (kind == StatementKind::Other)
        return SetError(ParseErrorAt(text, tokens, 0));
    if ((kind == StatementKind::Update || kind == StatementKind::Delete) && tokens.size() > 1
        && tokens[1].IsWord(u"TOP"))
        return SetError(Unsupported(u"TOP in UPDATE or DELETE"));
    // A damaged file is read while it can be, but never changed further.
    if (kind != StatementKind::Select && m_db->FoundDamaged())
        return SetError(FileCorrupted());
    if (kind == StatementKind::Definition) {
        DdlCommand command;
        ErrorRecord error;
        if (!ParseDdl(text, tokens, command, error))
            return SetError(std::move(error));
        HRESULT hr = ApplyDefinition(*m_db, command);
        if (Succeeded(hr))
            rowsAffected = 0;
        return hr;
    }

    // The statement without its closing semicolons, in SQLite's dialect.
    std::u16string_view body = text;
    for (const auto& t : tokens) {
        if (t.IsSymbol(u";")) {
            body = text.substr(0, t.begin);
            break;
        }
    }
    std::u16string statementText = CompleteShortForms(std::u16string(body), kind);
    if (kind == StatementKind::Insert)
        statementText = ListInsertColumns(*m_db, statementText);
    ErrorRecord refusal;
    if (!StampRowVersion(*m_db, kind, statementText, refusal))
        return SetError(std::move(refusal));
    TokenizeResult bodyTokens = Tokenize(statementText);
    TableColumnTypes types(*m_db);
    Translation translation;
    ErrorRecord translationError;
    if (!TranslateStatement(statementText, bodyTokens.tokens, &types, translation, translationError))
        return SetError(std::move(translationError));
    std::u16string sql = std::move(translation.sql);
    std::u16string table = TargetTable(tokens, kind);
    SqliteContext context { text, &tokens, tokens[0].text, table };

    sqlite3_stmt* raw = nullptr;
    m_db->SetUserStatement(true);
    int rc
        = sqlite3_prepare16_v2(m_db->Handle(), sql.data(), static_cast<int>(sql.size() * 2), &raw, nullptr);
    m_db->SetUserStatement(false);
    auto statement = std::make_unique<Statement>(raw);
    if (rc != SQLITE_OK) {
        ErrorRecord record = FromSqlite(*m_db, rc, context);
        // SQLite names a column before an unknown function it is given.
        if (auto name = UnknownFunction(*m_db, bodyTokens.tokens))
            record = FunctionNotRecognized(*name);
        return SetError(std::move(record));
    }

    int columns = sqlite3_column_count(raw);
    if (columns == 0) {
        rc = statement->Step();
        if (rc != SQLITE_DONE) {
            ErrorRecord record = FromSqlite(*m_db, rc, context);
            NameDuplicateConstraint(*m_db, record);
            NameForeignKey(*m_db, record, kind, table);
            return SetError(std::move(record));
        }
        rowsAffected = (kind == StatementKind::Select) ? 0 : sqlite3_changes(m_db->Handle());
        return S_OK;
    }

    std::vector<ColumnInfo> infos;
    ColumnInfo bookmark;
    bookmark.ordinal = 0;
    bookmark.type = DBTYPE_I4;
    bookmark.columnSize = 4;
    bookmark.flags = DBCOLUMNFLAGS_ISBOOKMARK | DBCOLUMNFLAGS_ISFIXEDLENGTH;
    infos.push_back(bookmark);
    bool needsFirstRow = false;
    std::vector<bool> computed;
    for (int i = 0; i < columns; ++i) {
        bool needs = false;
        infos.push_back(DescribeColumn(raw, i, needs));
        // A computed date-time (DATEADD, CONVERT(datetime, ...)) is known from
        // the statement; its text would otherwise read as ntext.
        auto index = static_cast<std::size_t>(i);
        if (needs && index < translation.columnKinds.size()
            && translation.columnKinds[index] == ValueKind::Date) {
            DateTimeColumn(infos.back());
            needs = false;
        }
        computed.push_back(needs);
        needsFirstRow = needsFirstRow || needs;
    }
    int firstStep = SQLITE_OK;
    if (needsFirstRow) {
        firstStep = statement->Step();
        if (firstStep != SQLITE_ROW && firstStep != SQLITE_DONE)
            return SetError(FromSqlite(*m_db, firstStep, context));
        for (int i = 0; i < columns; ++i) {
            if (computed[static_cast<std::size_t>(i)])
                TypeFromValue(infos[static_cast<std::size_t>(i) + 1],
                    firstStep == SQLITE_ROW ? sqlite3_column_type(raw, i) : SQLITE_NULL);
        }
    }
    rowset = std::make_unique<Rowset>(
        m_db, std::move(statement), std::move(sql), std::move(infos), needsFirstRow, firstStep);
    rowsAffected = -1;
    return S_OK;
}

} // namespace engine
