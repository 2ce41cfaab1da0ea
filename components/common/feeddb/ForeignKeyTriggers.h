#pragma once
// Turns every FOREIGN KEY clause of a database file into four triggers named
// "genfkey<n>_..." that refuse what the key forbids (SQLite does not enforce
// foreign keys unless asked per connection).

// Works on a connection of its own, which waits busy_timeout_ms for another
// connection's lock; the file must exist. Returns 0, 1 without a path, or the
// SQLite code of the first failing step. Broken keys are reported to the debug
// sink and skipped. The triggers in the file are compared with what the
// schema needs; when they differ they are compared again and rewritten all at
// once inside one write transaction, so no other opener comes in between.
int GenerateForeignKeyTriggers(const char* path, int busy_timeout_ms = 60000);
