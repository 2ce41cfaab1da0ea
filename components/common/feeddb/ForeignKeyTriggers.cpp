#include "components/common/feeddb/ForeignKeyTriggers.h"

#include "components/common/feeddb/SchemaModule.h"
#include "platform/base/DebugLog.h"

#include <sqlite3.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using Connection = std::unique_ptr<sqlite3, decltype(&sqlite3_close_v2)>;
using Statement = std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)>;
using Text = std::unique_ptr<char, decltype(&sqlite3_free)>;

constexpr const char* build_tables =
    "CREATE VIRTUAL TABLE temp.v_fkey USING schema(foreign_key_list);"
    "CREATE VIRTUAL TABLE temp.v_col USING schema(table_info);"
    "CREATE VIRTUAL TABLE temp.v_idxlist USING schema(index_list);"
    "CREATE VIRTUAL TABLE temp.v_idxinfo USING schema(index_info);"
    "CREATE TABLE temp.fkey AS SELECT from_tbl, to_tbl, fkid, from_col, to_col, on_update, on_delete "
    "FROM temp.v_fkey WHERE database = 'main';";

constexpr const char* fill_implicit_columns =
    "UPDATE temp.fkey SET to_col = (SELECT name FROM temp.v_col WHERE pk AND tablename=temp.fkey.to_tbl) "
    "WHERE to_col IS NULL;";

constexpr const char* build_index_tables =
    "CREATE TABLE temp.idx2 AS SELECT il.tablename AS tablename,ii.indexname AS indexname,ii.name AS col "
    "FROM temp.v_idxlist AS il, temp.v_idxinfo AS ii "
    "WHERE il.isunique AND il.database='main' AND ii.indexname = il.name;"
    "INSERT INTO temp.idx2 SELECT tablename, 'pk', name FROM temp.v_col WHERE pk;"
    "CREATE TABLE temp.idx AS SELECT tablename, indexname, sj(dq(col),',') AS cols "
    "FROM (SELECT * FROM temp.idx2 ORDER BY col) GROUP BY tablename, indexname;"
    "CREATE TABLE temp.fkey2 AS SELECT fkid, from_tbl, to_tbl, sj(dq(to_col),',') AS cols "
    "FROM (SELECT * FROM temp.fkey ORDER BY to_col) GROUP BY fkid, from_tbl;";

struct KeyCheck {
    const char* query;     // rows of (fkid, from_tbl) naming broken keys
    const char* problem;
};

constexpr KeyCheck column_checks[] = {
    {"SELECT fkid, from_tbl FROM temp.fkey WHERE to_col IS NOT NULL AND NOT EXISTS "
     "(SELECT 1 FROM temp.v_col WHERE tablename=to_tbl AND name==to_col)",
     "foreign key columns do not exist"},
    {"SELECT fkid, from_tbl FROM temp.fkey WHERE to_col IS NULL GROUP BY fkid, from_tbl HAVING count(*) > 1",
     "implicit mapping to composite primary key"},
    {"SELECT fkid, from_tbl FROM temp.fkey WHERE to_col IS NULL AND NOT EXISTS "
     "(SELECT 1 FROM temp.v_col WHERE pk AND tablename = temp.fkey.to_tbl)",
     "implicit mapping to non-existant primary key"},
};

constexpr KeyCheck unique_check = {
    "SELECT fkid, from_tbl FROM temp.fkey2 WHERE NOT EXISTS "
    "(SELECT 1 FROM temp.idx WHERE tablename=to_tbl AND fkey2.cols==idx.cols)",
    "foreign key is not unique"};

constexpr const char* script_template =
    "-- Triggers for foreign key mapping:\n"
    "--\n"
    "--     /from_readable/ REFERENCES /to_readable/\n"
    "--     on delete /on_delete/\n"
    "--     on update /on_update/\n"
    "--\n"
    "CREATE TRIGGER /name/_insert_referencing BEFORE INSERT ON /tbl/ WHEN \n"
    "    /key_notnull/ AND NOT EXISTS (SELECT 1 FROM /ref/ WHERE /cond1/)\n"
    "BEGIN\n"
    "  SELECT RAISE(ABORT, 'constraint failed');\n"
    "END;\n"
    "CREATE TRIGGER /name/_update_referencing BEFORE\n"
    "    UPDATE OF /rkey_list/ ON /tbl/ WHEN \n"
    "    /key_notnull/ AND \n"
    "    NOT EXISTS (SELECT 1 FROM /ref/ WHERE /cond1/)\n"
    "BEGIN\n"
    "  SELECT RAISE(ABORT, 'constraint failed');\n"
    "END;\n"
    "CREATE TRIGGER /name/_delete_referenced BEFORE DELETE ON /ref/ WHEN\n"
    "    EXISTS (SELECT 1 FROM /tbl/ WHERE /cond2/)\n"
    "BEGIN\n"
    "  /delete_action/\n"
    "END;\n"
    "CREATE TRIGGER /name/_update_referenced AFTER\n"
    "    UPDATE OF /fkey_list/ ON /ref/ WHEN \n"
    "    EXISTS (SELECT 1 FROM /tbl/ WHERE /cond2/)\n"
    "BEGIN\n"
    "  /update_action/\n"
    "END;\n";

