#pragma once
// Reading single registry values with a fallback.

#include "platform/registry/Registry.h"

#include <string>

// The REG_DWORD value, or `fallback` when the key or value is missing or of another type.
DWORD ReadRegDword(HKEY root, const WCHAR* subkey, const WCHAR* name, DWORD fallback);
// The REG_SZ text (at most 1024 bytes), or empty when missing, longer or of another type.
std::u16string ReadRegString(HKEY root, const WCHAR* subkey, const WCHAR* name);
