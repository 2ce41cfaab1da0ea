#pragma once
// The program's own string table, compiled in (inside the window layer).

#include "platform/base/Types.h"

#include <span>

namespace plat {

struct ProgramString {
    UINT id;
    const WCHAR* text;
};

std::span<const ProgramString> program_strings();

}
