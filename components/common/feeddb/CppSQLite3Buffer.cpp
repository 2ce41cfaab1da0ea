#include "components/common/feeddb/CppSQLite3Buffer.h"

#include <sqlite3.h>

#include <cstdarg>

void CppSQLite3Buffer::TextFree::operator()(char* text) const
{
    sqlite3_free(text);
}

const char* CppSQLite3Buffer::format(const char* fmt, ...)
{
    clear();
    va_list args;
    va_start(args, fmt);
    m_text.reset(sqlite3_vmprintf(fmt, args));
    va_end(args);
    return m_text.get();
}
