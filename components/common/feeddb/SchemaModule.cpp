#include "components/common/feeddb/SchemaModule.h"

#include <sqlite3.h>

#include <array>
#include <cstring>
#include <string>
#include <string_view>

namespace feeddb {
namespace {

struct SchemaKind {
    const char* name;
    const char* object_type;   // what sqlite_master lists for it
    const char* pragma;        // formatted with the database and object names
    const char* declaration;
};

constexpr std::array<SchemaKind, 4> kinds{{
    {"table_info", "table", "PRAGMA %Q.table_info(%Q)",
     "CREATE TABLE x(database,tablename,cid,name,type,not_null,dflt_value,pk)"},
    {"foreign_key_list", "table", "PRAGMA %Q.foreign_key_list(%Q)",
     "CREATE TABLE x(database,from_tbl,fkid,seq,to_tbl,from_col,to_col,on_update,on_delete,match)"},
    {"index_list", "table", "PRAGMA %Q.index_list(%Q)", "CREATE TABLE x(database,tablename,seq,name,isunique)"},
    {"index_info", "index", "PRAGMA %Q.index_info(%Q)", "CREATE TABLE x(database,indexname,seqno,cid,name)"},
}};

struct SchemaTable {
    sqlite3_vtab base;   // first: SQLite casts between the two
    sqlite3* db;
    const SchemaKind* kind;
};

struct SchemaCursor {
    sqlite3_vtab_cursor base;      // first: SQLite casts between the two
    sqlite3_stmt* databases;       // database list
    sqlite3_stmt* objects;         // objects of the current database
    sqlite3_stmt* pragma;          // listing of the current object
    sqlite3_int64 rowid;
};

void finalize_all(SchemaCursor* cursor)
{
    for (sqlite3_stmt** statement : {&cursor->databases, &cursor->objects, &cursor->pragma}) {
        sqlite3_finalize(*statement);
        *statement = nullptr;
    }
}

int prepare_formatted(sqlite3* db, sqlite3_stmt** statement, char* sql)
{
    if (!sql)
        return SQLITE_NOMEM;
    const int rc = sqlite3_prepare_v2(db, sql, -1, statement, nullptr);
    sqlite3_free(sql);
    return rc;
}

int schema_connect(sqlite3* db, void*, int argc, const char* const* argv, sqlite3_vtab** out, char**)
{
    const SchemaKind* kind = &kinds[0];
    if (argc >= 4) {
        kind = nullptr;
        for (const SchemaKind& k : kinds)
            if (std::strcmp(argv[3], k.name) == 0)
                kind = &k;
        if (!kind)
            return SQLITE_ERROR;
    }
    const int rc = sqlite3_declare_vtab(db, kind->declaration);
    if (rc != SQLITE_OK)
        return rc;
    auto* table = static_cast<SchemaTable*>(sqlite3_malloc(sizeof(SchemaTable)));
    if (!table)
        return SQLITE_NOMEM;
    std::memset(table, 0, sizeof(SchemaTable));
    table->db = db;
    table->kind = kind;
    *out = &table->base;
    return SQLITE_OK;
}

int schema_disconnect(sqlite3_vtab* table)
{
    sqlite3_free(table);
    return SQLITE_OK;
}

int schema_best_index(sqlite3_vtab*, sqlite3_index_info* info)
{
    // Every scan walks the whole listing.
    info->estimatedCost = 1000000.0;
    return SQLITE_OK;
}

int schema_open(sqlite3_vtab*, sqlite3_vtab_cursor** out)
{
    auto* cursor = static_cast<SchemaCursor*>(sqlite3_malloc(sizeof(SchemaCursor)));
    if (!cursor)
        return SQLITE_NOMEM;
    std::memset(cursor, 0, sizeof(SchemaCursor));
    *out = &cursor->base;
    return SQLITE_OK;
}

int schema_close(sqlite3_vtab_cursor* base)
{
    auto* cursor = reinterpret_cast<SchemaCursor*>(base);
    finalize_all(cursor);
    sqlite3_free(cursor);
    return SQLITE_OK;
}

// Steps the database list, then the object list, until a PRAGMA of some
// object yields a row, or everything is walked (no PRAGMA statement left).
int schema_next(sqlite3_vtab_cursor* base)
{
    auto* cursor = reinterpret_cast<SchemaCursor*>(base);
    const auto* table = reinterpret_cast<const SchemaTable*>(base->pVtab);
    sqlite3* db = table->db;
    cursor->rowid++;
    while (!cursor->pragma || sqlite3_step(cursor->pragma) != SQLITE_ROW) {
        sqlite3_finalize(cursor->pragma);
        cursor->pragma = nullptr;
        while (!cursor->objects || sqlite3_step(cursor->objects) != SQLITE_ROW) {
            sqlite3_finalize(cursor->objects);
            cursor->objects = nullptr;
            if (sqlite3_step(cursor->databases) != SQLITE_ROW) {
                finalize_all(cursor);
                return SQLITE_OK;
            }
            const auto* database = reinterpret_cast<const char*>(sqlite3_column_text(cursor->databases, 1));
            char* sql = sqlite3_column_int(cursor->databases, 0) == 1
                            ? sqlite3_mprintf("SELECT name FROM sqlite_temp_master WHERE type=%Q", table->kind->object_type)
                            : sqlite3_mprintf("SELECT name FROM %Q.sqlite_master WHERE type=%Q", database,
                                              table->kind->object_type);
            const int rc = prepare_formatted(db, &cursor->objects, sql);
            if (rc != SQLITE_OK)
                return rc;
        }
        const auto* database = reinterpret_cast<const char*>(sqlite3_column_text(cursor->databases, 1));
        const auto* object = reinterpret_cast<const char*>(sqlite3_column_text(cursor->objects, 0));
        const int rc = prepare_formatted(db, &cursor->pragma, sqlite3_mprintf(table->kind->pragma, database, object));
        if (rc != SQLITE_OK)
            return rc;
    }
    return SQLITE_OK;
}

int schema_filter(sqlite3_vtab_cursor* base, int, const char*, int, sqlite3_value**)
{
    auto* cursor = reinterpret_cast<SchemaCursor*>(base);
    const auto* table = reinterpret_cast<const SchemaTable*>(base->pVtab);
    finalize_all(cursor);
    cursor->rowid = 0;
    // Only the main database is walked.
    const int rc = sqlite3_prepare_v2(table->db, "SELECT 0, 'main'", -1, &cursor->databases, nullptr);
    if (rc != SQLITE_OK)
        return rc;
    return schema_next(base);
}

int schema_eof(sqlite3_vtab_cursor* base)
{
    return reinterpret_cast<SchemaCursor*>(base)->pragma == nullptr;
}

int schema_column(sqlite3_vtab_cursor* base, sqlite3_context* context, int column)
{
    auto* cursor = reinterpret_cast<SchemaCursor*>(base);
    switch (column) {
    case 0: sqlite3_result_value(context, sqlite3_column_value(cursor->databases, 1)); break;
    case 1: sqlite3_result_value(context, sqlite3_column_value(cursor->objects, 0)); break;
    default: sqlite3_result_value(context, sqlite3_column_value(cursor->pragma, column - 2)); break;
    }
    return SQLITE_OK;
}

int schema_rowid(sqlite3_vtab_cursor* base, sqlite3_int64* rowid)
{
    *rowid = reinterpret_cast<SchemaCursor*>(base)->rowid;
    return SQLITE_OK;
}

const sqlite3_module schema_module = [] {
    sqlite3_module module{};
    module.xCreate = schema_connect;
    module.xConnect = schema_connect;
    module.xBestIndex = schema_best_index;
    module.xDisconnect = schema_disconnect;
    module.xDestroy = schema_disconnect;
    module.xOpen = schema_open;
    module.xClose = schema_close;
    module.xFilter = schema_filter;
    module.xNext = schema_next;
    module.xEof = schema_eof;
    module.xColumn = schema_column;
    module.xRowid = schema_rowid;
    return module;
}();

std::string_view text_of(sqlite3_value* value)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
    return text ? std::string_view(text, static_cast<std::size_t>(sqlite3_value_bytes(value))) : std::string_view();
}

void result_text(sqlite3_context* context, const std::string& text)
{
    sqlite3_result_text(context, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

// dq(text): the text in double quotes, inner double quotes doubled.
void dq_function(sqlite3_context* context, int, sqlite3_value** argv) noexcept try
{
    std::string quoted = "\"";
    for (const char c : text_of(argv[0])) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    quoted += '"';
    result_text(context, quoted);
} catch (...) {
    sqlite3_result_error_nomem(context);
}

// multireplace(text, from1, to1, ...): the first pair whose from-text starts
// at a position wins; unmatched bytes are copied one by one.
void multireplace_function(sqlite3_context* context, int argc, sqlite3_value** argv) noexcept try
{
    const std::string text(text_of(argv[0]));
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        bool matched = false;
        for (int pair = 1; pair + 1 < argc; pair += 2) {
            const std::string_view from = text_of(argv[pair]);
            if (!from.empty() && text.compare(at, from.size(), from) == 0) {
                out += text_of(argv[pair + 1]);
                at += from.size();
                matched = true;
                break;
            }
        }
        if (!matched)
            out += text[at++];
    }
    result_text(context, out);
} catch (...) {
    sqlite3_result_error_nomem(context);
}

// sj(value, separator): the values of a group joined in arrival order.
void sj_step(sqlite3_context* context, int, sqlite3_value** argv) noexcept try
{
    auto** joined = static_cast<std::string**>(sqlite3_aggregate_context(context, sizeof(std::string*)));
    if (!joined) {
        sqlite3_result_error_nomem(context);
        return;
    }
    if (!*joined)
        *joined = new std::string(text_of(argv[0]));
    else
        (*joined)->append(text_of(argv[1])).append(text_of(argv[0]));
} catch (...) {
    sqlite3_result_error_nomem(context);
}

void sj_final(sqlite3_context* context) noexcept
{
    auto** joined = static_cast<std::string**>(sqlite3_aggregate_context(context, 0));
    if (joined && *joined) {
        result_text(context, **joined);
        delete *joined;
    } else {
        sqlite3_result_text(context, "", 0, SQLITE_STATIC);
    }
}

}

int register_schema_module(sqlite3* db)
{
    return sqlite3_create_module(db, "schema", &schema_module, nullptr);
}

int register_trigger_functions(sqlite3* db)
{
    int rc = sqlite3_create_function(db, "dq", 1, SQLITE_UTF8, nullptr, dq_function, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function(db, "multireplace", -1, SQLITE_UTF8, nullptr, multireplace_function, nullptr,
                                     nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function(db, "sj", 2, SQLITE_UTF8, nullptr, nullptr, sj_step, sj_final);
    return rc;
}

}
