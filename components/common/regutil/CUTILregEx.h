#pragma once
// One open registry key for the program's settings, living on the stack for
// one operation. Results are Win32 error codes (0 = success) or E_FAIL.

#include "platform/registry/Registry.h"

class CUTILregEx {
public:
    // Opens root\sub_key with the access asked for. When that fails and the access is
    // more than KEY_QUERY_VALUE or KEY_READ, creates the key with KEY_READ|KEY_WRITE.
    // A key that can be neither opened nor created leaves the object usable: reads
    // give their defaults and E_FAIL, writes E_FAIL.
    CUTILregEx(HKEY root, LPCWSTR sub_key, REGSAM access);
    virtual ~CUTILregEx();
    CUTILregEx(const CUTILregEx&) = delete;
    CUTILregEx& operator=(const CUTILregEx&) = delete;

    // value holds the default on entry; it is kept (with E_FAIL) unless the value
    // is a REG_DWORD of 4 bytes.
    LONG GetDWORD(LPCWSTR name, DWORD& value) const;
    // Copies a REG_SZ value with its terminating zero into buffer, whose size in bytes
    // size gives; size becomes the bytes copied, terminator included. A value of another
    // type, or one that does not fit with its terminator, gives E_FAIL and leaves the
    // buffer and size untouched.
    LONG GetString(LPCWSTR name, LPWSTR buffer, DWORD& size) const;
    // With only_if_present, a missing value is not created: the query's error
    // (ERROR_FILE_NOT_FOUND) is returned.
    LONG SetDWORD(LPCWSTR name, DWORD value, BOOL only_if_present = FALSE);
    // Stores the text as REG_SZ with its terminating zero.
    LONG SetString(LPCWSTR name, LPCWSTR text);
    LONG DeleteValue(LPCWSTR name);

private:
    HKEY m_key = nullptr;   // null when neither open nor create succeeded
};
