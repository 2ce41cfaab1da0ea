#pragma once
// The language table: English name, ISO 639-2 code and ISO 639-1 code (empty
// where there is none), in the order of the names, closed by an empty row.

#include <span>

struct LanguageRow {
    const char* name;
    const char* code3;
    const char* code2;
};

std::span<const LanguageRow> language_table();
