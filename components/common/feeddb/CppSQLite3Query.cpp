#include "components/common/feeddb/CppSQLite3Query.h"

#include "components/common/feeddb/CppSQLite3Exception.h"

#include <sqlite3.h>

#include <string>

void CppSQLite3Query::StatementFinalize::operator()(sqlite3_stmt* statement) const
{
    sqlite3_finalize(statement);
}

CppSQLite3Query::CppSQLite3Query(sqlite3* db, sqlite3_stmt* statement, bool eof)
    : m_db(db)
    , m_statement(statement)
    , m_eof(eof)
    , m_columns(sqlite3_column_count(statement))
{
}

CppSQLite3Query::CppSQLite3Query(CppSQLite3Query&& other) noexcept
    : m_db(other.m_db)
    , m_statement(std::move(other.m_statement))
    , m_eof(other.m_eof)
    , m_columns(other.m_columns)
{
    other.m_eof = true;
    other.m_columns = 0;
}

CppSQLite3Query& CppSQLite3Query::operator=(CppSQLite3Query&& other) noexcept
{
    if (this != &other) {
        m_db = other.m_db;
        m_statement = std::move(other.m_statement);
        m_eof = other.m_eof;
        m_columns = other.m_columns;
        other.m_eof = true;
        other.m_columns = 0;
    }
    return *this;
}

CppSQLite3Query::~CppSQLite3Query() = default;   // the deleter finalizes; its code is of no use here

int CppSQLite3Query::numFields() const
{
    checkStatement();
    return m_columns;
}

int CppSQLite3Query::fieldDataType(int field) const
{
    checkField(field);
    return sqlite3_column_type(m_statement.get(), field);
}

const char* CppSQLite3Query::fieldValue(int field) const
{
    checkField(field);
    return reinterpret_cast<const char*>(sqlite3_column_text(m_statement.get(), field));
}

int CppSQLite3Query::getIntField(int field) const
{
    checkField(field);
    return sqlite3_column_int(m_statement.get(), field);
}

long long CppSQLite3Query::getInt64Field(int field) const
{
    checkField(field);
    return sqlite3_column_int64(m_statement.get(), field);
}

std::string CppSQLite3Query::getStringField(int field) const
{
    const char* text = fieldValue(field);
    if (!text)
        return {};
    return {text, static_cast<std::size_t>(sqlite3_column_bytes(m_statement.get(), field))};
}

void CppSQLite3Query::nextRow()
{
    checkStatement();
    const int rc = sqlite3_step(m_statement.get());
    if (rc == SQLITE_DONE) {
        m_eof = true;
        return;
    }
    if (rc == SQLITE_ROW)
        return;
    finalize();
}

void CppSQLite3Query::finalize()
{
    if (!m_statement)
        return;
    // The connection's error text belongs to whichever thread called last:
    // read it under the connection's mutex, with the call that set it.
    sqlite3_mutex* connection = sqlite3_db_mutex(m_db);
    sqlite3_mutex_enter(connection);
    const int code = sqlite3_finalize(m_statement.release());
    const std::string error = code != SQLITE_OK ? sqlite3_errmsg(m_db) : "";
    sqlite3_mutex_leave(connection);
    m_eof = true;
    if (code != SQLITE_OK)
        throw CppSQLite3Exception(code, error.c_str());
}

void CppSQLite3Query::checkStatement() const
{
    if (!m_statement)
        throw CppSQLite3Exception(CppSQLite3Exception::CPPSQLITE_ERROR, "Null Virtual Machine pointer");
}

void CppSQLite3Query::checkField(int field) const
{
    checkStatement();
    if (field < 0 || field > m_columns - 1)
        throw CppSQLite3Exception(CppSQLite3Exception::CPPSQLITE_ERROR, "Invalid field index requested");
}
