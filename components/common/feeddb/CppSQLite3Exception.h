#pragma once
// The one exception type of the SQLite wrapper: a result code and a message
// "name[code]: detail". The wrapper raises it only where a statement cannot
// be prepared, the connection is missing or a row read is out of range.

#include <exception>
#include <memory>

class CppSQLite3Exception : public std::exception {
public:
    // Code 1000 marks errors of the wrapper itself.
    static constexpr int CPPSQLITE_ERROR = 1000;

    // A null detail reads as the empty text.
    CppSQLite3Exception(int code, const char* detail);
    CppSQLite3Exception(const CppSQLite3Exception& other);
    CppSQLite3Exception& operator=(const CppSQLite3Exception& other);
    ~CppSQLite3Exception() override;

    int errorCode() const { return m_code; }
    const char* errorMessage() const;
    const char* what() const noexcept override { return errorMessage(); }

    static const char* errorCodeAsString(int code);

private:
    struct MessageFree { void operator()(char* text) const; };

    int m_code;
    std::unique_ptr<char, MessageFree> m_message;   // made by sqlite3_mprintf
};
