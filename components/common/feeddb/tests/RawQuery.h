#pragma once
// Reads a database file the way any other program would: through a read-only
// connection of its own.

#include <string>
#include <vector>

namespace feeddb_test {

// The first column of every row, NULL as "NULL"; "<prepare failed>" when the query is refused.
std::vector<std::string> query_column(const std::string& path, const std::string& sql);

}
