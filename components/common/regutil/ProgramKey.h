#pragma once
// The program's settings key, in HKEY_CURRENT_USER (and, for "Language",
// HKEY_LOCAL_MACHINE): every reader and writer of a setting names it here.

#include "platform/base/Types.h"

inline constexpr const WCHAR* ProgramKey = u"Software\\Corvalen\\Strimo";
