#pragma once
// Reading single registry values with a fallback: one-line forms of CUTILregEx's
// reads, for code that reads a value or two and keeps no key open.

#include "components/common/regutil/RegNumber.h"
#include "platform/registry/Registry.h"

#include <string>

// The REG_DWORD value, or `fallback` when the key or value is missing or of another type.
DWORD ReadRegDword(HKEY root, const WCHAR* subkey, const WCHAR* name, DWORD fallback);
// The number under root\subkey, held to its range (RegNumber.h).
DWORD ReadRegNumber(HKEY root, const WCHAR* subkey, const RegNumber& number);
// The REG_SZ text (at most 1024 bytes with its terminator), or empty when missing,
// longer or of another type.
std::u16string ReadRegString(HKEY root, const WCHAR* subkey, const WCHAR* name);
