#pragma once
// A forward-only result set over one prepared statement, which it owns.
// Made by CppSQLite3DB::execQuery already stepped onto its first row.

#include <memory>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

class CppSQLite3Query {
public:
    CppSQLite3Query() = default;
    // Takes ownership of the statement; eof tells whether the first step gave no row.
    CppSQLite3Query(sqlite3* db, sqlite3_stmt* statement, bool eof);
    CppSQLite3Query(CppSQLite3Query&& other) noexcept;
    CppSQLite3Query& operator=(CppSQLite3Query&& other) noexcept;
    virtual ~CppSQLite3Query();

    bool eof() const { return m_eof; }
    int numFields() const;
    // SQLite's column type (5 is NULL).
    int fieldDataType(int field) const;
    // The column's text; null for a NULL value.
    const char* fieldValue(int field) const;
    // Typed reads of the current row: NULL reads as 0 or the empty text.
    int getIntField(int field) const;
    long long getInt64Field(int field) const;
    std::string getStringField(int field) const;

    // Moves to the next row; a step error finalizes the statement and raises.
    void nextRow();
    // Finalizes now; a failing finalize raises with SQLite's message.
    void finalize();

private:
    struct StatementFinalize { void operator()(sqlite3_stmt* statement) const; };

    void checkStatement() const;
    void checkField(int field) const;

    sqlite3* m_db{nullptr};                                         // not owned: the connection
    std::unique_ptr<sqlite3_stmt, StatementFinalize> m_statement;
    bool m_eof{true};
    int m_columns{0};
};