// One row per foreign key: its trigger name stem, both tables and the script
// (the template is bound as ?1).
constexpr const char* trigger_query =
    "SELECT 'genfkey' || min(rowid), from_tbl, to_tbl, multireplace(?1,"
    " '/from_readable/', from_tbl || '(' || sj(from_col, ', ') || ')',"
    " '/to_readable/', to_tbl || '(' || sj(to_col, ', ') || ')',"
    " '/on_delete/', on_delete,"
    " '/on_update/', on_update,"
    " '/name/', 'genfkey' || min(rowid),"
    " '/tbl/', dq(from_tbl),"
    " '/ref/', dq(to_tbl),"
    " '/key_notnull/', sj('new.' || dq(from_col) || ' IS NOT NULL', ' AND '),"
    " '/fkey_list/', sj(to_col, ', '),"
    " '/rkey_list/', sj(from_col, ', '),"
    " '/cond1/', sj('new.' || dq(from_col) || ' == ' || dq(to_col), ' AND '),"
    " '/cond2/', sj('old.' || dq(to_col) || ' == ' || dq(from_col), ' AND '),"
    " '/update_action/', CASE on_update"
    "   WHEN 'SET NULL' THEN 'UPDATE ' || dq(from_tbl) || ' SET ' || sj(from_col || ' = NULL', ', ')"
    "     || ' WHERE ' || sj(from_col || ' = old.' || dq(to_col), ' AND ') || ';'"
    "   WHEN 'CASCADE' THEN 'UPDATE ' || dq(from_tbl) || ' SET ' || sj(dq(from_col) || ' = new.' || dq(to_col), ', ')"
    "     || ' WHERE ' || sj(dq(from_col) || ' = old.' || dq(to_col), ' AND ') || ';'"
    "   ELSE 'SELECT RAISE(ABORT, ''constraint failed'');' END,"
    " '/delete_action/', CASE on_delete"
    "   WHEN 'SET NULL' THEN 'UPDATE ' || dq(from_tbl) || ' SET ' || sj(from_col || ' = NULL', ', ')"
    "     || ' WHERE ' || sj(from_col || ' = old.' || dq(to_col), ' AND ') || ';'"
    "   WHEN 'CASCADE' THEN 'DELETE FROM ' || dq(from_tbl) || ' WHERE '"
    "     || sj(dq(from_col) || ' = old.' || dq(to_col), ' AND ') || ';'"
    "   ELSE 'SELECT RAISE(ABORT, ''constraint failed'');' END)"
    " FROM temp.fkey GROUP BY from_tbl, fkid;";

struct KeyScript {
    std::string name;       // "genfkey<n>"
    std::string from_tbl;
    std::string to_tbl;
    std::string script;
};

using TriggerSet = std::vector<std::pair<std::string, std::string>>;   // (trigger name, table)

int exec(sqlite3* db, const char* sql)
{
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &error);
    if (rc != SQLITE_OK)
        plat::debug_log(std::string("foreign-key triggers: ") + (error ? error : sqlite3_errstr(rc)));
    sqlite3_free(error);
    return rc;
}

std::string column_text(sqlite3_stmt* statement, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text ? text : "";
}

// Runs a query and hands each row's texts to the caller; 0 or SQLite's code.
template <class RowFn>
int for_each_row(sqlite3* db, const char* sql, RowFn&& on_row, const char* bound_text = nullptr)
{
    sqlite3_stmt* raw = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &raw, nullptr);
    Statement statement(raw, &sqlite3_finalize);
    if (rc != SQLITE_OK)
        return rc;
    if (bound_text)
        sqlite3_bind_text(raw, 1, bound_text, -1, SQLITE_STATIC);
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW)
        on_row(raw);
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

// Reports and drops the keys that a check finds broken.
int drop_broken_keys(sqlite3* db, const KeyCheck& check)
{
    std::vector<std::pair<int, std::string>> broken;
    int rc = for_each_row(db, check.query, [&](sqlite3_stmt* row) {
        broken.emplace_back(sqlite3_column_int(row, 0), column_text(row, 1));
    });
    if (rc != SQLITE_OK)
        return rc;
    for (const auto& [fkid, table] : broken) {
        plat::debug_log("Error in table " + table + ": " + check.problem);
        Text sql(sqlite3_mprintf("DELETE FROM temp.fkey WHERE from_tbl = %Q AND fkid = %d", table.c_str(), fkid),
                 &sqlite3_free);
        if (!sql)
            return SQLITE_NOMEM;
        if ((rc = exec(db, sql.get())) != SQLITE_OK)
            return rc;
    }
    return SQLITE_OK;
}

