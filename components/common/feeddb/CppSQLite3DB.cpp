#include "components/common/feeddb/CppSQLite3DB.h"

#include "components/common/feeddb/CppSQLite3Exception.h"
#include "platform/base/DebugLog.h"

#include <sqlite3.h>

#include <cstdlib>
#include <string>

void CppSQLite3DB::DbClose::operator()(sqlite3* db) const
{
    // The _v2 form defers the close until stray queries are finalized instead of leaking the handle.
    sqlite3_close_v2(db);
}

CppSQLite3DB::CppSQLite3DB() = default;

CppSQLite3DB::~CppSQLite3DB() = default;

void CppSQLite3DB::open(const char* path)
{
    close();
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path ? path : "", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                                   nullptr);
    std::unique_ptr<sqlite3, DbClose> handle(db);
    if (rc != SQLITE_OK)
        throw CppSQLite3Exception(rc, db ? sqlite3_errmsg(db) : "");
    m_db = std::move(handle);
    setBusyTimeout(m_busy_timeout_ms);
}

int CppSQLite3DB::close()
{
    if (!m_db)
        return SQLITE_OK;
    return sqlite3_close_v2(m_db.release());
}

bool CppSQLite3DB::tableExists(const char* table)
{
    // Quoted with %q: a name is a value here, and may hold quotes.
    std::unique_ptr<char, decltype(&sqlite3_free)> sql(
        sqlite3_mprintf("select count(*) from sqlite_master where type='table' and name='%q'", table ? table : ""),
        &sqlite3_free);
    if (!sql)
        throw CppSQLite3Exception(SQLITE_NOMEM, "");
    return execScalar(sql.get()) > 0;
}

int CppSQLite3DB::execDML(const char* sql)
{
    checkDB();
    char* error = nullptr;
    const int rc = sqlite3_exec(m_db.get(), sql, nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        plat::debug_log(std::string("sqlite: ") + (error ? error : sqlite3_errstr(rc)));
        sqlite3_free(error);
        return rc;
    }
    return SQLITE_OK;
}

CppSQLite3Query CppSQLite3DB::execQuery(const char* sql)
{
    checkDB();
    // The connection's error text belongs to whichever thread called last:
    // each call and the copy of its text run under the connection's mutex.
    sqlite3_stmt* statement = nullptr;
    std::string error;
    int step = SQLITE_DONE;
    sqlite3_mutex* connection = sqlite3_db_mutex(m_db.get());
    sqlite3_mutex_enter(connection);
    const int rc = sqlite3_prepare_v2(m_db.get(), sql, -1, &statement, nullptr);
    if (rc == SQLITE_OK)
        step = sqlite3_step(statement);
    if (rc != SQLITE_OK || (step != SQLITE_ROW && step != SQLITE_DONE))
        error = sqlite3_errmsg(m_db.get());
    sqlite3_mutex_leave(connection);
    if (rc != SQLITE_OK)
        throw CppSQLite3Exception(rc, error.c_str());
    if (step != SQLITE_ROW && step != SQLITE_DONE)
        plat::debug_log("sqlite: query gave no rows: " + error);
    return CppSQLite3Query(m_db.get(), statement, step != SQLITE_ROW);
}

int CppSQLite3DB::execScalar(const char* sql)
{
    CppSQLite3Query query = execQuery(sql);
    if (query.eof() || query.numFields() < 1)
        throw CppSQLite3Exception(CppSQLite3Exception::CPPSQLITE_ERROR, "Invalid scalar query");
    // A NULL value counts as 0 rather than being read through a null pointer.
    const char* text = query.fieldValue(0);
    return text ? std::atoi(text) : 0;
}

void CppSQLite3DB::setBusyTimeout(int milliseconds)
{
    m_busy_timeout_ms = milliseconds;
    if (m_db)
        sqlite3_busy_timeout(m_db.get(), milliseconds);
}

bool CppSQLite3DB::isAutoCommit() const
{
    return !m_db || sqlite3_get_autocommit(m_db.get()) != 0;
}

long long CppSQLite3DB::lastRowId() const
{
    checkDB();
    return sqlite3_last_insert_rowid(m_db.get());
}

void CppSQLite3DB::checkDB() const
{
    if (!m_db)
        throw CppSQLite3Exception(CppSQLite3Exception::CPPSQLITE_ERROR, "Database not open");
}
