#pragma once
// HRESULT values and Win32 error codes that callers of the system test for,
// with the Windows numbers.

#include "Types.h"

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

constexpr HRESULT hresult(std::uint32_t bits) { return static_cast<HRESULT>(bits); }

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = hresult(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = hresult(0x80004002);
inline constexpr HRESULT E_POINTER = hresult(0x80004003);
inline constexpr HRESULT E_ABORT = hresult(0x80004004);
inline constexpr HRESULT E_FAIL = hresult(0x80004005);
inline constexpr HRESULT E_UNEXPECTED = hresult(0x8000FFFF);
inline constexpr HRESULT E_ACCESSDENIED = hresult(0x80070005);
inline constexpr HRESULT E_HANDLE = hresult(0x80070006);
inline constexpr HRESULT E_OUTOFMEMORY = hresult(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = hresult(0x80070057);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = hresult(0x80040110);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = hresult(0x80040111);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = hresult(0x80040154);
inline constexpr HRESULT REGDB_E_READREGDB = hresult(0x80040150);
inline constexpr HRESULT CO_E_NOTINITIALIZED = hresult(0x800401F0);
inline constexpr HRESULT CO_E_CLASSSTRING = hresult(0x800401F3);
inline constexpr HRESULT CO_E_DLLNOTFOUND = hresult(0x800401F8);
inline constexpr HRESULT CO_E_ERRORINDLL = hresult(0x800401F9);
inline constexpr HRESULT CO_E_SERVER_EXEC_FAILURE = hresult(0x80080005);
inline constexpr HRESULT RPC_E_CHANGED_MODE = hresult(0x80010106);
inline constexpr HRESULT RPC_E_DISCONNECTED = hresult(0x80010108);
inline constexpr HRESULT RPC_E_WRONG_THREAD = hresult(0x8001010E);
inline constexpr HRESULT SELFREG_E_CLASS = hresult(0x80040201);

// Win32 error codes.
inline constexpr LONG ERROR_SUCCESS = 0;
inline constexpr LONG ERROR_FILE_NOT_FOUND = 2;
inline constexpr LONG ERROR_PATH_NOT_FOUND = 3;
inline constexpr LONG ERROR_ACCESS_DENIED = 5;
inline constexpr LONG ERROR_INVALID_HANDLE = 6;
inline constexpr LONG ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr LONG ERROR_INVALID_DATA = 13;
inline constexpr LONG ERROR_ALREADY_EXISTS = 183;
inline constexpr LONG ERROR_INVALID_PARAMETER = 87;
inline constexpr LONG ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr LONG ERROR_MORE_DATA = 234;
inline constexpr LONG ERROR_NO_MORE_ITEMS = 259;
inline constexpr LONG ERROR_CANTWRITE = 1013;

constexpr HRESULT HRESULT_FROM_WIN32(LONG error)
{
    return error <= 0 ? error : hresult((static_cast<std::uint32_t>(error) & 0xFFFF) | 0x80070000u);
}