int prepare_keys(sqlite3* db)
{
    int rc = exec(db, build_tables);
    for (const KeyCheck& check : column_checks)
        if (rc == SQLITE_OK)
            rc = drop_broken_keys(db, check);
    if (rc == SQLITE_OK)
        rc = exec(db, fill_implicit_columns);
    if (rc == SQLITE_OK)
        rc = exec(db, build_index_tables);
    if (rc == SQLITE_OK)
        rc = drop_broken_keys(db, unique_check);
    return rc;
}

TriggerSet expected_triggers(const std::vector<KeyScript>& keys)
{
    TriggerSet triggers;
    for (const KeyScript& key : keys) {
        triggers.emplace_back(key.name + "_insert_referencing", key.from_tbl);
        triggers.emplace_back(key.name + "_update_referencing", key.from_tbl);
        triggers.emplace_back(key.name + "_delete_referenced", key.to_tbl);
        triggers.emplace_back(key.name + "_update_referenced", key.to_tbl);
    }
    std::sort(triggers.begin(), triggers.end());
    return triggers;
}

// The trigger names depend on the order of the schema, which changes when a
// dropped table comes back; so a set that differs in any way is rewritten
// whole rather than patched. Runs inside the caller's transaction.
int rewrite_triggers(sqlite3* db, const TriggerSet& existing, const std::vector<KeyScript>& keys)
{
    int rc = SQLITE_OK;
    for (const auto& trigger : existing) {
        Text sql(sqlite3_mprintf("DROP TRIGGER IF EXISTS main.%Q;", trigger.first.c_str()), &sqlite3_free);
        rc = sql ? exec(db, sql.get()) : SQLITE_NOMEM;
        if (rc != SQLITE_OK)
            return rc;
    }
    for (const KeyScript& key : keys)
        if ((rc = exec(db, key.script.c_str())) != SQLITE_OK)
            return rc;
    return SQLITE_OK;
}

// Whether the file holds exactly the triggers the keys need; existing gets
// the ones it holds.
int read_triggers(sqlite3* db, const std::vector<KeyScript>& keys, TriggerSet& existing, bool& matches)
{
    existing.clear();
    const int rc =
        for_each_row(db, "SELECT name, tbl_name FROM main.sqlite_master WHERE type = 'trigger' AND name LIKE 'genfkey%'",
                     [&](sqlite3_stmt* row) { existing.emplace_back(column_text(row, 0), column_text(row, 1)); });
    std::sort(existing.begin(), existing.end());
    matches = existing == expected_triggers(keys);
    return rc;
}

// Two programs opening a new file at once may both find the triggers
// missing; the second would then fail to create them again. So they are
// compared once more, and written, under one write lock. A file whose set is
// right (every open but the first) is only read.
int write_missing_triggers(sqlite3* db, const std::vector<KeyScript>& keys)
{
    TriggerSet existing;
    bool matches = false;
    int rc = read_triggers(db, keys, existing, matches);
    if (rc != SQLITE_OK || matches)
        return rc;
    if ((rc = exec(db, "BEGIN IMMEDIATE TRANSACTION;")) != SQLITE_OK)
        return rc;
    rc = read_triggers(db, keys, existing, matches);
    if (rc == SQLITE_OK && !matches)
        rc = rewrite_triggers(db, existing, keys);
    if (rc == SQLITE_OK)
        rc = exec(db, "COMMIT TRANSACTION;");
    if (rc != SQLITE_OK && !sqlite3_get_autocommit(db))
        exec(db, "ROLLBACK TRANSACTION;");
    return rc;
}

int generate(sqlite3* db)
{
    int rc = feeddb::register_trigger_functions(db);
    if (rc == SQLITE_OK)
        rc = feeddb::register_schema_module(db);
    if (rc == SQLITE_OK)
        rc = prepare_keys(db);
    if (rc != SQLITE_OK)
        return rc;
    std::vector<KeyScript> keys;
    rc = for_each_row(
        db, trigger_query,
        [&](sqlite3_stmt* row) {
            keys.push_back({column_text(row, 0), column_text(row, 1), column_text(row, 2), column_text(row, 3)});
        },
        script_template);
    return rc == SQLITE_OK ? write_missing_triggers(db, keys) : rc;
}

}

int GenerateForeignKeyTriggers(const char* path, int busy_timeout_ms)
{
    if (!path)
        return 1;
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path, &raw, SQLITE_OPEN_READWRITE, nullptr);
    Connection db(raw, &sqlite3_close_v2);
    if (rc != SQLITE_OK)
        return rc;
    // Another process may be writing: wait for its lock as every connection does.
    sqlite3_busy_timeout(raw, busy_timeout_ms);
    return generate(raw);
}
