#pragma once
// The virtual-table module "schema" over SQLite's PRAGMA listings, and the
// SQL functions "dq", "sj" and "multireplace" that the foreign-key trigger
// generator registers on its own connection.

struct sqlite3;

namespace feeddb {

// 0 or SQLite's code.
int register_schema_module(sqlite3* db);
int register_trigger_functions(sqlite3* db);

}
