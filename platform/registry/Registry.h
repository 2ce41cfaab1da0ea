#pragma once
// The Win32 registry functions the system's code calls, over RegistryStore.
// HKEY_CLASSES_ROOT, HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE each are one hive
// file in RegistryStore::default_folder(), looked up again whenever a key is
// opened from a predefined root. A key opened without KEY_SET_VALUE refuses
// writes with ERROR_ACCESS_DENIED, as on Windows.

#include "platform/base/HResult.h"
#include "platform/base/Time.h"
#include "platform/base/Types.h"

struct HKEY__;
using HKEY = HKEY__*;
using PHKEY = HKEY*;
using REGSAM = DWORD;
using LPBYTE = BYTE*;
using LPDWORD = DWORD*;

inline HKEY const HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000000u));
inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000001u));
inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000002u));

inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_NOTIFY = 0x0010;
inline constexpr REGSAM KEY_WOW64_64KEY = 0x0100;
inline constexpr REGSAM KEY_WOW64_32KEY = 0x0200;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;

inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Options must be 0. Opening with KEY_SET_VALUE or KEY_CREATE_SUB_KEY on a read-only hive
// gives ERROR_ACCESS_DENIED.
LONG RegOpenKeyExW(HKEY key, LPCWSTR sub_key, DWORD options, REGSAM access, PHKEY result) noexcept;
// The class is ignored; options must be REG_OPTION_NON_VOLATILE; security attributes, when
// given, are ignored (the store has no per-key security).
LONG RegCreateKeyExW(HKEY key, LPCWSTR sub_key, DWORD reserved, LPWSTR key_class, DWORD options, REGSAM access,
                     const void* security_attributes, PHKEY result, LPDWORD disposition) noexcept;
// Data are returned byte for byte as written: a REG_SZ is terminated only if its writer stored
// the terminator. A buffer too small gives ERROR_MORE_DATA with *size set to the size needed.
LONG RegQueryValueExW(HKEY key, LPCWSTR value_name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size) noexcept;
LONG RegSetValueExW(HKEY key, LPCWSTR value_name, DWORD reserved, DWORD type, const BYTE* data, DWORD size) noexcept;
LONG RegDeleteValueW(HKEY key, LPCWSTR value_name) noexcept;
// The key must have no subkeys (else ERROR_ACCESS_DENIED).
LONG RegDeleteKeyW(HKEY key, LPCWSTR sub_key) noexcept;
// Subkeys come in name order without case. The store keeps no classes or write times:
// a class buffer receives "" and a write time 0.
LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD name_length, LPDWORD reserved, LPWSTR key_class,
                   LPDWORD class_length, FILETIME* last_write_time) noexcept;
// Values come in the order they were first written.
LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR value_name, LPDWORD value_name_length, LPDWORD reserved,
                   LPDWORD type, LPBYTE data, LPDWORD size) noexcept;
LONG RegCloseKey(HKEY key) noexcept;
