#pragma once
// The exceptions the cache and downloader libraries throw inside themselves.
// They are thrown and caught by value, and never leave an interface or export.

#include "platform/base/Types.h"

// Root of the family: a kind word, then an (always empty) message text.
class BaseException {
public:
    explicit BaseException(DWORD kind) : m_kind(kind) {}
    virtual ~BaseException() = default;

    DWORD Kind() const { return m_kind; }
    const char* Message() const { return m_message; }

private:
    DWORD m_kind;
    char m_message[256]{};
};

inline constexpr DWORD GENERAL_EXCEPTION_KIND = 1;

// Error codes of GeneralException.
inline constexpr DWORD GENERAL_ERROR_WRITE_PAST_END = 2;
inline constexpr DWORD GENERAL_ERROR_READ_PAST_END = 3;
inline constexpr DWORD GENERAL_ERROR_NO_MEMORY = 4;
inline constexpr DWORD GENERAL_ERROR_BAD_ALLOCATE = 6;
inline constexpr DWORD GENERAL_ERROR_SKIP_PAST_END = 7;

class GeneralException : public BaseException {
public:
    explicit GeneralException(DWORD code) : BaseException(GENERAL_EXCEPTION_KIND), m_code(code) {}
    DWORD Code() const { return m_code; }

private:
    DWORD m_code;
};
