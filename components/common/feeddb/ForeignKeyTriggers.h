#pragma once
// Turns every FOREIGN KEY clause of a database file into four triggers named
// "genfkey<n>_..." that refuse what the key forbids (SQLite does not enforce
// foreign keys unless asked per connection).

// Works on a connection of its own; the file must exist. Returns 0, 1 without
// a path, or the SQLite code of the first failing step. Broken keys are
// reported to the debug sink and skipped. The triggers are written only when
// the set in the file differs from what the schema needs, and then all of
// them are rewritten in one transaction.
int GenerateForeignKeyTriggers(const char* path);
