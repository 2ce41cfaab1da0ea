#pragma once
// One SQLite connection. Changes report SQLite's result code instead of
// raising; a query whose first step fails gives an empty result. Only a
// missing connection, a statement that cannot be prepared and a bad scalar
// query raise CppSQLite3Exception.

#include "components/common/feeddb/CppSQLite3Query.h"

#include <memory>

struct sqlite3;

class CppSQLite3DB {
public:
    static constexpr int default_busy_timeout_ms = 60000;

    CppSQLite3DB();
    CppSQLite3DB(const CppSQLite3DB&) = delete;
    CppSQLite3DB& operator=(const CppSQLite3DB&) = delete;
    virtual ~CppSQLite3DB();

    // Opens for reading and writing, creating the file when missing; raises on failure.
    void open(const char* path);
    // SQLite's close result; 0 when nothing was open.
    int close();
    bool isOpen() const { return m_db != nullptr; }

    bool tableExists(const char* table);
    // 0 or SQLite's result code; the error text goes to the debug sink.
    int execDML(const char* sql);
    CppSQLite3Query execQuery(const char* sql);
    // The first column of the first row as a number; no row raises "Invalid scalar query".
    int execScalar(const char* sql);

    void setBusyTimeout(int milliseconds);
    int busyTimeout() const { return m_busy_timeout_ms; }
    // False while a transaction is open on the connection.
    bool isAutoCommit() const;
    // Row id of the last successful insert on this connection.
    long long lastRowId() const;

private:
    struct DbClose { void operator()(sqlite3* db) const; };

    void checkDB() const;

    std::unique_ptr<sqlite3, DbClose> m_db;
    int m_busy_timeout_ms{default_busy_timeout_ms};
};
