#include "RawQuery.h"

#include <sqlite3.h>

namespace feeddb_test {

std::vector<std::string> query_column(const std::string& path, const std::string& sql)
{
    sqlite3* raw = nullptr;
    sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_busy_timeout(raw, 60000);
    std::vector<std::string> out;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(raw, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
        out.emplace_back("<prepare failed>");
    } else {
        while (sqlite3_step(statement) == SQLITE_ROW) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
            out.emplace_back(text ? text : "NULL");
        }
    }
    sqlite3_finalize(statement);
    sqlite3_close(raw);
    return out;
}

}
