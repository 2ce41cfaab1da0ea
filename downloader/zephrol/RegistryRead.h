#pragma once
// Reading single settings from the registry with a default.

#include "platform/registry/Registry.h"

#include <string>

// The value when the key opens for reading and the value is a REG_DWORD; else `fallback`.
DWORD ReadRegDword(HKEY root, const std::string& subkey, const std::string& name, DWORD fallback);
// The text when the key opens, the value is a REG_SZ and fits in 1024 bytes; else empty.
std::string ReadRegString(HKEY root, const std::string& subkey, const std::string& name);
